// DirectSound 8 objects over OpenAL: the device object, the primary buffer and
// secondary buffers (each one OpenAL source; duplicates share one OpenAL buffer).
//
// DirectSound's stop keeps a buffer's position and the next Play resumes from
// there; a one-shot buffer that plays to its end stops and is back at 0. An
// OpenAL source is stopped with its offset forgotten, so a buffer keeps its own
// position while it is silent and hands it to the source on Play.
#include <dsound.h>

#include <AL/al.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "com_object.h"
#include "dsound/audio_device.h"

#define DSERR_NOAGGREGATION ((HRESULT)0x80040110L)

namespace {

using glomp::sound::AudioDevice;

constexpr DWORD kMinFrequency = 100;
constexpr DWORD kMaxFrequency = 200000;

bool IsPlayablePcm(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= kMinFrequency &&
         f.nSamplesPerSec <= kMaxFrequency && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

ALenum AlFormatOf(const WAVEFORMATEX& f) {
  if (f.nChannels == 1) return f.wBitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
  return f.wBitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

// The sample bytes of a secondary buffer, shared with its duplicates. Each
// Unlock uploads them into a fresh OpenAL buffer (OpenAL refuses new data for
// a buffer a source holds); sources pick the new upload up on their next start
// and older uploads are deleted once no source holds them any more.
class SoundData {
 public:
  SoundData(std::shared_ptr<AudioDevice> device, const WAVEFORMATEX& format, DWORD bytes)
      : device_(std::move(device)),
        format_(format),
        bytes_(bytes, format.wBitsPerSample == 8 ? BYTE(0x80) : BYTE(0)) {
    format_.cbSize = 0;
  }
  ~SoundData() {
    DeleteRetired();
    if (current_) alDeleteBuffers(1, &current_);
  }

  const WAVEFORMATEX& format() const { return format_; }
  DWORD size() const { return DWORD(bytes_.size()); }
  BYTE* bytes() { return bytes_.data(); }
  ALuint current() const { return current_; }

  bool Upload() {
    ALuint fresh = 0;
    alGetError();
    alGenBuffers(1, &fresh);
    if (alGetError() != AL_NO_ERROR) return false;
    // OpenAL takes whole sample frames only.
    const auto frameBytes = ALsizei(bytes_.size() - bytes_.size() % format_.nBlockAlign);
    alBufferData(fresh, AlFormatOf(format_), bytes_.data(), frameBytes,
                 ALsizei(format_.nSamplesPerSec));
    if (alGetError() != AL_NO_ERROR) {
      alDeleteBuffers(1, &fresh);
      return false;
    }
    if (current_) retired_.push_back(current_);
    current_ = fresh;
    DeleteRetired();
    return true;
  }

  void DeleteRetired() {
    std::erase_if(retired_, [](ALuint buffer) {
      alGetError();
      alDeleteBuffers(1, &buffer);
      return alGetError() == AL_NO_ERROR;  // fails while a source still holds it
    });
  }

 private:
  std::shared_ptr<AudioDevice> device_;  // outlives every OpenAL object made on it
  WAVEFORMATEX format_;
  std::vector<BYTE> bytes_;
  ALuint current_ = 0;
  std::vector<ALuint> retired_;
};

class SecondaryBuffer final
    : public glomp::RefCounted<IDirectSoundBuffer8, IDirectSound3DBuffer> {
 public:
  static HRESULT Create(std::shared_ptr<SoundData> data, DWORD flags, SecondaryBuffer** out) {
    *out = nullptr;
    ALuint source = 0;
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) return DSERR_ALLOCATED;
    *out = new SecondaryBuffer(std::move(data), flags, source);
    return DS_OK;
  }

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectSoundBuffer || riid == IID_IDirectSoundBuffer8) {
      *object = static_cast<IDirectSoundBuffer8*>(this);
    } else if (riid == IID_IDirectSound3DBuffer && (flags_ & DSBCAPS_CTRL3D)) {
      *object = static_cast<IDirectSound3DBuffer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IDirectSoundBuffer
  HRESULT GetCaps(LPDSBCAPS caps) override {
    if (!caps || caps->dwSize < sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = data_->size();
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }

  HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
    SyncWithSource();
    DWORD play = position_;
    DWORD write = position_;
    if (playing_) {
      ALint frame = 0;
      alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
      play = std::min(DWORD(frame) * blockAlign(), data_->size() - 1);
      // The write cursor runs a little ahead of what is being heard.
      const DWORD lead = data_->format().nSamplesPerSec / 100 * blockAlign();
      write = (play + std::min(lead, data_->size() - 1)) % data_->size();
    }
    if (playCursor) *playCursor = play;
    if (writeCursor) *writeCursor = write;
    return DS_OK;
  }

  HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override {
    if (!format && !sizeWritten) return DSERR_INVALIDPARAM;
    const DWORD size = std::min<DWORD>(sizeof(WAVEFORMATEX), format ? sizeAllocated : 0);
    if (format) std::memcpy(format, &data_->format(), size);
    if (sizeWritten) *sizeWritten = format ? size : DWORD(sizeof(WAVEFORMATEX));
    return DS_OK;
  }

  HRESULT GetStatus(LPDWORD status) override {
    if (!status) return DSERR_INVALIDPARAM;
    SyncWithSource();
    *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0)) : 0;
    return DS_OK;
  }

  HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1, LPVOID* audio2,
               LPDWORD audioBytes2, DWORD flags) override {
    if (!audio1 || !audioBytes1) return DSERR_INVALIDPARAM;
    const DWORD size = data_->size();
    if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    // A region running past the end continues at the start of the buffer.
    const DWORD first = std::min(bytes, size - offset);
    *audio1 = data_->bytes() + offset;
    *audioBytes1 = first;
    if (audio2) *audio2 = first < bytes ? data_->bytes() : nullptr;
    if (audioBytes2) *audioBytes2 = first < bytes ? bytes - first : 0;
    return DS_OK;
  }

  HRESULT Play(DWORD /*reserved1*/, DWORD /*priority*/, DWORD flags) override {
    SyncWithSource();
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    alSourcei(source_, AL_LOOPING, looping_ ? AL_TRUE : AL_FALSE);
    if (playing_) return DS_OK;  // already sounding: only the looping flag changes
    if (attached_ != data_->current()) {
      alSourcei(source_, AL_BUFFER, ALint(data_->current()));
      attached_ = data_->current();
      data_->DeleteRetired();
    }
    const DWORD frames = data_->size() / blockAlign();
    const DWORD startFrame = position_ / blockAlign();
    alSourcei(source_, AL_SAMPLE_OFFSET, ALint(startFrame < frames ? startFrame : 0));
    alSourcePlay(source_);
    playing_ = true;
    return DS_OK;
  }

  HRESULT SetCurrentPosition(DWORD newPosition) override {
    if (newPosition >= data_->size()) return DSERR_INVALIDPARAM;
    const DWORD aligned = newPosition - newPosition % blockAlign();
    SyncWithSource();
    if (playing_) {
      alSourcei(source_, AL_SAMPLE_OFFSET, ALint(aligned / blockAlign()));
    } else {
      position_ = aligned;
    }
    return DS_OK;
  }

  HRESULT SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }

  HRESULT Stop() override {
    SyncWithSource();
    if (!playing_) return DS_OK;
    ALint frame = 0;
    alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
    alSourceStop(source_);
    position_ = std::min(DWORD(frame) * blockAlign(), data_->size() - blockAlign());
    playing_ = false;
    return DS_OK;
  }

  HRESULT Unlock(LPVOID audio1, DWORD audioBytes1, LPVOID audio2, DWORD audioBytes2) override {
    if (!Inside(audio1, audioBytes1) || (audio2 && !Inside(audio2, audioBytes2))) {
      return DSERR_INVALIDPARAM;
    }
    return data_->Upload() ? DS_OK : DSERR_OUTOFMEMORY;
  }

  HRESULT Restore() override { return DS_OK; }  // buffers here are never lost

  // IDirectSound3DBuffer
  HRESULT GetMode(LPDWORD mode) override {
    if (!mode) return DSERR_INVALIDPARAM;
    *mode = mode3D_;
    return DS_OK;
  }
  HRESULT GetPosition(D3DVECTOR* position) override {
    if (!position) return DSERR_INVALIDPARAM;
    *position = position3D_;
    return DS_OK;
  }
  HRESULT SetMode(DWORD mode, DWORD /*apply*/) override {
    if (mode > DS3DMODE_DISABLE) return DSERR_INVALIDPARAM;
    mode3D_ = mode;
    Apply3D();
    return DS_OK;
  }
  HRESULT SetPosition(FLOAT x, FLOAT y, FLOAT z, DWORD /*apply*/) override {
    position3D_ = {x, y, z};
    Apply3D();
    return DS_OK;
  }

  const std::shared_ptr<SoundData>& data() const { return data_; }
  DWORD flags() const { return flags_; }

 private:
  SecondaryBuffer(std::shared_ptr<SoundData> data, DWORD flags, ALuint source)
      : data_(std::move(data)), flags_(flags), source_(source) {
    alSourcei(source_, AL_BUFFER, ALint(data_->current()));
    attached_ = data_->current();
    Apply3D();
  }
  ~SecondaryBuffer() override {
    alSourceStop(source_);
    alDeleteSources(1, &source_);
    data_->DeleteRetired();
  }

  DWORD blockAlign() const { return data_->format().nBlockAlign; }

  bool Inside(const void* p, DWORD bytes) const {
    const BYTE* begin = data_->bytes();
    const BYTE* at = static_cast<const BYTE*>(p);
    return at >= begin && at + bytes <= begin + data_->size();
  }

  // Notices a one-shot play that has ended since we last looked.
  void SyncWithSource() {
    if (!playing_) return;
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
      playing_ = false;
      position_ = 0;
    }
  }

  // DirectSound's 3D space is left-handed (+z ahead), OpenAL's right-handed
  // (−z ahead). A disabled buffer plays as it is, centred at the listener.
  void Apply3D() {
    const bool relative = mode3D_ != DS3DMODE_NORMAL;
    const bool disabled = mode3D_ == DS3DMODE_DISABLE;
    alSourcei(source_, AL_SOURCE_RELATIVE, relative ? AL_TRUE : AL_FALSE);
    if (disabled) {
      alSource3f(source_, AL_POSITION, 0.f, 0.f, 0.f);
    } else {
      alSource3f(source_, AL_POSITION, position3D_.x, position3D_.y, -position3D_.z);
    }
  }

  std::shared_ptr<SoundData> data_;
  DWORD flags_;
  ALuint source_;
  ALuint attached_ = 0;
  bool playing_ = false;
  bool looping_ = false;
  DWORD position_ = 0;  // where the next Play starts, while silent
  DWORD mode3D_ = DS3DMODE_NORMAL;
  D3DVECTOR position3D_{0.f, 0.f, 0.f};
};

