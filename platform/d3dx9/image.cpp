#include "d3dx9/image.h"

#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace glomp {

namespace {

// Larger pictures are refused rather than allocated (the device's limit too).
constexpr UINT kMaxSide = 16384;

std::uint32_t ReadU32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

std::uint32_t ReadU32BigEndian(const unsigned char* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
         std::uint32_t(p[3]);
}

// ---------------------------------------------------------------- DDS

constexpr std::uint32_t kDdsMagic = 0x20534444;  // "DDS "
constexpr std::size_t kDdsHeaderSize = 124;
constexpr std::uint32_t kDdsdMipMapCount = 0x20000;
constexpr std::uint32_t kDdpfAlphaPixels = 0x1;
constexpr std::uint32_t kDdpfFourCC = 0x4;
constexpr std::uint32_t kDdpfRgb = 0x40;
constexpr std::uint32_t kCaps2CubeMap = 0x200;
constexpr std::uint32_t kCaps2AllFaces = 0xFC00;
constexpr std::uint32_t kCaps2Volume = 0x200000;

// Position and width of a channel mask that is 8 contiguous bits (or empty).
bool MaskShift(std::uint32_t mask, int* shift) {
  if (mask == 0) {
    *shift = -1;
    return true;
  }
  int s = 0;
  while (!(mask & 1u)) mask >>= 1, ++s;
  if (mask != 0xFFu) return false;
  *shift = s;
  return true;
}

bool DecodeDds(const std::vector<unsigned char>& bytes, DecodedFile* out, std::string* reason) {
  if (bytes.size() < 4 + kDdsHeaderSize) {
    *reason = "DDS file too short for its header";
    return false;
  }
  const unsigned char* h = bytes.data() + 4;
  const std::uint32_t flags = ReadU32(h + 4);
  const UINT height = ReadU32(h + 8), width = ReadU32(h + 12);
  const std::uint32_t mipCount = ReadU32(h + 24);
  const std::uint32_t pfFlags = ReadU32(h + 76), bitCount = ReadU32(h + 84);
  const std::uint32_t masks[4] = {ReadU32(h + 88), ReadU32(h + 92), ReadU32(h + 96),
                                  ReadU32(h + 100)};
  const std::uint32_t caps2 = ReadU32(h + 108);
  if (ReadU32(h) != kDdsHeaderSize || ReadU32(h + 72) != 32) {
    *reason = "DDS header has wrong sizes";
    return false;
  }
  if (pfFlags & kDdpfFourCC) {
    *reason = "compressed or extended DDS pixel formats are not supported";
    return false;
  }
  if (!(pfFlags & kDdpfRgb) || bitCount != 32) {
    *reason = "only uncompressed 32-bit DDS files are supported";
    return false;
  }
  if (caps2 & kCaps2Volume) {
    *reason = "volume DDS files are not supported";
    return false;
  }
  int shifts[4];
  for (int c = 0; c < 4; ++c) {
    if (!MaskShift(masks[c], &shifts[c]) || (c < 3 && shifts[c] < 0)) {
      *reason = "unsupported DDS channel masks";
      return false;
    }
  }
  if (!(pfFlags & kDdpfAlphaPixels)) shifts[3] = -1;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
    *reason = "DDS size out of range";
    return false;
  }
  const bool cube = (caps2 & kCaps2CubeMap) != 0;
  if (cube && ((caps2 & kCaps2AllFaces) != kCaps2AllFaces || width != height)) {
    *reason = "DDS cube map without all six square faces";
    return false;
  }
  UINT levels = (flags & kDdsdMipMapCount) && mipCount > 0 ? mipCount : 1;
  if (levels > FullChainLength(width, height)) {
    *reason = "DDS has more mip levels than its size allows";
    return false;
  }
  const int faces = cube ? 6 : 1;
  std::uint64_t needed = 0;
  for (UINT l = 0; l < levels; ++l) {
    needed += std::uint64_t(std::max(1u, width >> l)) * std::max(1u, height >> l) * 4;
  }
  needed *= faces;
  if (bytes.size() - 4 - kDdsHeaderSize < needed) {
    *reason = "DDS file is truncated";
    return false;
  }

  out->cube = cube;
  out->hasAlpha = shifts[3] >= 0;
  out->info = {width, height, 1, levels, out->hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
               cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE, D3DXIFF_DDS};
  out->levels.clear();
  const unsigned char* p = bytes.data() + 4 + kDdsHeaderSize;
  for (int f = 0; f < faces; ++f) {
    for (UINT l = 0; l < levels; ++l) {
      Image image;
      image.width = std::max(1u, width >> l);
      image.height = std::max(1u, height >> l);
      image.pixels.resize(std::size_t(image.width) * image.height);
      for (std::uint32_t& pixel : image.pixels) {
        const std::uint32_t raw = ReadU32(p);
        p += 4;
        const auto channel = [&](int c, std::uint32_t absent) {
          return shifts[c] < 0 ? absent : (raw >> shifts[c]) & 0xFFu;
        };
        pixel = channel(3, 0xFF) << 24 | channel(0, 0) << 16 | channel(1, 0) << 8 | channel(2, 0);
      }
      out->levels.push_back(std::move(image));
    }
  }
  return true;
}

