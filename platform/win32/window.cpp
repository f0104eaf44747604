// Window classes, windows and the message queue over SDL2.
//
// A window handle points at a Window record; its rectangle (in screen
// coordinates, frame included) is ours, and the SDL window is its client area.
// The frame has fixed sizes, as Windows' classic metrics: a 3-pixel border
// (8 with a sizing border) and a 23-pixel caption.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "glomp/fullscreen.h"
#include "glomp/headless.h"
#include "win32/internal.h"
#include "win32/sdl_window.h"

namespace glomp::win32 {
namespace {

constexpr int kCaptionHeight = 23;
constexpr int kThinBorder = 3;
constexpr int kSizingBorder = 8;

struct WindowClass {
  WNDCLASSEXA info{};
  std::string name;
};

struct Window {
  std::string title;  // as given (ANSI bytes)
  DWORD style = 0;
  const WindowClass* windowClass = nullptr;
  WNDPROC procedure = nullptr;
  RECT rect{};  // screen coordinates, frame included
  SDL_Window* sdl = nullptr;
  bool visible = false;
};

struct Insets {
  int left, top, right, bottom;
};

struct Registry {
  std::recursive_mutex mutex;
  std::vector<std::unique_ptr<WindowClass>> classes;
  std::vector<std::unique_ptr<Window>> windows;
  std::deque<MSG> queue;
};

Registry& R() {
  static Registry registry;
  return registry;
}

Window* Find(HWND handle) {
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto& window : r.windows) {
    if (reinterpret_cast<HWND>(window.get()) == handle) return window.get();
  }
  return nullptr;
}

Window* FindSdl(Uint32 sdlId) {
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto& window : r.windows) {
    if (window->sdl && SDL_GetWindowID(window->sdl) == sdlId) return window.get();
  }
  return nullptr;
}

HWND Handle(Window* window) { return reinterpret_cast<HWND>(window); }

Insets FrameOf(DWORD style) {
  const bool caption = (style & WS_CAPTION) == WS_CAPTION;
  int border = 0;
  if (style & WS_THICKFRAME) {
    border = kSizingBorder;
  } else if (style & (WS_BORDER | WS_DLGFRAME)) {
    border = kThinBorder;
  }
  return {border, border + (caption ? kCaptionHeight : 0), border, border};
}

int ClientWidth(const Window& w) {
  const Insets f = FrameOf(w.style);
  return std::max<int>(0, w.rect.right - w.rect.left - f.left - f.right);
}

int ClientHeight(const Window& w) {
  const Insets f = FrameOf(w.style);
  return std::max<int>(0, w.rect.bottom - w.rect.top - f.top - f.bottom);
}

POINT ClientOrigin(const Window& w) {
  const Insets f = FrameOf(w.style);
  return {w.rect.left + f.left, w.rect.top + f.top};
}

void SetIconOf(Window& window) {
  const Icon* icon = IconFromHandle(window.windowClass->info.hIcon);
  if (icon == nullptr) icon = IconFromHandle(window.windowClass->info.hIconSm);
  if (icon == nullptr || window.sdl == nullptr) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<unsigned char*>(icon->rgba.data()), icon->width, icon->height, 32,
      icon->width * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window.sdl, surface);
  SDL_FreeSurface(surface);
}

LRESULT Send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr || window->procedure == nullptr) return 0;
  return window->procedure(Handle(window), message, wParam, lParam);
}

void SendSize(Window* window) {
  Send(window, WM_SIZE, SIZE_RESTORED,
       MAKELONG(ClientWidth(*window), ClientHeight(*window)));
}

// Moves and sizes a window; the procedure hears WM_MOVE and WM_SIZE for what changed.
void Reposition(Window* window, const RECT& rect) {
  const RECT old = window->rect;
  const int oldWidth = ClientWidth(*window), oldHeight = ClientHeight(*window);
  window->rect = rect;
  const int width = ClientWidth(*window), height = ClientHeight(*window);
  if (window->sdl) {
    const POINT origin = ClientOrigin(*window);
    SDL_SetWindowPosition(window->sdl, origin.x, origin.y);
    SDL_SetWindowSize(window->sdl, std::max(width, 1), std::max(height, 1));
  }
  if (old.left != rect.left || old.top != rect.top) {
    const POINT origin = ClientOrigin(*window);
    Send(window, WM_MOVE, 0, MAKELONG(origin.x, origin.y));
  }
  if (oldWidth != width || oldHeight != height) SendSize(window);
}

