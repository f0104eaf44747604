// The CPU side of texture loading: decoding, sizes, colour keys, mip chains and
// the refusal of bad files.
#include <gtest/gtest.h>

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstring>

#include "platform/d3dx9/image.h"
#include "tex_files.h"

using glomp::DecodedFile;
using glomp::Image;

TEST(ImageDecode, PngGivesFileSizeAndArgbPixels) {
  const auto bytes = texfiles::Png(3, 2, 4, [](int x, int y) {
    return texfiles::Rgba(x * 100, y * 200, 7, x == 2 ? 0 : 255);
  });
  DecodedFile file;
  std::string reason;
  ASSERT_TRUE(glomp::DecodeImageFile(bytes, &file, &reason)) << reason;
  EXPECT_EQ(file.info.Width, 3u);
  EXPECT_EQ(file.info.Height, 2u);
  EXPECT_EQ(file.info.MipLevels, 1u);
  EXPECT_EQ(file.info.ImageFileFormat, D3DXIFF_PNG);
  EXPECT_EQ(file.info.Format, D3DFMT_A8R8G8B8);
  ASSERT_EQ(file.levels.size(), 1u);
  EXPECT_EQ(file.levels[0].pixels[0], 0xFF000007u);
  EXPECT_EQ(file.levels[0].pixels[1 * 3 + 1], 0xFF64C807u);
  EXPECT_EQ(file.levels[0].pixels[2] >> 24, 0u);
}

TEST(ImageDecode, OpaquePngIsXrgb) {
  const auto bytes = texfiles::Png(2, 2, 3, [](int, int) { return texfiles::Rgba(1, 2, 3, 255); });
  DecodedFile file;
  std::string reason;
  ASSERT_TRUE(glomp::DecodeImageFile(bytes, &file, &reason));
  EXPECT_EQ(file.info.Format, D3DFMT_X8R8G8B8);
  EXPECT_FALSE(file.hasAlpha);
}

TEST(ImageDecode, EmptyTruncatedAndMalformedFilesAreRefused) {
  const auto png = texfiles::Png(8, 8, 4, [](int x, int y) { return texfiles::Rgba(x, y, 0, 255); });
  std::vector<std::vector<unsigned char>> bad = {
      {},
      std::vector<unsigned char>(png.begin(), png.begin() + 8),      // signature only
      std::vector<unsigned char>(png.begin(), png.begin() + 40),     // cut in the header chunk
      std::vector<unsigned char>(png.begin(), png.end() - 30),       // cut in the data
      {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},  // text
  };
  auto corrupt = png;
  for (std::size_t i = 40; i < corrupt.size() - 12; ++i) corrupt[i] ^= 0x5A;
  bad.push_back(corrupt);
  for (std::size_t i = 0; i < bad.size(); ++i) {
    DecodedFile file;
    std::string reason;
    EXPECT_FALSE(glomp::DecodeImageFile(bad[i], &file, &reason)) << "case " << i;
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(file.levels.empty());
  }
}

// A few hundred bytes whose header claims 16000 x 16000 pixels made the decoder
// reserve a gigabyte before it found the data missing. Such a
// claim is refused from the header; a large flat picture that really is in its
// few kilobytes still loads.
TEST(ImageDecode, PngClaimingMorePixelsThanItsDataHoldsIsRefusedUpFront) {
  auto claim = texfiles::Png(8, 8, 4, [](int, int) { return texfiles::Rgba(9, 9, 9, 255); });
  ASSERT_GT(claim.size(), 24u);
  for (int at : {16, 20}) {  // IHDR width and height, big-endian
    claim[at] = 0x00, claim[at + 1] = 0x00, claim[at + 2] = 0x3E, claim[at + 3] = 0x80;
  }
  DecodedFile file;
  std::string reason;
  EXPECT_FALSE(glomp::DecodeImageFile(claim, &file, &reason));
  EXPECT_NE(reason.find("claims more pixels than its data can hold"), std::string::npos)
      << reason;
  EXPECT_TRUE(file.levels.empty());

  const auto flat = texfiles::Png(1024, 1024, 4, [](int, int) { return texfiles::Rgba(0, 0, 0, 0); });
  ASSERT_LT(flat.size() * 50, 1024u * 1024u * 4u) << "the flat picture packs its pixels well";
  ASSERT_TRUE(glomp::DecodeImageFile(flat, &file, &reason)) << reason;
  EXPECT_EQ(file.info.Width, 1024u);
  EXPECT_EQ(file.info.Height, 1024u);
}

