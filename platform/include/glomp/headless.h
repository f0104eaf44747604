// Headless running: the same Win32 calls, driven by a program instead of a person.
//
// When headless mode is on (Enable(), or GLOMP_HEADLESS=1 in the environment):
// - SDL uses its offscreen video driver; windows are never shown on a screen.
// - timeGetTime() reads a virtual clock that advances only by Sleep() and by the
//   work each frame is said to take (the work source; zero unless set). Sleep()
//   returns at once. A frame with no work therefore lasts exactly 16 virtual ms
//   and runs as fast as the CPU allows.
// - GetAsyncKeyState() reads keys set here, GetCursorPos() a cursor moved here.
// - MessageBoxA() shows nothing: it records the box and returns a queued answer.
// - Gamepads plugged into the machine are not read; a scripted pad stands in.
//
// GLOMP_HEADLESS_FRAMES=N in the environment ends a run started without a
// frame hook (the game itself, say through its launcher) at frame N: the desktop
// asks the game to quit and the quit question is answered Yes. Each message box
// of such a run is also written to the standard error stream.
//
// A frame is counted each time PeekMessageA() finds the queue empty: that is the
// moment the game's loop starts its next frame. Frame numbers start at 0.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "glomp/gamepad.h"
#include "glomp/wintypes.h"

namespace glomp::headless {

// Turns headless mode on. Call before the first window is created.
void Enable();
bool IsEnabled();
// Back to a fresh headless state: clock 0, keys up, cursor at (0, 0), no
// answers, no recorded boxes, no hooks, no script, frame counter before frame 0.
void Reset();

// ---- frames and clock -------------------------------------------------------
// Number of the frame running now; -1 before the first frame.
int CurrentFrame();
// Virtual milliseconds.
DWORD Now();
// Milliseconds of work the given frame takes. The work is charged after the
// frame's first timeGetTime() (the frame's start time), so a frame whose work
// takes 3 ms measures 3 ms between its first and any later reading.
using WorkSource = std::function<DWORD(int frame)>;
void SetWorkSource(WorkSource source);

// Called on the game's thread when the message queue is empty and frame `frame`
// is about to start, once per frame. It may post messages (PostMessageA); the
// frame then starts only after they have been handled, and until it starts
// CurrentFrame() (which message boxes count by) is still the frame before.
using FrameHook = std::function<void(int frame)>;
void SetFrameHook(FrameHook hook);
// Called with every message DispatchMessageA hands to a window procedure.
using DispatchObserver = std::function<void(HWND window, UINT message)>;
void SetDispatchObserver(DispatchObserver observer);

// Whether the device draws. Off, draws and clears do nothing and succeed, so a
// long scripted run can skip the picture of frames nobody looks at; the game
// runs exactly as it would. On after Reset().
void SetDrawing(bool on);
bool Drawing();

// ---- input ------------------------------------------------------------------
void SetKey(int virtualKey, bool down);
// Moves the cursor by (dx, dy) screen pixels.
void MoveMouse(int dx, int dy);
// The scripted pad: plugged in by its first button or axis, pulled out by UnplugPad.
void SetPadButton(gamepad::Button button, bool down);
void SetPadAxis(gamepad::Axis axis, int value);
void UnplugPad();

// ---- the desktop -------------------------------------------------------------
// The ways a person closes a game from the desktop: the window's close box,
// Alt+F4 where no window manager takes it, and the session's quit. Each is told
// to the window as SDL tells it, and reaches its procedure as WM_CLOSE.
enum class DesktopClose { CloseBox, AltF4, SessionQuit };
// False when the window is not one of ours.
bool CloseFromDesktop(HWND window, DesktopClose how);

// ---- message boxes ----------------------------------------------------------
enum class Answer { Yes, No };
// Answers the first box asked at or after `frame` (boxes asked before frame 0
// count as frame 0). Yes/No boxes get IDYES/IDNO, OK/Cancel boxes IDOK/IDCANCEL,
// OK boxes IDOK. A box with no answer waiting gets No, Cancel or OK.
void QueueAnswer(int frame, Answer answer);
void ClearAnswers();
struct AskedBox {
  int frame;            // frame it was asked in (0 for boxes before the first frame)
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  UINT type;            // MB_* flags as passed
  int result;           // the id returned
};
std::vector<AskedBox> AskedBoxes();

// ---- faults -----------------------------------------------------------------
// When false, windows created from then on get no OpenGL capability and no GL
// surface or context can be made at all (used to test the start-up error path).
void SetOpenGLAvailable(bool available);
bool OpenGLAvailable();

// ---- scripts ----------------------------------------------------------------
// Plain text, one event a line; blank lines and lines starting with '#' are skipped:
//   FRAME KEY name down|up   (name as VK_ without the prefix: ESCAPE, RETURN, SPACE,
//                             UP, F1 ...; letters and digits as themselves)
//   FRAME MOUSEX dx
//   FRAME ANSWER yes|no
//   FRAME PAD button NAME down|up   (names in glomp/gamepad.h: south, start, dpup ...)
//   FRAME PAD axis NAME VALUE       (leftx, lefty, rightx ...; -32768 to 32767)
//   FRAME PAD unplug
struct ScriptEvent {
  enum class Kind { Key, MouseX, Answer, PadButton, PadAxis, PadUnplug } kind;
  int frame;
  int value;  // virtual key, dx, 1 for yes / 0 for no, or the pad's button or axis
  bool down;  // keys and pad buttons
  int axisValue = 0;  // pad axes
};
struct Script {
  std::vector<ScriptEvent> events;
};
// Parses a script; on error returns false and says which line is wrong.
bool ParseScript(const std::string& text, Script* script, std::string* error);
bool LoadScript(const std::string& path, Script* script, std::string* error);
// Key and mouse events take effect at the start of their frame; answers are queued now.
void InstallScript(const Script& script);
// The virtual key of a script key name, or 0 when unknown.
int VirtualKeyFromName(const std::string& name);

}  // namespace glomp::headless

namespace glomp::headless {
// Writes 8-bit RGB pixels (rows top-down, `width * 3` bytes each) as a PNG file.
bool WritePngRgb(const std::string& path, int width, int height, const unsigned char* rgb);
}  // namespace glomp::headless
