// Pads through SDL's game-controller interface, plugged in and pulled out while
// they are read: SDL's virtual joysticks stand in for real ones.
#include <SDL.h>
#include <gtest/gtest.h>

#include "../../../platform/win32/internal.h"

namespace {

using glomp::gamepad::Axis;
using glomp::gamepad::Button;

class SdlPad : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nobody is in front of a test: SDL would otherwise drop pad input while
    // none of the process's windows has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    glomp::win32::ReadConnectedPads();  // starts the game-controller subsystem
    ASSERT_NE(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u) << SDL_GetError();
    before_ = glomp::win32::ConnectedPadCount();
  }
  void TearDown() override {
    while (!plugged_.empty()) Unplug();
  }

  // Plugs in a pad with every button and axis of the standard layout.
  SDL_Joystick* Plug() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    EXPECT_NE(joystick, nullptr) << SDL_GetError();
    if (joystick) plugged_.push_back(joystick);
    return joystick;
  }
  void Unplug() {
    SDL_Joystick* joystick = plugged_.back();
    plugged_.pop_back();
    SDL_JoystickDetachVirtual(DeviceIndexOf(joystick));
    SDL_JoystickClose(joystick);
    SDL_JoystickUpdate();
  }
  static int DeviceIndexOf(SDL_Joystick* joystick) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    }
    return -1;
  }
  static void Press(SDL_Joystick* joystick, Button button, bool down) {
    SDL_JoystickSetVirtualButton(joystick, static_cast<int>(button), down ? 1 : 0);
    SDL_JoystickUpdate();
  }
  static void Push(SDL_Joystick* joystick, Axis axis, int value) {
    SDL_JoystickSetVirtualAxis(joystick, static_cast<int>(axis), static_cast<Sint16>(value));
    SDL_JoystickUpdate();
  }

  int before_ = 0;
  std::vector<SDL_Joystick*> plugged_;
};

TEST_F(SdlPad, APadPluggedInIsReadAndOnePulledOutWhileHeldIsDropped) {
  SDL_Joystick* pad = Plug();
  ASSERT_NE(pad, nullptr);
  Press(pad, Button::South, true);
  Push(pad, Axis::LeftY, -32768);
  Push(pad, Axis::RightX, 32767);
  glomp::gamepad::State read = glomp::win32::ReadConnectedPads();
  EXPECT_EQ(glomp::win32::ConnectedPadCount(), before_ + 1);
  EXPECT_TRUE(read.connected);
  EXPECT_TRUE(read.Held(Button::South));
  EXPECT_FALSE(read.Held(Button::Start));
  EXPECT_TRUE(glomp::gamepad::HoldsKey(read, 'W'));
  EXPECT_TRUE(glomp::gamepad::HoldsKey(read, VK_SPACE));
  EXPECT_GT(glomp::gamepad::TurnRate(read), 3.7);

  Press(pad, Button::South, false);
  EXPECT_FALSE(glomp::win32::ReadConnectedPads().Held(Button::South));
  Press(pad, Button::South, true);

  Unplug();  // still held
  read = glomp::win32::ReadConnectedPads();
  EXPECT_EQ(glomp::win32::ConnectedPadCount(), before_);
  if (before_ == 0) {
    EXPECT_FALSE(read.connected);
    EXPECT_FALSE(glomp::gamepad::HoldsKey(read, VK_SPACE));
  }

  // Plugged in again, it is picked up again, with nothing held.
  SDL_Joystick* again = Plug();
  ASSERT_NE(again, nullptr);
  read = glomp::win32::ReadConnectedPads();
  EXPECT_EQ(glomp::win32::ConnectedPadCount(), before_ + 1);
  EXPECT_TRUE(read.connected);
  Press(again, Button::Start, true);
  EXPECT_TRUE(glomp::gamepad::HoldsKey(glomp::win32::ReadConnectedPads(), VK_RETURN));
}

TEST_F(SdlPad, TwoPadsPlayAsOne) {
  SDL_Joystick* first = Plug();
  SDL_Joystick* second = Plug();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  Press(first, Button::DpadUp, true);
  Press(second, Button::Back, true);
  const glomp::gamepad::State read = glomp::win32::ReadConnectedPads();
  EXPECT_EQ(glomp::win32::ConnectedPadCount(), before_ + 2);
  EXPECT_TRUE(glomp::gamepad::HoldsKey(read, VK_UP));
  EXPECT_TRUE(glomp::gamepad::HoldsKey(read, VK_ESCAPE));
  Unplug();  // the second
  EXPECT_FALSE(glomp::gamepad::HoldsKey(glomp::win32::ReadConnectedPads(), VK_ESCAPE));
  EXPECT_TRUE(glomp::gamepad::HoldsKey(glomp::win32::ReadConnectedPads(), VK_UP));
}

}  // namespace