// Found by the fuzzer: 200 bytes of PNG whose data chunk claims 0x0D494441 bytes. The
// decoder grew its buffer to that claim before reading, and doubling toward it took
// more than a gigabyte. A chunk that runs past the end of the file is refused
// up front; bytes after the end marker are no harm.
TEST(ImageDecode, PngChunkRunningPastTheFileIsRefusedBeforeAllocating) {
  const unsigned char found[] = {
      0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1f,
      0x15, 0xc4, 0x49, 0x44, 0x41, 0x54, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x45, 0x4e, 0x44, 0xae,
      0x42, 0x60, 0x82, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1f,
      0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78, 0x5e, 0x63, 0xf8,
      0xff, 0xff, 0xff, 0x7f, 0x00, 0x09, 0xfb, 0x03, 0xfd, 0x96, 0x19, 0xa5, 0x05, 0x00, 0x00,
      0x00, 0x00, 0x49, 0x45};
  const auto small = texfiles::Png(4, 4, 4, [](int, int) { return texfiles::Rgba(9, 9, 9, 255); });
  auto claim = small;
  ASSERT_EQ(std::memcmp(&claim[33 + 4], "IDAT", 4), 0) << "the data chunk follows the header";
  claim[33] = 0x40;  // the data chunk now claims a gigabyte
  const std::vector<std::vector<unsigned char>> refused = {
      std::vector<unsigned char>(found, found + sizeof found), claim};
  for (std::size_t i = 0; i < refused.size(); ++i) {
    DecodedFile file;
    std::string reason;
    EXPECT_FALSE(glomp::DecodeImageFile(refused[i], &file, &reason)) << "case " << i;
    EXPECT_NE(reason.find("truncated"), std::string::npos) << "case " << i << ": " << reason;
    EXPECT_TRUE(file.levels.empty());
  }

  auto trailing = small;
  trailing.insert(trailing.end(), {'e', 'x', 't', 'r', 'a'});
  DecodedFile file;
  std::string reason;
  EXPECT_TRUE(glomp::DecodeImageFile(trailing, &file, &reason)) << reason;
}

// A picture format without compression of its own (here TGA) that claims 16000 x
// 16000 pixels from a few bytes is refused as well: the decoder would reserve the
// whole picture and fill what the file lacks with black.
TEST(ImageDecode, OtherFormatsClaimingMorePixelsThanTheirBytesAreRefused) {
  std::vector<unsigned char> tga(18 + 64, 0);
  tga[2] = 2;                                  // uncompressed true colour
  tga[12] = 0x80, tga[13] = 0x3E;              // width 16000, little-endian
  tga[14] = 0x80, tga[15] = 0x3E;              // height 16000
  tga[16] = 32;                                // bits per pixel
  DecodedFile file;
  std::string reason;
  EXPECT_FALSE(glomp::DecodeImageFile(tga, &file, &reason));
  EXPECT_NE(reason.find("claims more pixels than its data can hold"), std::string::npos)
      << reason;

  tga[12] = 4, tga[13] = 0, tga[14] = 4, tga[15] = 0;  // 4 x 4 in 64 bytes: loads
  ASSERT_TRUE(glomp::DecodeImageFile(tga, &file, &reason)) << reason;
  EXPECT_EQ(file.info.Width, 4u);
  EXPECT_EQ(file.info.ImageFileFormat, D3DXIFF_TGA);
}

TEST(ImageDecode, DdsCubeMapFacesAndRefusals) {
  const auto cube = texfiles::DdsCube(4, 2, true);
  DecodedFile file;
  std::string reason;
  ASSERT_TRUE(glomp::DecodeImageFile(cube, &file, &reason)) << reason;
  EXPECT_TRUE(file.cube);
  EXPECT_EQ(file.info.ResourceType, D3DRTYPE_CUBETEXTURE);
  EXPECT_EQ(file.info.ImageFileFormat, D3DXIFF_DDS);
  EXPECT_EQ(file.info.MipLevels, 2u);
  ASSERT_EQ(file.levels.size(), 12u);
  EXPECT_EQ(file.levels[0].pixels[0], texfiles::CubePixel(0, 0));
  EXPECT_EQ(file.levels[2].pixels[0], texfiles::CubePixel(1, 0));  // face 1, level 0
  EXPECT_EQ(file.levels[3].width, 2u);

  auto compressed = cube;
  compressed[4 + 76] = 0x4;  // DDPF_FOURCC
  std::memcpy(&compressed[4 + 80], "DXT5", 4);
  auto fiveFaces = cube;
  fiveFaces[4 + 109] &= ~0x80;  // no negative-Z face
  auto sixteenBit = cube;
  sixteenBit[4 + 84] = 16;
  auto tooManyLevels = cube;
  tooManyLevels[4 + 24] = 9;
  auto hugeSize = cube;
  hugeSize[4 + 8 + 3] = 0x7F;
  const std::vector<std::vector<unsigned char>> bad = {
      std::vector<unsigned char>(cube.begin(), cube.begin() + 60),
      std::vector<unsigned char>(cube.begin(), cube.end() - 1),
      compressed, fiveFaces, sixteenBit, tooManyLevels, hugeSize};
  for (std::size_t i = 0; i < bad.size(); ++i) {
    DecodedFile refused;
    EXPECT_FALSE(glomp::DecodeImageFile(bad[i], &refused, &reason)) << "case " << i;
  }
}

