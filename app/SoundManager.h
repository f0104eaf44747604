// The game's sounds: the DirectSound device and the table of eleven sounds.
// Gameplay posts play and stop requests by sound id during its update; the
// main loop carries them out once per frame with Update.
#pragma once
#include <dsound.h>

#include <string>
#include <vector>

class CSound;

class CSoundManager {
 public:
  // Opens the device for `window` and sets the primary buffer's format.
  explicit CSoundManager(HWND window);
  // Releases every sound, the primary buffer and the device.
  ~CSoundManager();
  CSoundManager(const CSoundManager&) = delete;
  CSoundManager& operator=(const CSoundManager&) = delete;

  // Loads the sound table, ids 0 to 10 in order.
  void Load();

  // Play modes for effects (music always loops from where it is):
  // 0 plays the sound from where it is (a playing sound just continues),
  // 1 restarts it, 2 plays an overlapping copy.
  void Play(int id, int mode);
  void Stop(int id);
  void StopAll();
  // Carries out this frame's requests, in id order.
  void Update();

  int GetSoundCount() const { return int(sounds.size()); }
  const CSound* GetSound(int id) const;
  // The sound state for the replay log: one
  // {"request": 0|1|2, "playing": bool, "duplicates": n} per sound id.
  std::string LogJson() const;

 private:
  bool IsInTable(int id) const { return id >= 0 && id < int(sounds.size()); }

  IDirectSoundBuffer* primary = nullptr;
  IDirectSound8* directSound = nullptr;
  std::vector<CSound*> sounds;
};

// The process-wide sound manager, created by CApplication::Init.
extern CSoundManager* g_soundManager;

// Posts a play request to the process sound manager; nothing without one.
void RequestSound(int id, int mode);

// g_soundManager's LogJson(), or "[]" while there is none.
std::string SoundLogJson();
