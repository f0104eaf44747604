// Inside the platform layer only: the SDL window behind a window handle, so
// that the graphics device can make its GL context on the game's window.
#pragma once
#include <windows.h>

struct SDL_Window;

namespace glomp::win32 {
// The SDL window of a handle made by CreateWindowExA; null for anything else.
SDL_Window* SdlWindowOf(HWND window);
}  // namespace glomp::win32
