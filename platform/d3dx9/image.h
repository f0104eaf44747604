// The CPU side of texture loading: decoding image files into 32-bit A8R8G8B8
// pixels, resizing, colour keys and mip chains. No device involved, so the
// rules can be tested on their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <d3dx9tex.h>

namespace glomp {

// One picture: rows top to bottom, pixels as D3DCOLOR values (0xAARRGGBB).
struct Image {
  UINT width = 0;
  UINT height = 0;
  std::vector<std::uint32_t> pixels;
};

// A decoded file: the picture (or, for a cube map, six faces), and what
// D3DXIMAGE_INFO reports about it. A file's own mip levels after the first are
// kept in `levels` (faces times levels for cube maps, face-major).
struct DecodedFile {
  D3DXIMAGE_INFO info{};
  bool hasAlpha = false;
  bool cube = false;
  std::vector<Image> levels;
};

// Decodes PNG, JPEG, BMP and TGA (through stb_image) and uncompressed 32-bit DDS
// (2D and cube). False with a reason for empty, truncated, malformed or
// unsupported data.
bool DecodeImageFile(const std::vector<unsigned char>& bytes, DecodedFile* out,
                     std::string* reason);

// Whether the bytes start as a DDS file does (the only kind that holds a cube map).
bool IsDdsFile(const std::vector<unsigned char>& bytes);

// Whether every chunk of a PNG, up to its end marker, lies wholly inside its
// bytes. The decoder grows its buffer to what a data chunk claims before reading
// the chunk, so a few bytes that claim a gigabyte would be a gigabyte allocated.
bool PngChunksInsideFile(const unsigned char* bytes, std::size_t size);

// The texture size D3DX picks for a requested size (D3DX_DEFAULT: the file's
// size enlarged to a power of two; 0, D3DX_DEFAULT_NONPOW2 or D3DX_FROM_FILE:
// the file's size; anything else: as given).
UINT ChooseTextureSize(UINT requested, UINT fileSize);

// Number of levels of a full chain down to 1 x 1.
UINT FullChainLength(UINT width, UINT height);

// The level count D3DX creates: 0 and D3DX_DEFAULT a full chain, D3DX_FROM_FILE
// the file's count, anything else as asked but never more than a full chain.
UINT ChooseLevelCount(UINT requested, UINT width, UINT height, UINT fileLevels);

// Pixels of exactly `key` become transparent black (0 means no key).
void ApplyColourKey(Image* image, std::uint32_t key);

// Resamples to the given size with a D3DX_FILTER_* value (its low byte):
// NONE copies into the top-left corner, POINT takes the nearest pixel, the others
// weigh neighbouring pixels with a tent (triangle) filter, each channel on its own.
Image Resize(const Image& source, UINT width, UINT height, DWORD filter);

// The next level of a mip chain (each side halved, at least 1).
Image NextMipLevel(const Image& level, DWORD filter);

}  // namespace glomp
