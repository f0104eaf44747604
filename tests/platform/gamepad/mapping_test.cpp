// A pad plays through the keys and mouse the game polls: which keys a pad
// holds, how fast the right stick turns, and how a scripted pad is written.
#include <gtest/gtest.h>
#include <windows.h>

#include "../../../platform/win32/internal.h"
#include "glomp/gamepad.h"
#include "glomp/headless.h"

namespace {

using glomp::gamepad::Axis;
using glomp::gamepad::Button;
using glomp::gamepad::HoldsKey;
using glomp::gamepad::State;

State Plugged() {
  State pad;
  pad.connected = true;
  return pad;
}

State With(Button b) {
  State pad = Plugged();
  pad.buttons[static_cast<int>(b)] = true;
  return pad;
}

State With(Axis a, int value) {
  State pad = Plugged();
  pad.axes[static_cast<int>(a)] = value;
  return pad;
}

constexpr int kGameKeys[] = {'W', 'A', 'S', 'D', VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT,
                             VK_SPACE, VK_RETURN, VK_ESCAPE, 'Q', 'E', VK_F1};

// The keys of kGameKeys a pad holds, as a string of their codes.
std::string KeysHeld(const State& pad) {
  std::string held;
  for (int key : kGameKeys) {
    if (HoldsKey(pad, key)) held += (held.empty() ? "" : " ") + std::to_string(key);
  }
  return held;
}

std::string Keys(std::initializer_list<int> keys) {
  std::string text;
  for (int key : keys) text += (text.empty() ? "" : " ") + std::to_string(key);
  return text;
}

TEST(PadKeys, ButtonsHoldTheirKeysAndOnlyThose) {
  EXPECT_EQ(KeysHeld(With(Button::South)), Keys({VK_SPACE}));
  EXPECT_EQ(KeysHeld(With(Button::Start)), Keys({VK_RETURN}));
  EXPECT_EQ(KeysHeld(With(Button::Back)), Keys({VK_ESCAPE}));
  // The d-pad walks and, up and down, also picks the title's colour.
  EXPECT_EQ(KeysHeld(With(Button::DpadUp)), Keys({'W', VK_UP}));
  EXPECT_EQ(KeysHeld(With(Button::DpadDown)), Keys({'S', VK_DOWN}));
  EXPECT_EQ(KeysHeld(With(Button::DpadLeft)), Keys({'A'}));
  EXPECT_EQ(KeysHeld(With(Button::DpadRight)), Keys({'D'}));
  for (Button unused : {Button::East, Button::West, Button::North, Button::Guide,
                        Button::LeftStick, Button::RightStick, Button::LeftShoulder,
                        Button::RightShoulder}) {
    EXPECT_EQ(KeysHeld(With(unused)), "") << static_cast<int>(unused);
  }
  EXPECT_EQ(KeysHeld(Plugged()), "");
}

TEST(PadKeys, TheLeftStickWalksOutsideItsDeadZone) {
  using glomp::gamepad::kDeadZone;
  EXPECT_EQ(KeysHeld(With(Axis::LeftY, -kDeadZone)), "") << "on the edge is still centred";
  EXPECT_EQ(KeysHeld(With(Axis::LeftY, -kDeadZone - 1)), Keys({'W'}));
  EXPECT_EQ(KeysHeld(With(Axis::LeftY, 32767)), Keys({'S'}));
  EXPECT_EQ(KeysHeld(With(Axis::LeftX, -32768)), Keys({'A'}));
  EXPECT_EQ(KeysHeld(With(Axis::LeftX, kDeadZone + 1)), Keys({'D'}));
  State diagonal = With(Axis::LeftX, 20000);
  diagonal.axes[static_cast<int>(Axis::LeftY)] = -20000;
  EXPECT_EQ(KeysHeld(diagonal), Keys({'W', 'D'}));
  // The other stick and the triggers walk nowhere; the left stick never picks a colour.
  EXPECT_EQ(KeysHeld(With(Axis::RightY, -32768)), "");
  EXPECT_EQ(KeysHeld(With(Axis::RightX, 32767)), "");
  EXPECT_EQ(KeysHeld(With(Axis::LeftTrigger, 32767)), "");
}

TEST(PadKeys, APadThatIsNotPluggedInHoldsNothing) {
  State pulled = With(Button::South);
  pulled.axes[static_cast<int>(Axis::LeftY)] = -32768;
  pulled.axes[static_cast<int>(Axis::RightX)] = 32767;
  pulled.connected = false;
  EXPECT_EQ(KeysHeld(pulled), "");
  EXPECT_EQ(glomp::gamepad::TurnRate(pulled), 0.0);
}

TEST(PadTurn, TheRightStickTurnsLinearlyFromTheDeadZoneToFullSpeed) {
  using glomp::gamepad::kDeadZone;
  using glomp::gamepad::kTurnPixelsPerMillisecond;
  using glomp::gamepad::TurnRate;
  EXPECT_EQ(TurnRate(With(Axis::RightX, kDeadZone)), 0.0);
  EXPECT_EQ(TurnRate(With(Axis::RightX, -kDeadZone)), 0.0);
  EXPECT_DOUBLE_EQ(TurnRate(With(Axis::RightX, 32767)), kTurnPixelsPerMillisecond);
  // The far end of a stick reads -32768: as fast as the other way, not faster.
  EXPECT_DOUBLE_EQ(TurnRate(With(Axis::RightX, -32768)), -kTurnPixelsPerMillisecond);
  const int halfway = kDeadZone + (32767 - kDeadZone) / 2;
  EXPECT_NEAR(TurnRate(With(Axis::RightX, halfway)), kTurnPixelsPerMillisecond / 2, 1e-3);
  EXPECT_EQ(TurnRate(With(Axis::RightY, 32767)), 0.0) << "vertical movement is not used";
  // A full stick for one 16 ms frame turns like 60 pixels of mouse: 3 degrees.
  EXPECT_DOUBLE_EQ(kTurnPixelsPerMillisecond * 16, 60.0);
}

TEST(PadTurn, PartsOfAPixelAreCarriedSoASlowTurnStillArrives) {
  glomp::win32::StickTurn turn;
  EXPECT_EQ(turn.Advance(true, 0.05, 1000), 0) << "the first reading starts the clock";
  int total = 0;
  for (int frame = 1; frame <= 10; ++frame) total += turn.Advance(true, 0.05, 1000 + 16 * frame);
  EXPECT_EQ(total, 8) << "0.8 pixels a frame for 10 frames";
  glomp::win32::StickTurn left;
  left.Advance(true, -0.1, 0);
  EXPECT_EQ(left.Advance(true, -0.1, 16), -1);
  EXPECT_EQ(left.Advance(true, -0.1, 32), -2) << "-1.6 then -3.2 in all: towards zero";
  EXPECT_EQ(left.Advance(true, 0.0, 1032), 0);
}

TEST(PadTurn, NothingTurnsWhileAwayNorWhenTheGameComesBack) {
  glomp::win32::StickTurn turn;
  turn.Advance(true, 3.75, 0);
  EXPECT_EQ(turn.Advance(true, 3.75, 16), 60);
  // Another program in front (or a message box) for five seconds, the stick held all along.
  EXPECT_EQ(turn.Advance(false, 3.75, 32), 0);
  EXPECT_EQ(turn.Advance(false, 3.75, 2000), 0);
  EXPECT_EQ(turn.Advance(true, 3.75, 5032), 0) << "back in front: no turn for the time away";
  EXPECT_EQ(turn.Advance(true, 3.75, 5048), 60);
  // A long frame (a loading picture) counts as at most 50 ms.
  EXPECT_EQ(turn.Advance(true, 3.75, 9000), 187);
  EXPECT_EQ(glomp::win32::StickTurn::kLongestStep, 50u);
}

TEST(PadCombine, TwoPadsHoldWhatEitherHoldsAndTheFurtherStick) {
  State a = With(Button::South);
  a.axes[static_cast<int>(Axis::LeftX)] = 12000;
  State b = With(Button::Start);
  b.axes[static_cast<int>(Axis::LeftX)] = -30000;
  const State both = glomp::gamepad::Combine(a, b);
  EXPECT_TRUE(both.connected);
  EXPECT_TRUE(both.Held(Button::South));
  EXPECT_TRUE(both.Held(Button::Start));
  EXPECT_EQ(both.Value(Axis::LeftX), -30000);
  EXPECT_EQ(glomp::gamepad::Combine(State{}, a).Value(Axis::LeftX), 12000);
  EXPECT_FALSE(glomp::gamepad::Combine(State{}, State{}).connected);
}

glomp::headless::Script Parse(const std::string& text, std::string* error) {
  glomp::headless::Script script;
  error->clear();
  glomp::headless::ParseScript(text, &script, error);
  return script;
}

TEST(PadScript, ButtonAxisAndUnplugLinesAreRead) {
  using Kind = glomp::headless::ScriptEvent::Kind;
  std::string error;
  const auto script = Parse(
      "5 PAD button south down\n6 PAD button dpup up\n7 PAD axis rightx -32768\n"
      "8 PAD axis lefty 32767\n9 PAD unplug\n",
      &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(script.events.size(), 5u);
  EXPECT_EQ(script.events[0].kind, Kind::PadButton);
  EXPECT_EQ(script.events[0].frame, 5);
  EXPECT_EQ(script.events[0].value, static_cast<int>(Button::South));
  EXPECT_TRUE(script.events[0].down);
  EXPECT_EQ(script.events[1].value, static_cast<int>(Button::DpadUp));
  EXPECT_FALSE(script.events[1].down);
  EXPECT_EQ(script.events[2].kind, Kind::PadAxis);
  EXPECT_EQ(script.events[2].value, static_cast<int>(Axis::RightX));
  EXPECT_EQ(script.events[2].axisValue, -32768);
  EXPECT_EQ(script.events[3].axisValue, 32767);
  EXPECT_EQ(script.events[4].kind, Kind::PadUnplug);
}

TEST(PadScript, BadPadLinesSayWhatIsWrongAndWhere) {
  const std::pair<const char*, const char*> bad[] = {
      {"1 PAD", "PAD needs button, axis or unplug"},
      {"1 PAD press south", "PAD needs button, axis or unplug"},
      {"1 PAD button", "PAD button needs a button and down|up"},
      {"1 PAD button south", "PAD button needs a button and down|up"},
      {"1 PAD button a down", "unknown pad button"},
      {"1 PAD button south pressed", "pad button state must be down or up"},
      {"1 PAD axis", "PAD axis needs an axis and a value"},
      {"1 PAD axis leftz 5", "unknown pad axis"},
      {"1 PAD axis leftx", "pad axis value must be"},
      {"1 PAD axis leftx 32768", "pad axis value must be"},
      {"1 PAD axis leftx -32769", "pad axis value must be"},
      {"1 PAD axis leftx full", "pad axis value must be"},
      {"1 PAD unplug now", "unexpected text after the event"},
      {"1 PAD button south down twice", "unexpected text after the event"},
  };
  for (const auto& [line, why] : bad) {
    std::string error;
    const auto script = Parse(std::string("0 KEY W down\n") + line + "\n", &error);
    EXPECT_NE(error.find(std::string("line 2: ") + why), std::string::npos)
        << line << " -> " << error;
  }
}

class HeadlessPad : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
  }
  void TearDown() override { glomp::headless::Reset(); }
  void StartFrame() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
  }
  static bool Down(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }
};

