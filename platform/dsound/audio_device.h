// The one OpenAL device and context behind every DirectSound object.
//
// It is opened by the first DirectSoundCreate8 and closed when the last
// DirectSound object or buffer lets go of it. Three kinds:
//  - the machine's audio output;
//  - a silent device that keeps real time, when there is no output (a
//    loopback device mixed and thrown away by a clock thread), so buffers
//    still advance and stop as they would with a sound card;
//  - a memory device (glomp/soundmix.h) that mixes only when asked.
#pragma once
#include <AL/alc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

namespace glomp::sound {

class AudioDevice {
 public:
  enum class Kind { Output, SilentClock, Memory };

  // The open device, opened first if needed; null if not even a silent
  // device can be made.
  static std::shared_ptr<AudioDevice> Acquire();
  // The open device, if any.
  static std::shared_ptr<AudioDevice> Current();

  ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  Kind kind() const { return kind_; }

  // Mixes `frames` stereo frames into `out` (null: discard). Memory devices only.
  bool Render(std::int16_t* out, std::size_t frames);
  bool Advance(unsigned milliseconds);

 private:
  AudioDevice() = default;
  bool OpenOutput();
  bool OpenLoopback(Kind kind);
  void RunClock();
  void MixInto(std::int16_t* out, std::size_t frames);

  Kind kind_ = Kind::Output;
  ALCdevice* device_ = nullptr;
  ALCcontext* context_ = nullptr;
  std::thread clock_;
  std::atomic<bool> stopClock_{false};
  double pendingFrames_ = 0.0;  // fractions of a frame carried between Advance calls
};

}  // namespace glomp::sound
