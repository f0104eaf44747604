#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../../platform/win32/internal.h"
#include "glomp/headless.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, unsigned v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
void Put32(Bytes& b, unsigned v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

// An ICO file holding the given images, each declared as size x size.
Bytes MakeIco(const std::vector<std::pair<int, Bytes>>& images) {
  Bytes file;
  Put16(file, 0), Put16(file, 1), Put16(file, static_cast<unsigned>(images.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(images.size());
  for (const auto& [size, data] : images) {
    file.push_back(size & 0xFF), file.push_back(size & 0xFF), file.push_back(0), file.push_back(0);
    Put16(file, 1), Put16(file, 32), Put32(file, static_cast<unsigned>(data.size()));
    Put32(file, offset);
    offset += static_cast<unsigned>(data.size());
  }
  for (const auto& image : images) file.insert(file.end(), image.second.begin(), image.second.end());
  return file;
}

// A 24-bit DIB, 2 x 2: top row red, green; bottom row blue, white; the mask
// makes the bottom-right (white) pixel transparent.
Bytes Dib24() {
  Bytes b;
  Put32(b, 40), Put32(b, 2), Put32(b, 4), Put16(b, 1), Put16(b, 24), Put32(b, 0);
  for (int i = 0; i < 5; ++i) Put32(b, 0);
  // Colour rows bottom-up, each padded to 4 bytes (BGR).
  const unsigned char bottom[8] = {255, 0, 0, 255, 255, 255, 0, 0};
  const unsigned char top[8] = {0, 0, 255, 0, 255, 0, 0, 0};
  b.insert(b.end(), bottom, bottom + 8);
  b.insert(b.end(), top, top + 8);
  // Mask rows bottom-up, 4 bytes each.
  Put32(b, 0x40), Put32(b, 0x00);
  return b;
}

Bytes PngBytes(int size) {
  std::vector<unsigned char> rgb(size * size * 3, 0);
  for (int i = 0; i < size * size; ++i) rgb[i * 3 + 1] = 200;  // green
  const std::string path = testing::TempDir() + "icon_source.png";
  EXPECT_TRUE(glomp::headless::WritePngRgb(path, size, size, rgb.data()));
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string WriteFile(const std::string& name, const Bytes& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

constexpr UINT kLoad = LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_SHARED;

TEST(Icon, BmpImageKeepsItsColoursOrientationAndMask) {
  glomp::win32::Icon icon;
  ASSERT_TRUE(glomp::win32::DecodeIcoFile(MakeIco({{2, Dib24()}}), 32, 32, &icon));
  ASSERT_EQ(icon.width, 2);
  ASSERT_EQ(icon.height, 2);
  auto pixel = [&](int x, int y) {
    const unsigned char* p = &icon.rgba[(y * 2 + x) * 4];
    return std::vector<int>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(pixel(0, 0), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(pixel(1, 0), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(pixel(0, 1), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(pixel(1, 1)[3], 0);
}

TEST(Icon, PngImageNearestTheDefaultSizeIsChosen) {
  glomp::win32::Icon icon;
  const Bytes file = MakeIco({{16, PngBytes(16)}, {32, PngBytes(32)}, {48, PngBytes(48)}});
  ASSERT_TRUE(glomp::win32::DecodeIcoFile(file, 32, 32, &icon));
  EXPECT_EQ(icon.width, 32);
  EXPECT_EQ(icon.rgba[1], 200);
  EXPECT_EQ(icon.rgba[3], 255);

  const std::string path = WriteFile("good.ico", file);
  HANDLE handle = LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, kLoad);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, kLoad), handle);  // shared
  ASSERT_NE(glomp::win32::IconFromHandle(static_cast<HICON>(handle)), nullptr);
}

TEST(Icon, MissingTruncatedAndMalformedFilesGiveNull) {
  EXPECT_EQ(LoadImageA(nullptr, "no/such/ICON.ico", IMAGE_ICON, 0, 0, kLoad), nullptr);
  const Bytes good = MakeIco({{2, Dib24()}});
  std::vector<Bytes> bad;
  for (size_t cut : {0, 3, 6, 21, 40, 60, static_cast<int>(good.size()) - 1}) {
    bad.emplace_back(good.begin(), good.begin() + cut);
  }
  Bytes wrongType = good;
  wrongType[2] = 2;  // a cursor file
  bad.push_back(wrongType);
  Bytes hugeOffset = good;
  hugeOffset[18] = 0xFF, hugeOffset[19] = 0xFF, hugeOffset[20] = 0xFF, hugeOffset[21] = 0x7F;
  bad.push_back(hugeOffset);
  Bytes hugeWidth = good;
  hugeWidth[22 + 4 + 3] = 0x40;  // biWidth far beyond the data
  bad.push_back(hugeWidth);
  Bytes notPng = MakeIco({{16, Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 1, 2, 3}}});
  bad.push_back(notPng);
  // A PNG image's own header may claim any size, and the decoder reserved it all
  // (16000 x 16000 here) before finding the data missing. Icons are at most
  // 256 x 256; a larger PNG image, real or claimed, is no icon.
  bad.push_back(MakeIco({{0, PngBytes(300)}}));
  Bytes claim = PngBytes(16);
  for (int at : {16, 20}) claim[at] = 0, claim[at + 1] = 0, claim[at + 2] = 0x3E, claim[at + 3] = 0x80;
  bad.push_back(MakeIco({{0, claim}}));
  Bytes longChunk = PngBytes(16);
  longChunk[33] = 0x40;  // the data chunk after the header claims a gigabyte
  bad.push_back(MakeIco({{0, longChunk}}));
  int index = 0;
  for (const Bytes& file : bad) {
    const std::string path = WriteFile("bad" + std::to_string(index++) + ".ico", file);
    EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, kLoad), nullptr) << path;
  }
  // Only icon files exist: a resource name or another image type gives nothing.
  EXPECT_EQ(LoadImageA(nullptr, "x.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(1), IMAGE_ICON, 0, 0, 0), nullptr);
}

TEST(Icon, WindowClassCarriesItsIcon) {
  glomp::headless::Enable();
  const std::string path = WriteFile("class.ico", MakeIco({{2, Dib24()}}));
  WNDCLASSEXA c = {};
  c.cbSize = sizeof c;
  c.lpfnWndProc = DefWindowProcA;
  c.lpszClassName = "IconWindow";
  c.hIcon = static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, kLoad));
  ASSERT_NE(c.hIcon, nullptr);
  ASSERT_NE(RegisterClassExA(&c), 0);
  HWND window = CreateWindowExA(0, "IconWindow", "i", WS_CAPTION, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_HICON), reinterpret_cast<ULONG_PTR>(c.hIcon));
  DestroyWindow(window);
  UnregisterClassA("IconWindow", nullptr);
}

}  // namespace