TEST(ImageSizes, DefaultEnlargesToPowersOfTwoNonPow2Keeps) {
  EXPECT_EQ(glomp::ChooseTextureSize(D3DX_DEFAULT, 300), 512u);
  EXPECT_EQ(glomp::ChooseTextureSize(D3DX_DEFAULT, 256), 256u);
  EXPECT_EQ(glomp::ChooseTextureSize(D3DX_DEFAULT, 1), 1u);
  EXPECT_EQ(glomp::ChooseTextureSize(D3DX_DEFAULT_NONPOW2, 300), 300u);
  EXPECT_EQ(glomp::ChooseTextureSize(0, 300), 300u);
  EXPECT_EQ(glomp::ChooseTextureSize(64, 300), 64u);
  EXPECT_EQ(glomp::FullChainLength(300, 20), 9u);  // 300,150,75,37,18,9,4,2,1
  EXPECT_EQ(glomp::FullChainLength(1, 1), 1u);
  EXPECT_EQ(glomp::ChooseLevelCount(D3DX_DEFAULT, 512, 256, 1), 10u);
  EXPECT_EQ(glomp::ChooseLevelCount(0, 4, 4, 1), 3u);
  EXPECT_EQ(glomp::ChooseLevelCount(D3DX_FROM_FILE, 4, 4, 1), 1u);
  EXPECT_EQ(glomp::ChooseLevelCount(20, 4, 4, 1), 3u);
}

TEST(ImageFilters, ResizeKeepsFlatColourAndMipsAverage) {
  Image flat{3, 5, std::vector<std::uint32_t>(15, 0x80FF4010u)};
  const Image big = glomp::Resize(flat, 4, 8, D3DX_DEFAULT);
  ASSERT_EQ(big.pixels.size(), 32u);
  for (std::uint32_t p : big.pixels) EXPECT_EQ(p, 0x80FF4010u);

  Image checker{2, 2, {0xFFFFFFFFu, 0xFF000000u, 0xFF000000u, 0xFFFFFFFFu}};
  const Image mip = glomp::NextMipLevel(checker, D3DX_DEFAULT);
  ASSERT_EQ(mip.width, 1u);
  EXPECT_EQ(mip.pixels[0], 0xFF808080u);

  const Image corner = glomp::Resize(checker, 3, 3, D3DX_FILTER_NONE);
  EXPECT_EQ(corner.pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(corner.pixels[8], 0u);
  const Image nearest = glomp::Resize(checker, 4, 4, D3DX_FILTER_POINT);
  EXPECT_EQ(nearest.pixels[1], 0xFFFFFFFFu);
  EXPECT_EQ(nearest.pixels[2], 0xFF000000u);
}

// Mip levels of exact halvings are averaged in integers: the same pixels as the
// general box resampler, rounding included, for every shape a chain passes through.
TEST(ImageFilters, MipLevelsMatchTheBoxResampler) {
  std::uint32_t state = 12345;
  const auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  const UINT sizes[][2] = {{8, 4}, {4, 1}, {1, 8}, {2, 2}, {1, 1}, {16, 2}};
  for (const auto& size : sizes) {
    Image level{size[0], size[1], {}};
    for (UINT i = 0; i < size[0] * size[1]; ++i) {
      // Extremes included, and odd channels, so each rounding case occurs.
      const std::uint32_t pick = next() >> 8;
      level.pixels.push_back(pick % 5 == 0 ? 0xFFFFFFFFu : pick % 7 == 0 ? 0u : next());
    }
    const Image mip = glomp::NextMipLevel(level, D3DX_DEFAULT);
    const Image resampled = glomp::Resize(level, std::max(1u, size[0] / 2),
                                          std::max(1u, size[1] / 2), D3DX_FILTER_BOX);
    EXPECT_EQ(mip.width, resampled.width);
    EXPECT_EQ(mip.height, resampled.height);
    EXPECT_EQ(mip.pixels, resampled.pixels) << size[0] << " x " << size[1];
  }
  // Halves round up as the resampler rounds them: (1 + 2) / 2 and (0 + 0 + 1 + 1) / 4.
  const Image pair{2, 1, {0x01010101u, 0x02020202u}};
  EXPECT_EQ(glomp::NextMipLevel(pair, D3DX_DEFAULT).pixels[0], 0x02020202u);
  const Image block{2, 2, {0, 0, 0x01000001u, 0x01000001u}};
  EXPECT_EQ(glomp::NextMipLevel(block, D3DX_DEFAULT).pixels[0], 0x01000001u);
}

TEST(ImageFilters, ColourKeyClearsOnlyExactMatches) {
  Image image{3, 1, {0xFFFF00FFu, 0xFEFF00FFu, 0xFF00FF00u}};
  glomp::ApplyColourKey(&image, 0xFFFF00FFu);
  EXPECT_EQ(image.pixels[0], 0u);
  EXPECT_EQ(image.pixels[1], 0xFEFF00FFu);
  glomp::ApplyColourKey(&image, 0);
  EXPECT_EQ(image.pixels[2], 0xFF00FF00u);
}
