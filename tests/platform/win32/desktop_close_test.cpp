// Closing the game from the desktop: the close box, Alt+F4 and the session's
// quit all reach the window procedure as WM_CLOSE and close nothing by
// themselves; other keys and a held Alt+F4 do not ask again.
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "../../../platform/win32/sdl_window.h"
#include "glomp/headless.h"

namespace {

using glomp::headless::DesktopClose;

std::vector<UINT> g_closes;

// Like the game's procedure: WM_CLOSE is heard, and the window stays.
LRESULT CALLBACK KeepOpen(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    g_closes.push_back(message);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class DesktopCloseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
    g_closes.clear();
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = KeepOpen;
    c.lpszClassName = "CloseTestWindow";
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "CloseTestWindow", "glomp!", WS_CAPTION | WS_SYSMENU, 0, 0, 320,
                             240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    UnregisterClassA("CloseTestWindow", nullptr);
    Pump();
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  void PushKey(SDL_Keycode key, Uint16 mod, Uint8 repeat) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(glomp::win32::SdlWindowOf(window));
    event.key.state = SDL_PRESSED;
    event.key.repeat = repeat;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  HWND window = nullptr;
};

TEST_F(DesktopCloseTest, EveryWayToCloseFromTheDesktopIsOneCloseRequest) {
  for (DesktopClose how :
       {DesktopClose::CloseBox, DesktopClose::AltF4, DesktopClose::SessionQuit}) {
    g_closes.clear();
    ASSERT_TRUE(glomp::headless::CloseFromDesktop(window, how));
    Pump();
    EXPECT_EQ(g_closes.size(), 1u) << static_cast<int>(how);
    EXPECT_TRUE(IsWindow(window)) << "the game decides: " << static_cast<int>(how);
  }
  EXPECT_FALSE(glomp::headless::CloseFromDesktop(nullptr, DesktopClose::CloseBox));
}

TEST_F(DesktopCloseTest, OnlyAFreshAltF4AsksToClose) {
  PushKey(SDLK_F4, KMOD_NONE, 0);
  PushKey(SDLK_F4, KMOD_LCTRL, 0);
  PushKey(SDLK_a, KMOD_LALT, 0);
  PushKey(SDLK_F4, KMOD_RALT, 1);  // held down: the first press already asked
  Pump();
  EXPECT_TRUE(g_closes.empty());
  PushKey(SDLK_F4, KMOD_RALT, 0);
  Pump();
  EXPECT_EQ(g_closes.size(), 1u);
}

}  // namespace
