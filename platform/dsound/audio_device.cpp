#include "dsound/audio_device.h"

#include <AL/al.h>
#include <AL/alext.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "glomp/soundmix.h"

namespace glomp::sound {
namespace {

std::mutex deviceMutex;
std::weak_ptr<AudioDevice> openDevice;
bool useMemoryDevice = false;

struct LoopbackFunctions {
  LPALCLOOPBACKOPENDEVICESOFT open = nullptr;
  LPALCRENDERSAMPLESSOFT render = nullptr;
  bool Load() {
    open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    return open && render;
  }
};
LoopbackFunctions loopback;

// Enough sources for every sound of the game plus many overlapping duplicates.
constexpr ALCint kMonoSources = 512;
constexpr ALCint kStereoSources = 512;
// The silent device mixes in steps of this many milliseconds.
constexpr int kClockStepMs = 10;

}  // namespace

std::shared_ptr<AudioDevice> AudioDevice::Acquire() {
  std::lock_guard<std::mutex> lock(deviceMutex);
  if (auto existing = openDevice.lock()) return existing;
  std::shared_ptr<AudioDevice> device(new AudioDevice());
  const bool opened = useMemoryDevice
                          ? device->OpenLoopback(Kind::Memory)
                          : device->OpenOutput() || device->OpenLoopback(Kind::SilentClock);
  if (!opened) return nullptr;
  openDevice = device;
  return device;
}

std::shared_ptr<AudioDevice> AudioDevice::Current() {
  std::lock_guard<std::mutex> lock(deviceMutex);
  return openDevice.lock();
}

bool AudioDevice::OpenOutput() {
  device_ = alcOpenDevice(nullptr);
  if (!device_) return false;
  const ALCint attributes[] = {ALC_MONO_SOURCES, kMonoSources, ALC_STEREO_SOURCES, kStereoSources,
                               0};
  context_ = alcCreateContext(device_, attributes);
  if (!context_ || !alcMakeContextCurrent(context_)) {
    if (context_) alcDestroyContext(context_);
    alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
    return false;
  }
  kind_ = Kind::Output;
  return true;
}

bool AudioDevice::OpenLoopback(Kind kind) {
  if (!loopback.open && !loopback.Load()) return false;
  device_ = loopback.open(nullptr);
  if (!device_) return false;
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                               ALC_STEREO_SOFT,
                               ALC_FORMAT_TYPE_SOFT,
                               ALC_SHORT_SOFT,
                               ALC_FREQUENCY,
                               ALCint(kSoundMixRate),
                               ALC_HRTF_SOFT,
                               ALC_FALSE,
                               ALC_MONO_SOURCES,
                               kMonoSources,
                               ALC_STEREO_SOURCES,
                               kStereoSources,
                               0};
  context_ = alcCreateContext(device_, attributes);
  if (!context_ || !alcMakeContextCurrent(context_)) {
    if (context_) alcDestroyContext(context_);
    alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
    return false;
  }
  kind_ = kind;
  if (kind == Kind::SilentClock) clock_ = std::thread([this] { RunClock(); });
  return true;
}

AudioDevice::~AudioDevice() {
  stopClock_ = true;
  if (clock_.joinable()) clock_.join();
  if (alcGetCurrentContext() == context_) alcMakeContextCurrent(nullptr);
  if (context_) alcDestroyContext(context_);
  if (device_) alcCloseDevice(device_);
}

void AudioDevice::MixInto(std::int16_t* out, std::size_t frames) {
  constexpr std::size_t kChunk = 4096;
  std::vector<std::int16_t> scratch;
  if (!out) scratch.resize(kChunk * 2);
  while (frames > 0) {
    const std::size_t step = out ? frames : std::min(frames, kChunk);
    loopback.render(device_, out ? out : scratch.data(), ALCsizei(step));
    if (out) out += step * 2;
    frames -= step;
  }
}

// The silent device: mixes at the pace of the real clock and drops the result.
void AudioDevice::RunClock() {
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kFrames = kSoundMixRate * kClockStepMs / 1000;
  std::vector<std::int16_t> scratch(kFrames * 2);
  auto next = Clock::now();
  while (!stopClock_) {
    loopback.render(device_, scratch.data(), ALCsizei(kFrames));
    next += std::chrono::milliseconds(kClockStepMs);
    const auto now = Clock::now();
    // After a long stall (a suspended process) keep going from now rather
    // than racing through the missed time.
    if (now - next > std::chrono::milliseconds(20 * kClockStepMs)) next = now;
    std::this_thread::sleep_until(next);
  }
}

bool AudioDevice::Render(std::int16_t* out, std::size_t frames) {
  if (kind_ != Kind::Memory) return false;
  MixInto(out, frames);
  return true;
}

bool AudioDevice::Advance(unsigned milliseconds) {
  if (kind_ != Kind::Memory) return false;
  pendingFrames_ += double(milliseconds) * kSoundMixRate / 1000.0;
  const auto whole = std::size_t(pendingFrames_);
  pendingFrames_ -= double(whole);
  MixInto(nullptr, whole);
  return true;
}

}  // namespace glomp::sound

namespace glomp {

void UseMemorySoundDevice(bool enabled) {
  std::lock_guard<std::mutex> lock(sound::deviceMutex);
  sound::useMemoryDevice = enabled;
}

bool IsMemorySoundDevice() {
  auto device = sound::AudioDevice::Current();
  return device && device->kind() == sound::AudioDevice::Kind::Memory;
}

bool RenderSound(std::int16_t* out, std::size_t frames) {
  auto device = sound::AudioDevice::Current();
  return device && device->Render(out, frames);
}

bool AdvanceSoundClock(unsigned milliseconds) {
  auto device = sound::AudioDevice::Current();
  return device && device->Advance(milliseconds);
}

}  // namespace glomp
