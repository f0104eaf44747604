// What the fuzz targets share: a scratch folder of their own to run in, writing
// an input where the game will look for it, a headless device made once, and
// silencing the loaders' echo on the standard streams.
#pragma once
#include <d3d9.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/GraphicsDevice.h"
#include "glomp/headless.h"
#include "support/headless_device.h"

namespace fuzzing {

// Makes a fresh folder for this process and runs in it.
inline std::filesystem::path EnterScratchFolder(const char* target) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("glomp_fuzz_" + std::string(target) + "_" +
                                   std::to_string(::getpid()));
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  fs::current_path(folder);
  static fs::path made;
  made = folder;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  });
  return folder;
}

// Writes the input as the file `path` (folders made as needed).
inline bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path file(path);
  if (file.has_parent_path()) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(data, 1, size, out) == size;
  return std::fclose(out) == 0 && written;
}

// A small headless device on this thread, also handed to the game as its
// graphics device. Made once per process; null when none can be made.
inline IDirect3DDevice9* SharedDevice() {
  static IDirect3DDevice9* device = [] {
    glomp::headless::Enable();
    ::setenv("SDL_VIDEODRIVER", "offscreen", 0);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    IDirect3DDevice9* made = glomp::test::CreateHeadlessDevice(d3d, 64, 64);
    CGraphicsDevice::GetInstance().device = made;
    return made;
  }();
  return device;
}

// The stage loader echoes every column: thrown away while fuzzing.
// (libFuzzer itself writes through stdio, which stays as it is.)
inline void SilenceStandardStreams() {
  static std::ofstream nowhere("/dev/null");
  std::cout.rdbuf(nowhere.rdbuf());
  std::cerr.rdbuf(nowhere.rdbuf());
}

}  // namespace fuzzing
