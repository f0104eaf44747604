// Builds small RIFF/WAVE files for the sound tests, good and broken ones.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <fstream>
#include <string>
#include <vector>

namespace testwav {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutId(Bytes& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A chunk with its header; odd sizes get the pad byte RIFF asks for.
// `claimedSize` overrides the size written in the header.
inline Bytes Chunk(const char* id, const Bytes& data, std::int64_t claimedSize = -1) {
  Bytes out;
  PutId(out, id);
  Put32(out, std::uint32_t(claimedSize >= 0 ? claimedSize : std::int64_t(data.size())));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}

// The 16 bytes of a "fmt " chunk.
inline Bytes Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                    std::uint16_t bits) {
  Bytes out;
  const std::uint16_t align = std::uint16_t(channels * bits / 8);
  Put16(out, tag);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * align);
  Put16(out, align);
  Put16(out, bits);
  return out;
}

inline Bytes Riff(const char* form, const std::vector<Bytes>& chunks) {
  Bytes body;
  PutId(body, form);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

// 16-bit samples of a sine wave (interleaved copies for every channel).
inline Bytes Sine16(double frequency, std::uint32_t rate, std::size_t frames, int channels = 1,
                    double amplitude = 12000.0) {
  Bytes out;
  for (std::size_t i = 0; i < frames; ++i) {
    const double phase = 2.0 * std::numbers::pi * frequency * double(i) / rate;
    const auto v = std::int16_t(std::lround(amplitude * std::sin(phase)));
    for (int c = 0; c < channels; ++c) Put16(out, std::uint16_t(v));
  }
  return out;
}

// A complete PCM WAV file.
inline Bytes PcmWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                    const Bytes& samples) {
  return Riff("WAVE", {Chunk("fmt ", Format(1, channels, rate, bits)), Chunk("data", samples)});
}

inline void Write(const std::filesystem::path& path, const Bytes& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Strength of `frequency` in interleaved stereo samples (one channel), as the
// amplitude of a matching sine. A Hann window keeps nearby tones from leaking in.
inline double ToneLevel(const std::vector<std::int16_t>& stereo, int channel, double frequency,
                        double rate) {
  const std::size_t frames = stereo.size() / 2;
  if (frames == 0) return 0.0;
  const double w = 2.0 * std::numbers::pi * frequency / rate;
  double re = 0.0, im = 0.0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double window = 1.0 - std::cos(2.0 * std::numbers::pi * double(i) / double(frames));
    const double s = window * stereo[i * 2 + channel];
    re += s * std::cos(w * double(i));
    im += s * std::sin(w * double(i));
  }
  return 2.0 * std::sqrt(re * re + im * im) / double(frames);
}

inline double Peak(const std::vector<std::int16_t>& samples) {
  int peak = 0;
  for (std::int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
  return peak;
}

}  // namespace testwav