// The primary buffer stands for the mix itself. Its format is kept and
// reported; OpenAL mixes at its own rate and resamples every buffer.
class PrimaryBuffer final : public glomp::RefCounted<IDirectSoundBuffer> {
 public:
  PrimaryBuffer(std::shared_ptr<AudioDevice> device, std::shared_ptr<DWORD> cooperativeLevel,
                DWORD flags)
      : device_(std::move(device)), cooperativeLevel_(std::move(cooperativeLevel)), flags_(flags) {
    format_ = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 2, 2, 8, 0};  // DirectSound's default
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirectSoundBuffer) return E_NOINTERFACE;
    *object = static_cast<IDirectSoundBuffer*>(this);
    AddRef();
    return S_OK;
  }

  HRESULT GetCaps(LPDSBCAPS caps) override {
    if (!caps || caps->dwSize < sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_;
    caps->dwBufferBytes = format_.nAvgBytesPerSec / 10;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }
  HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
    if (playCursor) *playCursor = 0;
    if (writeCursor) *writeCursor = 0;
    return DS_OK;
  }
  HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override {
    if (!format && !sizeWritten) return DSERR_INVALIDPARAM;
    const DWORD size = std::min<DWORD>(sizeof(WAVEFORMATEX), format ? sizeAllocated : 0);
    if (format) std::memcpy(format, &format_, size);
    if (sizeWritten) *sizeWritten = format ? size : DWORD(sizeof(WAVEFORMATEX));
    return DS_OK;
  }
  HRESULT GetStatus(LPDWORD status) override {
    if (!status) return DSERR_INVALIDPARAM;
    *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
    return DS_OK;
  }
  HRESULT Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override {
    return DSERR_PRIOLEVELNEEDED;  // writing the mix directly is not offered
  }
  HRESULT Play(DWORD, DWORD, DWORD flags) override {
    if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    playing_ = true;
    return DS_OK;
  }
  HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT SetFormat(LPCWAVEFORMATEX format) override {
    if (*cooperativeLevel_ < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    if (!format) return DSERR_INVALIDPARAM;
    if (!IsPlayablePcm(*format)) return DSERR_BADFORMAT;
    format_ = *format;
    format_.cbSize = 0;
    return DS_OK;
  }
  HRESULT Stop() override {
    playing_ = false;
    return DS_OK;
  }
  HRESULT Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT Restore() override { return DS_OK; }

 private:
  ~PrimaryBuffer() override = default;

  std::shared_ptr<AudioDevice> device_;
  std::shared_ptr<DWORD> cooperativeLevel_;
  DWORD flags_;
  WAVEFORMATEX format_;
  bool playing_ = false;
};