// ---------------------------------------------------------------- stb formats

D3DXIMAGE_FILEFORMAT SniffFormat(const std::vector<unsigned char>& bytes) {
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG", 4) == 0) return D3DXIFF_PNG;
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8) return D3DXIFF_JPG;
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return D3DXIFF_BMP;
  return D3DXIFF_TGA;  // the one format without a signature
}

// A picture that claims more pixels than its file could hold only claims its
// size: it is refused before anything is allocated for it (the decoders reserve
// the whole picture first, and some fill what the file lacks with black).
//
// A PNG's rows come out of its deflate stream, which packs at most 1032 bytes
// into one; each row starts with a filter byte and may hold one bit per pixel.
constexpr std::uint64_t kDeflateMostRatio = 1032;
// The others, per byte of file at the most: a JPEG codes each 8 x 8 block in one
// bit or more, a TGA run repeats one pixel 128 times in two bytes, and a BMP
// (never compressed here) holds one bit per pixel.
constexpr std::uint64_t kJpegMostPixelsPerByte = 8 * 64;
constexpr std::uint64_t kTgaMostPixelsPerByte = 64;
constexpr std::uint64_t kBmpMostPixelsPerByte = 8;

bool FileCanHoldPixels(D3DXIMAGE_FILEFORMAT format, std::size_t fileSize, int width,
                       int height) {
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  switch (format) {
    case D3DXIFF_PNG: {
      const std::uint64_t rowBytes = 1 + (std::uint64_t(width) + 7) / 8;
      return rowBytes * std::uint64_t(height) <= kDeflateMostRatio * fileSize;
    }
    case D3DXIFF_JPG: return pixels <= kJpegMostPixelsPerByte * fileSize;
    case D3DXIFF_BMP: return pixels <= kBmpMostPixelsPerByte * fileSize;
    default: return pixels <= kTgaMostPixelsPerByte * fileSize;
  }
}

bool DecodeWithStb(const std::vector<unsigned char>& bytes, DecodedFile* out,
                   std::string* reason) {
  if (bytes.size() > 0x7fffffff) {
    *reason = "image file too large";
    return false;
  }
  const int length = static_cast<int>(bytes.size());
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), length, &w, &h, &channels) || w <= 0 || h <= 0 ||
      w > int(kMaxSide) || h > int(kMaxSide)) {
    *reason = std::string("unreadable image: ") + (stbi_failure_reason() ? stbi_failure_reason()
                                                                          : "unknown format");
    return false;
  }
  const D3DXIMAGE_FILEFORMAT format = SniffFormat(bytes);
  if (format == D3DXIFF_PNG && !PngChunksInsideFile(bytes.data(), bytes.size())) {
    *reason = "PNG file is truncated: a chunk runs past its end";
    return false;
  }
  if (!FileCanHoldPixels(format, bytes.size(), w, h)) {
    *reason = "image file claims more pixels than its data can hold";
    return false;
  }
  unsigned char* rgba = stbi_load_from_memory(bytes.data(), length, &w, &h, &channels, 4);
  if (!rgba) {
    *reason = std::string("unreadable image: ") +
              (stbi_failure_reason() ? stbi_failure_reason() : "decoding failed");
    return false;
  }
  Image image;
  image.width = static_cast<UINT>(w);
  image.height = static_cast<UINT>(h);
  image.pixels.resize(std::size_t(w) * h);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const unsigned char* px = rgba + i * 4;
    image.pixels[i] = std::uint32_t(px[3]) << 24 | std::uint32_t(px[0]) << 16 |
                      std::uint32_t(px[1]) << 8 | px[2];
  }
  stbi_image_free(rgba);
  out->hasAlpha = channels == 2 || channels == 4;
  out->cube = false;
  out->info = {image.width, image.height, 1, 1,
               out->hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE,
               format};
  out->levels.clear();
  out->levels.push_back(std::move(image));
  return true;
}

// ---------------------------------------------------------------- resampling

// The resampling loops take the same branches for any pixels, so tracing them
// tells a coverage-guided fuzzer nothing, and it took most of the texture
// fuzzer's time; the sanitizers still check every access they make.
#if defined(__clang__)
#define GLOMP_NOT_TRACED __attribute__((no_sanitize("coverage")))
#else
#define GLOMP_NOT_TRACED
#endif