void Enqueue(const MSG& message) {
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  r.queue.push_back(message);
}

bool IsCloseShortcut(const SDL_KeyboardEvent& key) {
  return key.keysym.sym == SDLK_F4 && (key.keysym.mod & KMOD_ALT) != 0 && key.repeat == 0;
}

// Turns what SDL has seen into window messages. Every way to close the game
// from the desktop (the close box, Alt+F4, the session's quit) becomes WM_CLOSE,
// which the game answers with its quit question.
void PumpSdlEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) {
      // The session is ending: ask the first window to close.
      Registry& r = R();
      std::lock_guard lock(r.mutex);
      if (!r.windows.empty()) Enqueue({Handle(r.windows.front().get()), WM_CLOSE, 0, 0, 0, {}});
      continue;
    }
    if (event.type == SDL_KEYDOWN) {
      // Alt+F4 reaches the game only where no window manager took it for itself.
      if (IsCloseShortcut(event.key)) {
        if (Window* window = FindSdl(event.key.windowID)) {
          Enqueue({Handle(window), WM_CLOSE, 0, 0, 0, {}});
        }
      }
      continue;
    }
    if (event.type != SDL_WINDOWEVENT) continue;
    Window* window = FindSdl(event.window.windowID);
    if (window == nullptr) continue;
    switch (event.window.event) {
      case SDL_WINDOWEVENT_CLOSE:
        Enqueue({Handle(window), WM_CLOSE, 0, 0, 0, {}});
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        SetWindowFocused(true);
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        SetWindowFocused(false);
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED: {
        // Resized from outside (the window manager, full screen).
        const int width = event.window.data1, height = event.window.data2;
        if (width != ClientWidth(*window) || height != ClientHeight(*window)) {
          const Insets f = FrameOf(window->style);
          window->rect.right = window->rect.left + f.left + width + f.right;
          window->rect.bottom = window->rect.top + f.top + height + f.bottom;
          SendSize(window);
        }
        break;
      }
      default:
        break;
    }
  }
}

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && message.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return message.message >= filterMin && message.message <= filterMax;
}

bool TakeQueued(LPMSG out, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto it = r.queue.begin(); it != r.queue.end(); ++it) {
    if (!Matches(*it, window, filterMin, filterMax)) continue;
    if (out) *out = *it;
    if (remove & PM_REMOVE) r.queue.erase(it);
    return true;
  }
  return false;
}

// Without OpenGL (a fault a test asks for), no GL surface or context can be made
// in this process: the attributes below match no configuration, and the game's
// window is made without GL.
void ApplyOpenGLAvailability() {
  static bool poisoned = false;
  const bool available = headless::OpenGLAvailable();
  if (!available && !poisoned) {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 64);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 64);
    poisoned = true;
  } else if (available && poisoned) {
    SDL_GL_ResetAttributes();
    poisoned = false;
  }
}

}  // namespace

bool EnsureVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (headless::IsEnabled()) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // Closing the last window is the game's decision (WM_CLOSE), not SDL's.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Ctrl+C and kill end the process as usual: turned into a close request they
  // would meet a quit question that cannot be shown without a display.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

SDL_Window* SdlWindowOf(HWND handle) {
  Window* window = Find(handle);
  return window ? window->sdl : nullptr;
}

bool IsFullScreen(HWND handle) {
  SDL_Window* sdl = SdlWindowOf(handle);
  return sdl != nullptr && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) != 0;
}

}  // namespace glomp::win32

