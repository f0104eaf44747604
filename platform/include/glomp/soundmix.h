// Where the DirectSound stand-in's sound goes, for tests and headless runs.
//
// Normally a DirectSound device plays on the machine's audio output, or, when
// there is none, into a silent device that keeps real time. A memory device
// instead mixes only when asked: time passes for the buffers exactly by the
// sample frames rendered, so tests and the headless runner get the same result
// on every run without waiting.
#pragma once
#include <cstddef>
#include <cstdint>

namespace glomp {

// Sample rate of the memory device's mix (stereo, 16 bits).
constexpr unsigned kSoundMixRate = 44100;

// From now on, DirectSound devices opened while no device is open render into
// memory (true) or play on the machine (false, the default).
void UseMemorySoundDevice(bool enabled);

// True while the open device is a memory device.
bool IsMemorySoundDevice();

// Mixes `frames` stereo sample frames into `out` (2 × frames samples, left
// then right; null just lets the time pass). False when no memory device is open.
bool RenderSound(std::int16_t* out, std::size_t frames);

// Lets `milliseconds` pass on the memory device, carrying fractions of a
// sample frame over to the next call. False when no memory device is open.
bool AdvanceSoundClock(unsigned milliseconds);

}  // namespace glomp
