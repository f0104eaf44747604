// Inside the platform layer only: what the Win32 stand-in and its headless
// backend share.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "glomp/gamepad.h"

namespace glomp::win32 {
// Starts SDL's video subsystem once; false when no video driver works.
bool EnsureVideo();
// Moves the cursor position GetCursorPos reports.
void MoveVirtualCursor(int dx, int dy);
// Shift-JIS (code page 932) bytes to UTF-8; undecodable bytes become U+FFFD.
std::string ShiftJisToUtf8(const char* text);

// Pointer capture (relative mouse mode) follows the window focus: the game may
// hold the pointer only while one of its windows has the focus.
void SetWindowFocused(bool focused);
// Whether the pointer is held: only for a hidden cursor over a focused game
// window with no message box open, and never in a headless run.
bool PointerCaptureWanted(bool headlessRun, bool windowFocused, bool messageBoxOpen,
                          int cursorDisplayCount);
// A message box needs the pointer; these release and re-take it around one.
void SuspendPointerCapture();
void ResumePointerCapture();

// The game controllers plugged in now, read as one pad; pads plugged in or
// pulled out since the last reading are opened or dropped first.
gamepad::State ReadConnectedPads();
int ConnectedPadCount();
// The right stick's turning, as whole pixels of cursor movement per reading.
class StickTurn {
 public:
  // A reading after a pause (a loading picture) turns as if no more than this
  // had passed since the one before.
  static constexpr DWORD kLongestStep = 50;
  // Pixels turned at `rate` (pixels a millisecond) since the last reading at
  // time `now`. While the pads may not act (`acting` false: the game is not in
  // front, a message box is open) nothing turns, and the first reading after
  // they may again turns nothing either: the time away is not made up for. The
  // part of a pixel left over is carried to the next reading.
  int Advance(bool acting, double rate, DWORD now);

 private:
  bool running_ = false;
  DWORD clock_ = 0;
  double remainder_ = 0.0;
};

// Icons made by LoadImageA: RGBA pixels, rows top-down.
struct Icon {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
};
// The icon behind a handle, or null when the handle is not one of ours.
const Icon* IconFromHandle(HICON icon);
// Decodes an ICO file image; false when the data is not a usable icon.
bool DecodeIcoFile(const std::vector<unsigned char>& file, int wantWidth, int wantHeight,
                   Icon* out);
}  // namespace glomp::win32

namespace glomp::headless::detail {
// Called by PeekMessageA when the queue is empty: runs the frame hook once per
// frame and, when it posted nothing, starts the next frame (applies the script's
// key and mouse events). Returns true when the frame started.
bool OnQueueEmpty();
void OnDispatch(HWND window, UINT message);
DWORD ReadClock();
void SleepFor(DWORD milliseconds);
bool KeyDown(int virtualKey);
// The scripted pad.
gamepad::State Pad();
// Records a box and returns its answer.
int AnswerBox(const std::string& text, const std::string& caption, UINT type);
}  // namespace glomp::headless::detail
