// Feeds arbitrary bytes to the icon loader as the window class gets its icons:
// LoadImageA from a file at the default size and at a few others. A usable icon
// holds exactly its width times height pixels; anything else gives no handle.
#include <windows.h>

#include <cstdlib>

#include "fuzz_support.h"
#include "win32/internal.h"

namespace {
constexpr char kInput[] = "ICON.ico";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::EnterScratchFolder("icon");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzzing::WriteInput(kInput, data, size)) return 0;
  for (int side : {0, 16, 48}) {
    HANDLE handle = LoadImageA(nullptr, kInput, IMAGE_ICON, side, side, LR_LOADFROMFILE);
    if (!handle) continue;
    HICON icon = static_cast<HICON>(handle);
    const glomp::win32::Icon* decoded = glomp::win32::IconFromHandle(icon);
    if (!decoded || decoded->width <= 0 || decoded->height <= 0 ||
        decoded->rgba.size() != std::size_t(decoded->width) * decoded->height * 4) {
      std::abort();
    }
    if (!DestroyIcon(icon)) std::abort();
  }
  return 0;
}