class DirectSound final : public glomp::RefCounted<IDirectSound8> {
 public:
  explicit DirectSound(std::shared_ptr<AudioDevice> device) : device_(std::move(device)) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirectSound && riid != IID_IDirectSound8) {
      return E_NOINTERFACE;
    }
    *object = static_cast<IDirectSound8*>(this);
    AddRef();
    return S_OK;
  }

  HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                            LPUNKNOWN outer) override {
    if (!buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC) &&
                  desc->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm))) {
      return DSERR_INVALIDPARAM;
    }
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
      *buffer = new PrimaryBuffer(device_, cooperativeLevel_, desc->dwFlags);
      return DS_OK;
    }
    if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
      return DSERR_INVALIDPARAM;
    }
    if (!IsPlayablePcm(*desc->lpwfxFormat)) return DSERR_BADFORMAT;
    auto data = std::make_shared<SoundData>(device_, *desc->lpwfxFormat, desc->dwBufferBytes);
    if (!data->Upload()) return DSERR_OUTOFMEMORY;
    SecondaryBuffer* created = nullptr;
    const HRESULT result = SecondaryBuffer::Create(std::move(data), desc->dwFlags, &created);
    *buffer = created;
    return result;
  }

  HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                               LPDIRECTSOUNDBUFFER* duplicate) override {
    if (!duplicate) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* source = dynamic_cast<SecondaryBuffer*>(original);
    if (!source) return original ? DSERR_INVALIDCALL : DSERR_INVALIDPARAM;  // e.g. the primary
    SecondaryBuffer* created = nullptr;
    const HRESULT result = SecondaryBuffer::Create(source->data(), source->flags(), &created);
    *duplicate = created;
    return result;
  }

  HRESULT SetCooperativeLevel(HWND /*window*/, DWORD level) override {
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    *cooperativeLevel_ = level;
    return DS_OK;
  }

 private:
  ~DirectSound() override = default;

  std::shared_ptr<AudioDevice> device_;
  std::shared_ptr<DWORD> cooperativeLevel_ = std::make_shared<DWORD>(0);
};

}  // namespace

HRESULT WINAPI DirectSoundCreate8(LPCGUID /*device*/, LPDIRECTSOUND8* directSound,
                                  LPUNKNOWN outer) {
  if (!directSound) return DSERR_INVALIDPARAM;
  *directSound = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  auto device = AudioDevice::Acquire();
  if (!device) return DSERR_NODRIVER;
  *directSound = new DirectSound(std::move(device));
  return DS_OK;
}
