// Icons, cursors, stock objects and module handles.
//
// LoadImageA reads icons from ICO files: a directory of images, each either a
// PNG file or a BMP without its file header (a DIB whose height counts the
// colour rows and the 1-bit transparency mask below them).
#include <stb_image.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <windows.h>

#include "d3dx9/image.h"
#include "win32/internal.h"

namespace glomp::win32 {
namespace {

constexpr int kDefaultIconSize = 32;  // what Windows' SM_CXICON usually says

struct IconStore {
  // Icons still alive when the process ends (the shared ones always are) go with it.
  ~IconStore() {
    for (const Icon* icon : live) delete icon;
  }
  std::mutex mutex;
  std::set<const Icon*> live;
  std::map<std::string, HICON> shared;  // LR_SHARED icons by file and size
};

IconStore& Store() {
  static IconStore store;
  return store;
}

uint32_t Read32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr int kLargestIcon = 256;  // what an ICO directory entry can say

bool DecodePng(const unsigned char* data, size_t size, Icon* out) {
  int width = 0, height = 0, channels = 0;
  // The size comes from the header first: the decoder reserves the whole picture
  // before it reads the data, so a claim of a huge one is refused right here, as
  // is a chunk that claims more bytes than the entry has.
  if (size > 0x7fffffff || !glomp::PngChunksInsideFile(data, size) ||
      !stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) ||
      width <= 0 || height <= 0 || width > kLargestIcon || height > kLargestIcon) {
    return false;
  }
  stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &width, &height,
                                          &channels, 4);
  if (pixels == nullptr) return false;
  out->width = width;
  out->height = height;
  out->rgba.assign(pixels, pixels + static_cast<size_t>(width) * height * 4);
  stbi_image_free(pixels);
  return true;
}

// A DIB as stored in an ICO: BITMAPINFOHEADER, palette, colour rows, AND mask.
bool DecodeDib(const unsigned char* data, size_t size, Icon* out) {
  if (size < 40) return false;
  const uint32_t headerSize = Read32(data);
  const int32_t width = static_cast<int32_t>(Read32(data + 4));
  const int32_t doubleHeight = static_cast<int32_t>(Read32(data + 8));
  const uint16_t bitCount = Read16(data + 14);
  const uint32_t compression = Read32(data + 16);
  uint32_t coloursUsed = Read32(data + 32);
  if (headerSize < 40 || headerSize > size || compression != 0) return false;
  if (width <= 0 || width > 1024 || doubleHeight <= 0 || doubleHeight > 2048) return false;
  const int height = doubleHeight / 2;
  if (height <= 0) return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
    return false;
  }
  if (bitCount <= 8 && coloursUsed == 0) coloursUsed = 1u << bitCount;
  if (bitCount > 8) coloursUsed = 0;
  if (coloursUsed > 256) return false;

  const size_t paletteOffset = headerSize;
  const size_t colourOffset = paletteOffset + coloursUsed * 4;
  const size_t colourStride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
  const size_t maskOffset = colourOffset + colourStride * height;
  const size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  if (maskOffset > size) return false;
  // Some 32-bit icons leave the mask out; their alpha channel is enough.
  const bool hasMask = maskOffset + maskStride * height <= size;
  if (!hasMask && bitCount != 32) return false;

  out->width = width;
  out->height = height;
  out->rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  bool anyAlpha = false;
  for (int row = 0; row < height; ++row) {
    const unsigned char* src = data + colourOffset + colourStride * (height - 1 - row);
    unsigned char* dst = out->rgba.data() + static_cast<size_t>(row) * width * 4;
    for (int x = 0; x < width; ++x, dst += 4) {
      if (bitCount >= 24) {
        const unsigned char* px = src + x * (bitCount / 8);
        dst[0] = px[2], dst[1] = px[1], dst[2] = px[0];
        dst[3] = bitCount == 32 ? px[3] : 255;
        anyAlpha = anyAlpha || (bitCount == 32 && px[3] != 0);
      } else {
        const int bitOffset = x * bitCount;
        const int shift = 8 - bitCount - (bitOffset % 8);
        const unsigned index = (src[bitOffset / 8] >> shift) & ((1u << bitCount) - 1);
        if (index >= coloursUsed) return false;
        const unsigned char* entry = data + paletteOffset + index * 4;
        dst[0] = entry[2], dst[1] = entry[1], dst[2] = entry[0], dst[3] = 255;
      }
    }
  }
  // The AND mask marks transparent pixels, unless a 32-bit image carries alpha.
  if (hasMask && !(bitCount == 32 && anyAlpha)) {
    for (int row = 0; row < height; ++row) {
      const unsigned char* mask = data + maskOffset + maskStride * (height - 1 - row);
      for (int x = 0; x < width; ++x) {
        const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
        out->rgba[(static_cast<size_t>(row) * width + x) * 4 + 3] = transparent ? 0 : 255;
      }
    }
  }
  return true;
}

