// Beyond Win32: whether a game window really covers the screen (a full-screen
// device makes it so). Tools and tests report it.
#pragma once
#include <windows.h>

namespace glomp::win32 {
// True while the window made by CreateWindowExA is shown full screen.
bool IsFullScreen(HWND window);
}  // namespace glomp::win32
