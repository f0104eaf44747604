// Gamepads over SDL2's game-controller interface, read as the keys and mouse
// movement they stand for (glomp/gamepad.h).
//
// Pads are found by polling, not by device events: every reading first closes
// the pads that were pulled out and opens the ones plugged in since, so a pad
// may come and go at any moment while the game runs.
#include "glomp/gamepad.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include <windows.h>

#include "win32/internal.h"

namespace glomp::gamepad {
namespace {

static_assert(static_cast<int>(Button::Count) == 15 &&
              static_cast<int>(Button::DpadRight) == SDL_CONTROLLER_BUTTON_DPAD_RIGHT &&
              static_cast<int>(Button::South) == SDL_CONTROLLER_BUTTON_A &&
              static_cast<int>(Button::Start) == SDL_CONTROLLER_BUTTON_START);
static_assert(static_cast<int>(Axis::Count) == SDL_CONTROLLER_AXIS_MAX &&
              static_cast<int>(Axis::RightX) == SDL_CONTROLLER_AXIS_RIGHTX);

constexpr const char* kButtonNames[] = {
    "south",     "east",       "west",         "north",         "back",
    "guide",     "start",      "leftstick",    "rightstick",    "leftshoulder",
    "rightshoulder", "dpup",   "dpdown",       "dpleft",        "dpright"};
constexpr const char* kAxisNames[] = {"leftx", "lefty", "rightx", "righty", "lefttrigger",
                                      "righttrigger"};

bool Pushed(int value, int direction) { return value * direction > kDeadZone; }

}  // namespace

bool HoldsKey(const State& pad, int virtualKey) {
  if (!pad.connected) return false;
  const int x = pad.Value(Axis::LeftX), y = pad.Value(Axis::LeftY);
  switch (virtualKey) {
    case 'W': return Pushed(y, -1) || pad.Held(Button::DpadUp);
    case 'S': return Pushed(y, +1) || pad.Held(Button::DpadDown);
    case 'A': return Pushed(x, -1) || pad.Held(Button::DpadLeft);
    case 'D': return Pushed(x, +1) || pad.Held(Button::DpadRight);
    case VK_UP: return pad.Held(Button::DpadUp);
    case VK_DOWN: return pad.Held(Button::DpadDown);
    case VK_SPACE: return pad.Held(Button::South);
    case VK_RETURN: return pad.Held(Button::Start);
    case VK_ESCAPE: return pad.Held(Button::Back);
    default: return false;
  }
}

double TurnRate(const State& pad) {
  if (!pad.connected) return 0.0;
  const int x = std::clamp(pad.Value(Axis::RightX), -kAxisMax, kAxisMax);
  const int beyond = std::abs(x) - kDeadZone;
  if (beyond <= 0) return 0.0;
  const double share = static_cast<double>(beyond) / (kAxisMax - kDeadZone);
  return (x < 0 ? -share : share) * kTurnPixelsPerMillisecond;
}

State Combine(const State& a, const State& b) {
  if (!a.connected) return b;
  if (!b.connected) return a;
  State both = a;
  for (size_t i = 0; i < both.buttons.size(); ++i) both.buttons[i] = a.buttons[i] || b.buttons[i];
  for (size_t i = 0; i < both.axes.size(); ++i) {
    if (std::abs(b.axes[i]) > std::abs(a.axes[i])) both.axes[i] = b.axes[i];
  }
  return both;
}

bool ButtonFromName(const std::string& name, Button* out) {
  for (int i = 0; i < static_cast<int>(Button::Count); ++i) {
    if (name == kButtonNames[i]) {
      *out = static_cast<Button>(i);
      return true;
    }
  }
  return false;
}

bool AxisFromName(const std::string& name, Axis* out) {
  for (int i = 0; i < static_cast<int>(Axis::Count); ++i) {
    if (name == kAxisNames[i]) {
      *out = static_cast<Axis>(i);
      return true;
    }
  }
  return false;
}

}  // namespace glomp::gamepad

namespace glomp::win32 {
namespace {

struct OpenPads {
  std::mutex mutex;
  bool started = false;
  bool unavailable = false;  // the game-controller subsystem would not start
  std::vector<SDL_GameController*> pads;
  std::set<SDL_JoystickID> refused;  // devices that are no pad or would not open
};

OpenPads& P() {
  static OpenPads pads;
  return pads;
}

bool Start(OpenPads& p) {
  if (!p.started && !p.unavailable) {
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
      p.started = true;
    } else {
      p.unavailable = true;
    }
  }
  return p.started;
}

SDL_JoystickID IdOf(SDL_GameController* pad) {
  return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
}

// Drops the pads pulled out, opens the ones plugged in.
void FollowPlugs(OpenPads& p) {
  std::erase_if(p.pads, [](SDL_GameController* pad) {
    if (SDL_GameControllerGetAttached(pad)) return false;
    SDL_GameControllerClose(pad);
    return true;
  });
  const int count = SDL_NumJoysticks();
  for (int index = 0; index < count; ++index) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    if (id < 0 || p.refused.count(id)) continue;
    const bool known = std::any_of(p.pads.begin(), p.pads.end(),
                                   [id](SDL_GameController* pad) { return IdOf(pad) == id; });
    if (known) continue;
    // A joystick with no mapping (a flight stick, say) is not a pad: left alone.
    if (!SDL_IsGameController(index)) {
      p.refused.insert(id);
      continue;
    }
    if (SDL_GameController* opened = SDL_GameControllerOpen(index)) {
      p.pads.push_back(opened);
    } else {
      p.refused.insert(id);
    }
  }
}

gamepad::State Read(SDL_GameController* pad) {
  gamepad::State state;
  state.connected = true;
  for (int b = 0; b < static_cast<int>(gamepad::Button::Count); ++b) {
    state.buttons[b] =
        SDL_GameControllerGetButton(pad, static_cast<SDL_GameControllerButton>(b)) != 0;
  }
  for (int a = 0; a < static_cast<int>(gamepad::Axis::Count); ++a) {
    state.axes[a] = SDL_GameControllerGetAxis(pad, static_cast<SDL_GameControllerAxis>(a));
  }
  return state;
}

}  // namespace

gamepad::State ReadConnectedPads() {
  OpenPads& p = P();
  std::lock_guard lock(p.mutex);
  if (!Start(p)) return {};
  FollowPlugs(p);
  gamepad::State all;
  for (SDL_GameController* pad : p.pads) all = gamepad::Combine(all, Read(pad));
  return all;
}

int ConnectedPadCount() {
  OpenPads& p = P();
  std::lock_guard lock(p.mutex);
  return static_cast<int>(p.pads.size());
}

}  // namespace glomp::win32