struct Tap {
  UINT index;
  float weight;
};

// For each output position along one axis, the source positions it reads and
// their weights (normalised to sum 1): position i's taps are taps[first[i]] up to
// taps[first[i + 1]], all in one array.
struct AxisTaps {
  std::vector<Tap> taps;
  std::vector<std::size_t> first;

  GLOMP_NOT_TRACED const Tap* Begin(UINT i) const { return taps.data() + first[i]; }
  GLOMP_NOT_TRACED const Tap* End(UINT i) const { return taps.data() + first[i + 1]; }
};

AxisTaps MakeAxisTaps(UINT from, UINT to, DWORD filterKind) {
  AxisTaps axis;
  axis.first.reserve(std::size_t(to) + 1);
  const double scale = double(from) / to;
  for (UINT i = 0; i < to; ++i) {
    const std::size_t listStart = axis.taps.size();
    axis.first.push_back(listStart);
    if (filterKind == D3DX_FILTER_POINT) {
      const UINT nearest = std::min<UINT>(from - 1, UINT((i + 0.5) * scale));
      axis.taps.push_back({nearest, 1.0f});
      continue;
    }
    double total = 0;
    if (filterKind == D3DX_FILTER_BOX && scale >= 1.0) {
      // Area average over the footprint [i * scale, (i + 1) * scale).
      const double lo = i * scale, hi = (i + 1) * scale;
      for (UINT x = UINT(lo); x < from && x < hi; ++x) {
        const double overlap = std::min<double>(x + 1, hi) - std::max<double>(x, lo);
        if (overlap > 0) axis.taps.push_back({x, float(overlap)}), total += overlap;
      }
    } else {
      // Tent filter, widened when shrinking so every source pixel contributes.
      const double centre = (i + 0.5) * scale - 0.5;
      const double radius = std::max(1.0, scale);
      const long first = long(std::floor(centre - radius)), last = long(std::ceil(centre + radius));
      for (long x = first; x <= last; ++x) {
        const double weight = 1.0 - std::fabs(x - centre) / radius;
        if (weight <= 0) continue;
        const UINT clamped = UINT(std::clamp<long>(x, 0, long(from) - 1));
        axis.taps.push_back({clamped, float(weight)});
        total += weight;
      }
    }
    for (std::size_t t = listStart; t < axis.taps.size(); ++t) {
      axis.taps[t].weight = float(axis.taps[t].weight / total);
    }
  }
  axis.first.push_back(axis.taps.size());
  return axis;
}

// A filtered channel back to 0..255, rounded half away from zero (the sums are
// never negative; in double the half added is exact).
GLOMP_NOT_TRACED std::uint32_t RoundChannel(float value) {
  if (!(value > 0)) return 0;
  if (value >= 255) return 255;
  return std::uint32_t(double(value) + 0.5);
}

GLOMP_NOT_TRACED std::uint32_t Channel(std::uint32_t pixel, int c) {
  return (pixel >> (c * 8)) & 0xFFu;
}

// A side that halves without remainder, or stays at 1.
bool HalvesExactly(UINT from, UINT to) { return from == 2 * to || (from == 1 && to == 1); }

// The box filter over an exact halving is the mean of each 2 x 2 block (2 x 1 or
// 1 x 2 where a side stays at 1), rounded half up as the general resampler rounds
// it: the mip chains of power-of-two textures, in integers.
GLOMP_NOT_TRACED Image HalveWithBox(const Image& level, UINT width, UINT height) {
  const UINT stepX = level.width / width, stepY = level.height / height;
  const std::uint32_t count = stepX * stepY;
  Image result;
  result.width = width;
  result.height = height;
  result.pixels.resize(std::size_t(width) * height);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      std::uint32_t sums[4] = {0, 0, 0, 0};
      for (UINT dy = 0; dy < stepY; ++dy) {
        const std::uint32_t* row = &level.pixels[std::size_t(y * stepY + dy) * level.width];
        for (UINT dx = 0; dx < stepX; ++dx) {
          for (int c = 0; c < 4; ++c) sums[c] += Channel(row[x * stepX + dx], c);
        }
      }
      std::uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c) pixel |= (sums[c] + count / 2) / count << (c * 8);
      result.pixels[std::size_t(y) * width + x] = pixel;
    }
  }
  return result;
}

}  // namespace

bool DecodeImageFile(const std::vector<unsigned char>& bytes, DecodedFile* out,
                     std::string* reason) {
  *out = DecodedFile{};
  if (bytes.empty()) {
    *reason = "image file is empty";
    return false;
  }
  const bool ok =
      IsDdsFile(bytes) ? DecodeDds(bytes, out, reason) : DecodeWithStb(bytes, out, reason);
  if (!ok) *out = DecodedFile{};
  return ok;
}

