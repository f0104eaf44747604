#include "app/SoundManager.h"

#include "app/Sound.h"

CSoundManager* g_soundManager = nullptr;

CSoundManager::CSoundManager(HWND window) {
  // DirectSound failures are not reported: the game then runs without sound.
  if (FAILED(DirectSoundCreate8(nullptr, &directSound, nullptr)) || !directSound) {
    directSound = nullptr;
    return;
  }
  directSound->SetCooperativeLevel(window, DSSCL_PRIORITY);

  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = 0;
  desc.lpwfxFormat = nullptr;
  if (FAILED(directSound->CreateSoundBuffer(&desc, &primary, nullptr)) || !primary) {
    primary = nullptr;
    return;
  }
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 176400;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  primary->SetFormat(&format);
}

CSoundManager::~CSoundManager() {
  // Sounds first: their buffers belong to the device.
  for (CSound* sound : sounds) delete sound;
  sounds.clear();
  if (primary) primary->Release();
  primary = nullptr;
  if (directSound) directSound->Release();
  directSound = nullptr;
}

void CSoundManager::Load() {
  CoInitialize(nullptr);
  for (int id = 0; id < kSoundCount; ++id) sounds.push_back(new CSound(directSound, id));
}

void CSoundManager::Play(int id, int mode) {
  if (IsInTable(id)) sounds[id]->RequestPlay(mode);
}

void CSoundManager::Stop(int id) {
  if (IsInTable(id)) sounds[id]->RequestStop();
}

void CSoundManager::StopAll() {
  for (CSound* sound : sounds) sound->RequestStop();
}

void CSoundManager::Update() {
  for (CSound* sound : sounds) sound->Update(directSound);
}

const CSound* CSoundManager::GetSound(int id) const { return IsInTable(id) ? sounds[id] : nullptr; }

std::string CSoundManager::LogJson() const {
  std::string json = "[";
  for (const CSound* sound : sounds) {
    if (json.size() > 1) json += ", ";
    json += "{\"request\": " + std::to_string(sound->Request()) +
            ", \"playing\": " + (sound->IsPlaying() ? "true" : "false") +
            ", \"duplicates\": " + std::to_string(sound->DuplicateCount()) + "}";
  }
  return json + "]";
}

std::string SoundLogJson() { return g_soundManager ? g_soundManager->LogJson() : "[]"; }

void RequestSound(int id, int mode) {
  if (g_soundManager) g_soundManager->Play(id, mode);
}
