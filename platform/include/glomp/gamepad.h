// A gamepad plays the game through the keyboard and mouse the game already
// polls: GetAsyncKeyState reports a key as down while a pad holds it, and the
// right stick moves the cursor GetCursorPos reports, like the mouse.
//
//   left stick or d-pad  W A S D (forward, back, step left, step right)
//   d-pad up / down      also the Up / Down arrows (the title's colour)
//   right stick, x       the mouse's horizontal movement (turning)
//   south (A, cross)     Space
//   start                Enter
//   back (select)        Escape
//
// Buttons and axes are named by position as in SDL's game-controller mapping
// database, which covers the common pads; their order is SDL's.
#pragma once
#include <array>
#include <string>

namespace glomp::gamepad {

enum class Button {
  South, East, West, North, Back, Guide, Start, LeftStick, RightStick,
  LeftShoulder, RightShoulder, DpadUp, DpadDown, DpadLeft, DpadRight, Count
};
enum class Axis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger, Count };

// Stick axes run from -32768 to 32767; y is positive downwards (pulled back).
constexpr int kAxisMax = 32767;
// A stick pushed less than this far (about a quarter) counts as centred.
constexpr int kDeadZone = 8000;
// The right stick pushed all the way turns like the mouse moved 3.75 pixels a
// millisecond: 60 pixels in a 16 ms frame, which the player turns as 3 degrees
// (half a turn in a second). Between the dead zone and the end it scales linearly.
constexpr double kTurnPixelsPerMillisecond = 3.75;

// What the connected pads hold now; several pads read as one.
struct State {
  bool connected = false;
  std::array<bool, static_cast<int>(Button::Count)> buttons{};
  std::array<int, static_cast<int>(Axis::Count)> axes{};

  bool Held(Button b) const { return buttons[static_cast<int>(b)]; }
  int Value(Axis a) const { return axes[static_cast<int>(a)]; }
};

// Whether the pad holds the key of a virtual-key code (only the keys above).
bool HoldsKey(const State& pad, int virtualKey);
// Signed horizontal cursor speed from the right stick, pixels a millisecond.
double TurnRate(const State& pad);
// Two pads held at once: any button held by either, each axis the one pushed further.
State Combine(const State& a, const State& b);

// Script names: south east west north back guide start leftstick rightstick
// leftshoulder rightshoulder dpup dpdown dpleft dpright; leftx lefty rightx
// righty lefttrigger righttrigger. False for any other name.
bool ButtonFromName(const std::string& name, Button* out);
bool AxisFromName(const std::string& name, Axis* out);

}  // namespace glomp::gamepad