using namespace glomp::win32;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
      windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
      IS_INTRESOURCE(windowClass->lpszClassName)) {
    return 0;
  }
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto& existing : r.classes) {
    if (strcasecmp(existing->name.c_str(), windowClass->lpszClassName) == 0) return 0;
  }
  auto added = std::make_unique<WindowClass>();
  added->info = *windowClass;
  added->name = windowClass->lpszClassName;
  added->info.lpszClassName = added->name.c_str();
  added->info.lpszMenuName = nullptr;
  r.classes.push_back(std::move(added));
  return static_cast<ATOM>(0xC000 + r.classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (className == nullptr || IS_INTRESOURCE(className)) return FALSE;
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto it = r.classes.begin(); it != r.classes.end(); ++it) {
    if (strcasecmp((*it)->name.c_str(), className) != 0) continue;
    for (auto& window : r.windows) {
      if (window->windowClass == it->get()) return FALSE;  // still in use
    }
    r.classes.erase(it);
    return TRUE;
  }
  return FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  if (className == nullptr || IS_INTRESOURCE(className)) return nullptr;
  const WindowClass* windowClass = nullptr;
  {
    Registry& r = R();
    std::lock_guard lock(r.mutex);
    for (auto& c : r.classes) {
      if (strcasecmp(c->name.c_str(), className) == 0) windowClass = c.get();
    }
  }
  if (windowClass == nullptr || !EnsureVideo()) return nullptr;
  ApplyOpenGLAvailability();

  auto window = std::make_unique<Window>();
  window->title = windowName ? windowName : "";
  window->style = style;
  window->windowClass = windowClass;
  window->procedure = windowClass->info.lpfnWndProc;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = 640, height = 480;
  window->rect = {x, y, x + width, y + height};

  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (glomp::headless::OpenGLAvailable()) flags |= SDL_WINDOW_OPENGL;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  const POINT origin = ClientOrigin(*window);
  window->sdl = SDL_CreateWindow(ShiftJisToUtf8(window->title.c_str()).c_str(), origin.x,
                                 origin.y, std::max(ClientWidth(*window), 1),
                                 std::max(ClientHeight(*window), 1), flags);
  if (window->sdl == nullptr) return nullptr;
  SetIconOf(*window);

  Window* created = window.get();
  {
    Registry& r = R();
    std::lock_guard lock(r.mutex);
    r.windows.push_back(std::move(window));
  }
  if (Send(created, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(Handle(created));
    return nullptr;
  }
  SendSize(created);
  Send(created, WM_MOVE, 0, MAKELONG(origin.x, origin.y));
  if (style & WS_VISIBLE) ShowWindow(Handle(created), SW_SHOW);
  return Handle(created);
}

BOOL DestroyWindow(HWND handle) {
  Window* window = Find(handle);
  if (window == nullptr) return FALSE;
  Send(window, WM_DESTROY, 0, 0);
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.queue, [handle](const MSG& m) { return m.hwnd == handle; });
  for (auto it = r.windows.begin(); it != r.windows.end(); ++it) {
    if (it->get() != window) continue;
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    r.windows.erase(it);
    break;
  }
  if (r.windows.empty()) SetWindowFocused(false);
  return TRUE;
}

BOOL IsWindow(HWND handle) { return Find(handle) != nullptr; }

// Window procedures send what they do not handle here.
LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(handle);
  return 0;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(Find(handle), message, wParam, lParam);
}

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (handle != nullptr && Find(handle) == nullptr) return FALSE;
  Enqueue({handle, message, wParam, lParam, 0, {}});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Enqueue({nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, 0, {}});
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  PumpSdlEvents();
  if (TakeQueued(msg, window, filterMin, filterMax, remove)) return TRUE;
  // An empty queue is where the game's loop runs its next frame.
  if (glomp::headless::IsEnabled() && window == nullptr && (remove & PM_REMOVE)) {
    if (!glomp::headless::detail::OnQueueEmpty()) {
      return TakeQueued(msg, window, filterMin, filterMax, remove) ? TRUE : FALSE;
    }
  }
  return FALSE;
}

