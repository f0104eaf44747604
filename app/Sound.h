// One sound of the game's table: its loaded buffer, the request posted for it
// this frame, and the overlapping copies (duplicates) still playing.
#pragma once
#include <dsound.h>

#include <list>

// Request states of a sound.
enum SoundRequest { SOUND_REQUEST_PLAY = 0, SOUND_REQUEST_STOP = 1, SOUND_REQUEST_IDLE = 2 };

// Ids below this are music (looping tracks); the rest are effects.
constexpr int kMusicSoundCount = 2;
constexpr int kSoundCount = 11;

class CSound {
 public:
  // Loads the WAV file of `id`. A missing or broken file gives a silent sound
  // on which every request does nothing.
  CSound(IDirectSound8* directSound, int id);
  ~CSound();
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;

  // The WAV file of a sound id, relative to the working directory; null
  // outside the table.
  static const char* FileName(int id);

  // Posted during the frame; only the last request of a frame counts.
  void RequestPlay(int playMode) {
    mode = playMode;
    request = SOUND_REQUEST_PLAY;
  }
  void RequestStop() { request = SOUND_REQUEST_STOP; }

  // Carries out the pending request and lets go of duplicates that have ended.
  void Update(IDirectSound8* directSound);

  int Id() const { return id; }
  int Request() const { return request; }
  int Mode() const { return mode; }  // play mode of the last play request
  bool IsLoaded() const { return buffer != nullptr; }
  bool IsPlaying() const;      // the sound's own buffer, not its duplicates
  DWORD PlayPosition() const;  // byte position of the sound's own buffer
  int DuplicateCount() const { return int(duplicates.size()); }

 private:
  struct Duplicate {
    IDirectSoundBuffer8* buffer;
    IDirectSound3DBuffer* buffer3D;
  };

  void Load(IDirectSound8* directSound);
  bool FillFromFile(class CWaveFile& wave);
  void ReleaseEndedDuplicates();
  void PlayMusic();
  void PlayDuplicate(IDirectSound8* directSound);
  void PlayOwnBuffer(bool restart);
  void StopIfPlaying();
  void ReleaseBuffers();

  IDirectSoundBuffer8* buffer = nullptr;
  IDirectSound3DBuffer* buffer3D = nullptr;
  std::list<Duplicate> duplicates;
  int id;
  int mode = 0;
  int request = SOUND_REQUEST_IDLE;
};
