// Small image files made in memory for the texture tests: PNGs through
// stb_image_write and DDS cube maps written by hand.
#pragma once
#include <stb/stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace texfiles {

inline std::uint32_t Rgba(int r, int g, int b, int a) {
  return std::uint32_t(r & 255) | std::uint32_t(g & 255) << 8 | std::uint32_t(b & 255) << 16 |
         std::uint32_t(a & 255) << 24;
}

// A PNG of the given size and channel count (3 or 4); `colour(x, y)` gives RGBA.
template <typename Colour>
std::vector<unsigned char> Png(int width, int height, int channels, Colour colour) {
  std::vector<unsigned char> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      for (int k = 0; k < channels; ++k) pixels.push_back((c >> (8 * k)) & 255);
    }
  }
  std::vector<unsigned char> out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<unsigned char>*>(context);
        bytes->insert(bytes->end(), static_cast<unsigned char*>(data),
                      static_cast<unsigned char*>(data) + size);
      },
      &out, width, height, channels, pixels.data(), width * channels);
  return out;
}

// The A8R8G8B8 value of every pixel of cube face `face` at level `level`.
inline std::uint32_t CubePixel(int face, int level) {
  return 0xFF000000u | std::uint32_t(40 * face + 10) << 16 | std::uint32_t(level * 50) << 8 | 0x20u;
}

// An uncompressed 32-bit DDS cube map (A8R8G8B8 masks) of `levels` levels.
inline std::vector<unsigned char> DdsCube(std::uint32_t edge, std::uint32_t levels, bool cube) {
  std::vector<unsigned char> out(128, 0);
  auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(&out[at], &v, 4); };
  put(0, 0x20534444);
  put(4, 124);
  put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
  put(12, edge);
  put(16, edge);
  put(28, levels);
  put(76, 32);
  put(80, 0x40 | 0x1);
  put(88, 32);
  put(92, 0x00FF0000);
  put(96, 0x0000FF00);
  put(100, 0x000000FF);
  put(104, 0xFF000000);
  put(108, 0x1000 | 0x8 | 0x400000);
  put(112, cube ? 0x200 | 0xFC00 : 0);
  for (int face = 0; face < (cube ? 6 : 1); ++face) {
    for (std::uint32_t l = 0; l < levels; ++l) {
      const std::uint32_t side = std::max(1u, edge >> l);
      for (std::uint32_t i = 0; i < side * side; ++i) {
        const std::uint32_t v = CubePixel(face, int(l));
        out.insert(out.end(), {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                               static_cast<unsigned char>(v >> 16),
                               static_cast<unsigned char>(v >> 24)});
      }
    }
  }
  return out;
}

inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace texfiles