// Keyboard messages carry no characters the game reads, so there is nothing to translate.
BOOL TranslateMessage(const MSG* msg) { return msg != nullptr && msg->message == WM_KEYDOWN; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  Window* window = Find(msg->hwnd);
  if (window == nullptr) return 0;
  if (glomp::headless::IsEnabled()) glomp::headless::detail::OnDispatch(msg->hwnd, msg->message);
  return Send(window, msg->message, msg->wParam, msg->lParam);
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
  if (rect == nullptr) return FALSE;
  const Insets f = FrameOf(style);
  rect->left -= f.left;
  rect->top -= f.top + (menu ? 20 : 0);
  rect->right += f.right;
  rect->bottom += f.bottom;
  return TRUE;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
  Window* window = Find(handle);
  if (window == nullptr || rect == nullptr) return FALSE;
  *rect = window->rect;
  return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
  Window* window = Find(handle);
  if (window == nullptr || rect == nullptr) return FALSE;
  *rect = {0, 0, ClientWidth(*window), ClientHeight(*window)};
  return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(handle, HWND_TOP, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND handle, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* window = Find(handle);
  if (window == nullptr) return FALSE;
  RECT rect = window->rect;
  if (!(flags & SWP_NOMOVE)) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    rect = {x, y, x + width, y + height};
  }
  if (!(flags & SWP_NOSIZE)) {
    rect.right = rect.left + std::max(cx, 0);
    rect.bottom = rect.top + std::max(cy, 0);
  }
  Reposition(window, rect);
  if (flags & SWP_SHOWWINDOW) ShowWindow(handle, SW_SHOW);
  return TRUE;
}

BOOL ShowWindow(HWND handle, int command) {
  Window* window = Find(handle);
  if (window == nullptr) return FALSE;
  const BOOL wasVisible = window->visible ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      SDL_HideWindow(window->sdl);
      window->visible = false;
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      SDL_ShowWindow(window->sdl);
      SDL_MinimizeWindow(window->sdl);
      window->visible = true;
      break;
    default:
      SDL_ShowWindow(window->sdl);
      window->visible = true;
      break;
  }
  return wasVisible;
}

// Nothing is ever left invalid: the game redraws its whole client area every frame.
BOOL UpdateWindow(HWND handle) { return Find(handle) != nullptr ? TRUE : FALSE; }

int GetWindowTextA(HWND handle, LPSTR text, int maxCount) {
  Window* window = Find(handle);
  if (window == nullptr || text == nullptr || maxCount <= 0) return 0;
  const int count = std::min<int>(static_cast<int>(window->title.size()), maxCount - 1);
  std::memcpy(text, window->title.data(), count);
  text[count] = '\0';
  return count;
}

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
  Window* window = Find(handle);
  if (window == nullptr) return FALSE;
  window->title = text ? text : "";
  SDL_SetWindowTitle(window->sdl, ShiftJisToUtf8(window->title.c_str()).c_str());
  return TRUE;
}

HWND GetForegroundWindow() {
  Registry& r = R();
  std::lock_guard lock(r.mutex);
  for (auto& window : r.windows) {
    if (window->sdl && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_INPUT_FOCUS)) {
      return Handle(window.get());
    }
  }
  return nullptr;
}

ULONG_PTR GetClassLongPtrA(HWND handle, int index) {
  Window* window = Find(handle);
  if (window == nullptr) return 0;
  switch (index) {
    case GCLP_HICON:
      return reinterpret_cast<ULONG_PTR>(window->windowClass->info.hIcon);
    case GCLP_HICONSM:
      return reinterpret_cast<ULONG_PTR>(window->windowClass->info.hIconSm);
    case GCLP_HCURSOR:
      return reinterpret_cast<ULONG_PTR>(window->windowClass->info.hCursor);
    case GCLP_HBRBACKGROUND:
      return reinterpret_cast<ULONG_PTR>(window->windowClass->info.hbrBackground);
    case GCLP_WNDPROC:
      return reinterpret_cast<ULONG_PTR>(window->windowClass->info.lpfnWndProc);
    default:
      return 0;
  }
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
  Window* window = Find(handle);
  if (window == nullptr || point == nullptr) return FALSE;
  const POINT origin = ClientOrigin(*window);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
  Window* window = Find(handle);
  if (window == nullptr || point == nullptr) return FALSE;
  const POINT origin = ClientOrigin(*window);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}
