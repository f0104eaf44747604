#include "win32/sdl_window.h"

namespace glomp::win32 {
// Placeholder until the window code lands: no handle has an SDL window yet, so
// the graphics device makes its own hidden one.
SDL_Window* SdlWindowOf(HWND) { return nullptr; }
}  // namespace glomp::win32