TEST_F(HeadlessPad, AScriptedPadHoldsKeysBesideTheKeyboardUntilPulledOut) {
  std::string error;
  const auto script = Parse(
      "0 PAD button south down\n0 PAD axis leftx -20000\n1 KEY SPACE down\n"
      "2 PAD unplug\n3 KEY SPACE up\n",
      &error);
  ASSERT_EQ(error, "");
  glomp::headless::InstallScript(script);
  EXPECT_FALSE(Down(VK_SPACE)) << "before frame 0";
  StartFrame();  // 0
  EXPECT_TRUE(Down(VK_SPACE));
  EXPECT_TRUE(Down('A'));
  EXPECT_FALSE(Down('D'));
  StartFrame();  // 1: the key and the button together
  EXPECT_TRUE(Down(VK_SPACE));
  StartFrame();  // 2: the pad is gone, the key still down
  EXPECT_TRUE(Down(VK_SPACE));
  EXPECT_FALSE(Down('A')) << "a pulled-out pad leaves nothing held";
  StartFrame();  // 3
  EXPECT_FALSE(Down(VK_SPACE));
}

TEST_F(HeadlessPad, TheRightStickMovesTheCursorByTheTimeItIsHeld) {
  POINT start{};
  GetCursorPos(&start);  // starts the stick's clock
  glomp::headless::SetPadAxis(Axis::RightX, 32767);
  Sleep(16);
  POINT p{};
  GetCursorPos(&p);
  EXPECT_EQ(p.x - start.x, 60);
  EXPECT_EQ(p.y, start.y);
  Sleep(8);
  GetCursorPos(&p);
  EXPECT_EQ(p.x - start.x, 90);
  // After a long pause (a loading picture) it turns no more than 50 ms' worth.
  Sleep(5000);
  GetCursorPos(&p);
  EXPECT_EQ(p.x - start.x, 90 + 187);
  glomp::headless::SetPadAxis(Axis::RightX, -32768);
  SetCursorPos(0, 0);
  Sleep(16);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, -59) << "the half pixel left over from turning right is spent first";
  glomp::headless::UnplugPad();
  Sleep(16);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, -59) << "a pulled-out pad does not turn";
}

}  // namespace
