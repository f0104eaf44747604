// GetAsyncKeyState and the cursor over SDL2.
//
// The cursor is virtual: GetCursorPos reports a position that SetCursorPos sets
// and mouse movement shifts. Movement is read in SDL's relative mouse mode,
// which holds the pointer — so it is switched on only while the cursor is hidden
// and one of our windows has the focus; switching to another program lets the
// pointer go, and coming back takes it again.
//
// Gamepads (gamepad.cpp) hold keys and move the cursor too; a pad held while
// the game is not in front does nothing.
#include <SDL.h>

#include <algorithm>
#include <mutex>

#include <windows.h>

#include "glomp/headless.h"
#include "win32/internal.h"

namespace glomp::win32 {
namespace {

struct CursorState {
  std::mutex mutex;
  POINT position{};
  int displayCount = 0;  // the cursor shows while this is 0 or more
  bool windowFocused = false;
  bool suspended = false;  // a message box is open
  bool captured = false;
  StickTurn stickTurn;
};

CursorState& C() {
  static CursorState state;
  return state;
}

// Called with the lock held.
void ApplyCapture(CursorState& c) {
  const bool want = PointerCaptureWanted(headless::IsEnabled(), c.windowFocused, c.suspended,
                                         c.displayCount) &&
                    SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (want == c.captured) return;
  if (SDL_SetRelativeMouseMode(want ? SDL_TRUE : SDL_FALSE) != 0 && want) return;
  c.captured = want;
  // Movement made while the pointer was free is not the game's.
  SDL_GetRelativeMouseState(nullptr, nullptr);
}

SDL_Scancode ScancodeOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - 'A'));
  if (vk >= '1' && vk <= '9') return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - '1'));
  if (vk == '0') return SDL_SCANCODE_0;
  if (vk >= VK_F1 && vk <= VK_F12) {
    return static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1));
  }
  switch (vk) {
    case VK_BACK: return SDL_SCANCODE_BACKSPACE;
    case VK_TAB: return SDL_SCANCODE_TAB;
    case VK_RETURN: return SDL_SCANCODE_RETURN;
    case VK_PAUSE: return SDL_SCANCODE_PAUSE;
    case VK_ESCAPE: return SDL_SCANCODE_ESCAPE;
    case VK_SPACE: return SDL_SCANCODE_SPACE;
    case VK_PRIOR: return SDL_SCANCODE_PAGEUP;
    case VK_NEXT: return SDL_SCANCODE_PAGEDOWN;
    case VK_END: return SDL_SCANCODE_END;
    case VK_HOME: return SDL_SCANCODE_HOME;
    case VK_LEFT: return SDL_SCANCODE_LEFT;
    case VK_UP: return SDL_SCANCODE_UP;
    case VK_RIGHT: return SDL_SCANCODE_RIGHT;
    case VK_DOWN: return SDL_SCANCODE_DOWN;
    case VK_INSERT: return SDL_SCANCODE_INSERT;
    case VK_DELETE: return SDL_SCANCODE_DELETE;
    case VK_LSHIFT: return SDL_SCANCODE_LSHIFT;
    case VK_RSHIFT: return SDL_SCANCODE_RSHIFT;
    case VK_LCONTROL: return SDL_SCANCODE_LCTRL;
    case VK_RCONTROL: return SDL_SCANCODE_RCTRL;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

bool RealKeyDown(int vk) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  auto down = [&](SDL_Scancode code) {
    return code != SDL_SCANCODE_UNKNOWN && code < count && keys[code] != 0;
  };
  switch (vk) {
    case VK_SHIFT: return down(SDL_SCANCODE_LSHIFT) || down(SDL_SCANCODE_RSHIFT);
    case VK_CONTROL: return down(SDL_SCANCODE_LCTRL) || down(SDL_SCANCODE_RCTRL);
    case VK_MENU: return down(SDL_SCANCODE_LALT) || down(SDL_SCANCODE_RALT);
    case VK_LBUTTON: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
    case VK_RBUTTON: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_RMASK) != 0;
    default: return down(ScancodeOf(vk));
  }
}

// The pad a reading sees: the scripted one when headless, the plugged-in ones otherwise.
gamepad::State PadNow(bool headlessRun) {
  return headlessRun ? headless::detail::Pad() : ReadConnectedPads();
}

// Whether the pads may act now: a person plays only the game in front, and a
// message box takes its answer from the keyboard and mouse.
bool PadsAct(const CursorState& c, bool headlessRun) {
  return headlessRun || (c.windowFocused && !c.suspended);
}

}  // namespace

int StickTurn::Advance(bool acting, double rate, DWORD now) {
  if (!acting || !running_) {
    running_ = acting;
    clock_ = now;
    remainder_ = 0.0;
    return 0;
  }
  const DWORD elapsed = std::min<DWORD>(now - clock_, kLongestStep);
  clock_ = now;
  remainder_ += rate * elapsed;
  const int whole = static_cast<int>(remainder_);  // towards zero, either way
  remainder_ -= whole;
  return whole;
}

bool PointerCaptureWanted(bool headlessRun, bool windowFocused, bool messageBoxOpen,
                          int cursorDisplayCount) {
  return !headlessRun && windowFocused && !messageBoxOpen && cursorDisplayCount < 0;
}

void MoveVirtualCursor(int dx, int dy) {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  c.position.x += dx;
  c.position.y += dy;
}

void SetWindowFocused(bool focused) {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  c.windowFocused = focused;
  ApplyCapture(c);
}

void SuspendPointerCapture() {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  c.suspended = true;
  ApplyCapture(c);
}

void ResumePointerCapture() {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  c.suspended = false;
  ApplyCapture(c);
}

}  // namespace glomp::win32

using namespace glomp::win32;

SHORT GetAsyncKeyState(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 0xFF) return 0;
  const bool headlessRun = glomp::headless::IsEnabled();
  bool down = headlessRun ? glomp::headless::detail::KeyDown(virtualKey) : RealKeyDown(virtualKey);
  if (!down && glomp::gamepad::HoldsKey(PadNow(headlessRun), virtualKey)) {
    CursorState& c = C();
    std::lock_guard lock(c.mutex);
    down = PadsAct(c, headlessRun);
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL GetCursorPos(LPPOINT point) {
  if (point == nullptr) return FALSE;
  const bool headlessRun = glomp::headless::IsEnabled();
  const glomp::gamepad::State pad = PadNow(headlessRun);
  const DWORD now = headlessRun ? glomp::headless::Now() : SDL_GetTicks();
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  if (c.captured) {
    int dx = 0, dy = 0;
    SDL_GetRelativeMouseState(&dx, &dy);
    c.position.x += dx;
    c.position.y += dy;
  }
  c.position.x += c.stickTurn.Advance(PadsAct(c, headlessRun), glomp::gamepad::TurnRate(pad), now);
  *point = c.position;
  return TRUE;
}

// Only the reported position moves: the pointer itself is never warped, so a
// game that is not in front cannot drag it away from other programs.
BOOL SetCursorPos(int x, int y) {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  if (c.captured) SDL_GetRelativeMouseState(nullptr, nullptr);
  c.position = {x, y};
  return TRUE;
}

int ShowCursor(BOOL show) {
  CursorState& c = C();
  std::lock_guard lock(c.mutex);
  c.displayCount += show ? 1 : -1;
  ApplyCapture(c);
  return c.displayCount;
}
