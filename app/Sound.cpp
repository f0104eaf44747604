#include "app/Sound.h"

#include "app/WaveFile.h"

namespace {

const char* const kSoundFiles[kSoundCount] = {
    "data/sound/bgm/title.wav",
    "data/sound/bgm/game.wav",
    "data/sound/se/UI/button_select.wav",
    "data/sound/se/UI/button_derection.wav",
    "data/sound/se/Slime/jump.wav",
    "data/sound/se/Slime/stamp.wav",
    "data/sound/se/Slime/walk.wav",
    "data/sound/se/Effect/flag_effect.wav",
    "data/sound/se/Effect/clear_effect.wav",
    "data/sound/se/Map/gate.wav",
    "data/sound/se/Map/gate_open.wav",
};

template <typename T>
void ReleaseInterface(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

}  // namespace

const char* CSound::FileName(int soundId) {
  return soundId >= 0 && soundId < kSoundCount ? kSoundFiles[soundId] : nullptr;
}

CSound::CSound(IDirectSound8* directSound, int soundId) : id(soundId) {
  Load(directSound);
  request = SOUND_REQUEST_IDLE;
}

CSound::~CSound() {
  for (Duplicate& d : duplicates) {
    ReleaseInterface(d.buffer3D);
    ReleaseInterface(d.buffer);
  }
  duplicates.clear();
  ReleaseBuffers();
}

void CSound::ReleaseBuffers() {
  ReleaseInterface(buffer3D);
  ReleaseInterface(buffer);
}

void CSound::Load(IDirectSound8* directSound) {
  const char* path = FileName(id);
  if (!directSound || !path) return;
  // A file that cannot be read leaves the sound without a buffer: it stays
  // silent, rather than getting a buffer made from a half-read format.
  CWaveFile wave;
  if (FAILED(wave.Open(path))) return;

  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                 DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = wave.GetSize();
  desc.lpwfxFormat = wave.GetFormat();
  desc.guid3DAlgorithm = DS3DALG_NO_VIRTUALIZATION;

  IDirectSoundBuffer* created = nullptr;
  if (FAILED(directSound->CreateSoundBuffer(&desc, &created, nullptr)) || !created) return;
  created->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
  created->Release();
  if (!buffer) return;

  if (!FillFromFile(wave)) {
    ReleaseBuffers();  // samples missing: better silent than noise
    return;
  }
  buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3D));
  wave.Close();
}

// Copies the samples into the buffer, in the one or two parts Lock hands out.
bool CSound::FillFromFile(CWaveFile& wave) {
  const DWORD size = wave.GetSize();
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD bytes1 = 0;
  DWORD bytes2 = 0;
  HRESULT locked = buffer->Lock(0, size, &part1, &bytes1, &part2, &bytes2, 0);
  if (locked == DSERR_BUFFERLOST) {
    buffer->Restore();
    locked = buffer->Lock(0, size, &part1, &bytes1, &part2, &bytes2, 0);
  }
  if (FAILED(locked)) return false;
  DWORD read = 0;
  bool complete = SUCCEEDED(wave.Read(static_cast<BYTE*>(part1), bytes1, &read)) && read == bytes1;
  if (complete && part2) {
    complete = SUCCEEDED(wave.Read(static_cast<BYTE*>(part2), bytes2, &read)) && read == bytes2;
  }
  buffer->Unlock(part1, bytes1, part2, bytes2);
  return complete;
}

bool CSound::IsPlaying() const {
  DWORD status = 0;
  return buffer && SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}

DWORD CSound::PlayPosition() const {
  DWORD play = 0;
  if (buffer) buffer->GetCurrentPosition(&play, nullptr);
  return play;
}

void CSound::Update(IDirectSound8* directSound) {
  ReleaseEndedDuplicates();
  switch (request) {
    case SOUND_REQUEST_PLAY:
      if (id < kMusicSoundCount) {
        PlayMusic();
      } else if (mode == 2) {
        PlayDuplicate(directSound);
      } else {
        PlayOwnBuffer(mode == 1);
      }
      request = SOUND_REQUEST_IDLE;
      break;
    case SOUND_REQUEST_STOP:
      StopIfPlaying();
      break;
    default:
      break;
  }
}

void CSound::ReleaseEndedDuplicates() {
  for (auto it = duplicates.begin(); it != duplicates.end();) {
    DWORD status = 0;
    it->buffer->GetStatus(&status);
    if (status & DSBSTATUS_PLAYING) {
      ++it;
      continue;
    }
    ReleaseInterface(it->buffer3D);
    ReleaseInterface(it->buffer);
    it = duplicates.erase(it);
  }
}

// Music loops; a track that is already playing keeps playing where it is.
void CSound::PlayMusic() {
  if (!buffer) return;
  if (buffer3D) buffer3D->SetMode(DS3DMODE_DISABLE, DS3D_IMMEDIATE);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
}

// Mode 2: a copy of the buffer plays once on its own, so instances overlap.
void CSound::PlayDuplicate(IDirectSound8* directSound) {
  if (!buffer || !directSound) return;
  IDirectSoundBuffer* copy = nullptr;
  if (FAILED(directSound->DuplicateSoundBuffer(buffer, &copy)) || !copy) return;
  Duplicate d{nullptr, nullptr};
  copy->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&d.buffer));
  copy->Release();
  if (!d.buffer) return;
  d.buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&d.buffer3D));
  if (d.buffer3D) d.buffer3D->SetMode(DS3DMODE_NORMAL, DS3D_IMMEDIATE);
  d.buffer->Play(0, 0, 0);
  duplicates.push_back(d);
}

// Modes 0 and 1: the sound's own buffer plays once from where it is; mode 1
// first rewinds a buffer that is still playing.
void CSound::PlayOwnBuffer(bool restart) {
  if (!buffer) return;
  if (restart && IsPlaying()) buffer->SetCurrentPosition(0);
  if (buffer3D) buffer3D->SetMode(DS3DMODE_DISABLE, DS3D_IMMEDIATE);
  buffer->Play(0, 0, 0);
}

// A stop request waits while the sound is silent: it is looked at again each
// frame until the sound plays or a play request replaces it.
void CSound::StopIfPlaying() {
  if (!IsPlaying()) return;
  buffer->Stop();
  buffer->SetCurrentPosition(0);
  request = SOUND_REQUEST_IDLE;
}