bool IsDdsFile(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 4 && ReadU32(bytes.data()) == kDdsMagic;
}

bool PngChunksInsideFile(const unsigned char* bytes, std::size_t size) {
  constexpr std::size_t kSignature = 8, kLengthAndType = 8, kCrc = 4;
  if (size < kSignature) return false;
  std::size_t at = kSignature;
  while (size - at >= kLengthAndType) {
    const std::uint64_t length = ReadU32BigEndian(bytes + at);
    const bool end = std::memcmp(bytes + at + 4, "IEND", 4) == 0;
    if (length + kLengthAndType + kCrc > size - at) return false;
    if (end) return true;
    at += std::size_t(length) + kLengthAndType + kCrc;
  }
  return false;  // ends before its end marker
}

UINT ChooseTextureSize(UINT requested, UINT fileSize) {
  if (requested == D3DX_DEFAULT) {
    UINT size = 1;
    while (size < fileSize) size <<= 1;
    return size;
  }
  if (requested == 0 || requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) {
    return fileSize;
  }
  return requested;
}

UINT FullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
    ++levels;
  }
  return levels;
}

UINT ChooseLevelCount(UINT requested, UINT width, UINT height, UINT fileLevels) {
  const UINT full = FullChainLength(width, height);
  if (requested == 0 || requested == D3DX_DEFAULT) return full;
  if (requested == D3DX_FROM_FILE) return std::clamp(fileLevels, 1u, full);
  return std::min(requested, full);
}

void ApplyColourKey(Image* image, std::uint32_t key) {
  if (key == 0) return;
  for (std::uint32_t& pixel : image->pixels) {
    if (pixel == key) pixel = 0;
  }
}

GLOMP_NOT_TRACED Image Resize(const Image& source, UINT width, UINT height, DWORD filter) {
  Image result;
  result.width = width;
  result.height = height;
  result.pixels.assign(std::size_t(width) * height, 0);
  if (source.width == 0 || source.height == 0 || width == 0 || height == 0) return result;
  DWORD kind = filter & 0xFF;
  if (filter == D3DX_DEFAULT || kind == 0) kind = D3DX_FILTER_TRIANGLE;
  if (kind == D3DX_FILTER_NONE || (width == source.width && height == source.height)) {
    // No filtering: the picture sits in the top-left corner, the rest stays clear.
    for (UINT y = 0; y < std::min(height, source.height); ++y) {
      for (UINT x = 0; x < std::min(width, source.width); ++x) {
        result.pixels[std::size_t(y) * width + x] = source.pixels[std::size_t(y) * source.width + x];
      }
    }
    return result;
  }
  const AxisTaps columns = MakeAxisTaps(source.width, width, kind);
  const AxisTaps rows = MakeAxisTaps(source.height, height, kind);
  // Horizontal pass into floats, then the vertical pass into the result.
  std::vector<float> wide(std::size_t(width) * source.height * 4);
  for (UINT y = 0; y < source.height; ++y) {
    const std::uint32_t* row = source.pixels.data() + std::size_t(y) * source.width;
    float* out = wide.data() + std::size_t(y) * width * 4;
    for (UINT x = 0; x < width; ++x, out += 4) {
      float sum[4] = {0, 0, 0, 0};
      for (const Tap* tap = columns.Begin(x); tap != columns.End(x); ++tap) {
        const std::uint32_t pixel = row[tap->index];
        for (int c = 0; c < 4; ++c) sum[c] += tap->weight * float(Channel(pixel, c));
      }
      std::copy(sum, sum + 4, out);
    }
  }
  for (UINT y = 0; y < height; ++y) {
    const Tap* const begin = rows.Begin(y);
    const Tap* const end = rows.End(y);
    std::uint32_t* out = result.pixels.data() + std::size_t(y) * width;
    for (UINT x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (const Tap* tap = begin; tap != end; ++tap) {
        const float* in = wide.data() + (std::size_t(tap->index) * width + x) * 4;
        for (int c = 0; c < 4; ++c) sum[c] += tap->weight * in[c];
      }
      std::uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c) pixel |= RoundChannel(sum[c]) << (c * 8);
      out[x] = pixel;
    }
  }
  return result;
}

Image NextMipLevel(const Image& level, DWORD filter) {
  DWORD kind = filter & 0xFF;
  if (filter == D3DX_DEFAULT || kind == 0) kind = D3DX_FILTER_BOX;
  const UINT width = std::max(1u, level.width / 2), height = std::max(1u, level.height / 2);
  if (kind == D3DX_FILTER_BOX && HalvesExactly(level.width, width) &&
      HalvesExactly(level.height, height)) {
    return HalveWithBox(level, width, height);
  }
  return Resize(level, width, height, kind);
}

}  // namespace glomp