bool DecodeImage(const unsigned char* data, size_t size, Icon* out) {
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::equal(kPngSignature, kPngSignature + 8, data)) {
    return DecodePng(data, size, out);
  }
  return DecodeDib(data, size, out);
}

HICON Keep(std::unique_ptr<Icon> icon) {
  IconStore& store = Store();
  std::lock_guard lock(store.mutex);
  const Icon* raw = icon.release();
  store.live.insert(raw);
  return reinterpret_cast<HICON>(const_cast<Icon*>(raw));
}

// Handles for the system's own objects: unique addresses that are never dereferenced.
template <typename Handle>
Handle SystemHandle(int id) {
  static char objects[64];
  return reinterpret_cast<Handle>(&objects[id & 63]);
}

}  // namespace

bool DecodeIcoFile(const std::vector<unsigned char>& file, int wantWidth, int wantHeight,
                   Icon* out) {
  if (file.size() < 6 || Read16(&file[0]) != 0 || Read16(&file[2]) != 1) return false;
  const size_t count = Read16(&file[4]);
  if (count == 0 || 6 + count * 16 > file.size()) return false;
  // The entry nearest the wanted size; among equals, the one with more colour bits.
  size_t best = count;
  long bestScore = 0;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = &file[6 + i * 16];
    const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
    const int bits = Read16(entry + 6);
    const long score = (std::abs(width - wantWidth) + std::abs(height - wantHeight)) * 1000L - bits;
    if (best == count || score < bestScore) best = i, bestScore = score;
  }
  const unsigned char* entry = &file[6 + best * 16];
  const size_t size = Read32(entry + 8), offset = Read32(entry + 12);
  if (size == 0 || offset >= file.size() || size > file.size() - offset) return false;
  return DecodeImage(&file[offset], size, out);
}

const Icon* IconFromHandle(HICON handle) {
  IconStore& store = Store();
  std::lock_guard lock(store.mutex);
  const Icon* icon = reinterpret_cast<const Icon*>(handle);
  return store.live.count(icon) ? icon : nullptr;
}

}  // namespace glomp::win32

using namespace glomp::win32;

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT load) {
  if (name == nullptr || IS_INTRESOURCE(name) || type != IMAGE_ICON || !(load & LR_LOADFROMFILE)) {
    return nullptr;  // only icon files exist here: there are no resources in the program
  }
  const int width = cx ? cx : kDefaultIconSize, height = cy ? cy : kDefaultIconSize;
  // Shared icons are told apart by the file they came from, wherever the game runs.
  std::error_code ignored;
  const std::string key = std::filesystem::absolute(name, ignored).string() + "|" +
                          std::to_string(width) + "x" + std::to_string(height);
  if (load & LR_SHARED) {
    IconStore& store = Store();
    std::lock_guard lock(store.mutex);
    const auto it = store.shared.find(key);
    if (it != store.shared.end()) return it->second;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) return nullptr;
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  auto icon = std::make_unique<Icon>();
  if (!DecodeIcoFile(file, width, height, icon.get())) return nullptr;
  HICON handle = Keep(std::move(icon));
  if (load & LR_SHARED) {
    IconStore& store = Store();
    std::lock_guard lock(store.mutex);
    store.shared.emplace(key, handle);
  }
  return handle;
}

// Shared icons live as long as the process, as on Windows.
BOOL DestroyIcon(HICON handle) {
  IconStore& store = Store();
  std::lock_guard lock(store.mutex);
  const Icon* icon = reinterpret_cast<const Icon*>(handle);
  if (!store.live.count(icon)) return FALSE;
  for (const auto& [key, shared] : store.shared) {
    if (shared == handle) return TRUE;
  }
  store.live.erase(icon);
  delete icon;
  return TRUE;
}

// The system cursors and icons: SDL draws its own arrow, so a handle is all they need.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  if (instance != nullptr || !IS_INTRESOURCE(cursorName)) return nullptr;
  const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(cursorName));
  if (id < 32512 || id > 32650) return nullptr;
  return SystemHandle<HCURSOR>(id - 32512);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR iconName) {
  if (instance != nullptr || !IS_INTRESOURCE(iconName)) return nullptr;
  const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(iconName));
  if (id < 32512 || id > 32518) return nullptr;
  return SystemHandle<HICON>(id - 32512 + 32);
}

HGDIOBJ GetStockObject(int object) {
  if (object < WHITE_BRUSH || object > NULL_BRUSH) return nullptr;
  return SystemHandle<HGDIOBJ>(48 + object);
}

// There is one module, the program itself.
HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName != nullptr) return nullptr;
  return SystemHandle<HMODULE>(60);
}
