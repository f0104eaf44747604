#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "app/Keyboard.h"
#include "glomp/headless.h"

namespace {

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
  }
  // The states slot `slot` reads over frames in which the key is down as given.
  std::vector<int> Trace(int slot, int virtualKey, const std::vector<bool>& down) {
    std::vector<int> states;
    for (bool d : down) {
      glomp::headless::SetKey(virtualKey, d);
      keyboard.Update();
      states.push_back(keyboard.state[slot]);
    }
    return states;
  }
  CKeyboard keyboard;
};

TEST_F(KeyboardTest, ATapReadsPressedThenReleasedThenUp) {
  EXPECT_EQ(Trace(9, VK_SPACE, {true, false, false}), (std::vector<int>{1, 3, 0}));
  EXPECT_FALSE(keyboard.IsDown(9));
}

TEST_F(KeyboardTest, AKeyHeldForNFramesReadsPressedHeldReleasedUp) {
  EXPECT_EQ(Trace(1, 'W', {true, true, true, true, false, false}),
            (std::vector<int>{1, 2, 2, 2, 3, 0}));
  // Pressed again right after the release edge: a new press.
  EXPECT_EQ(Trace(1, 'W', {true, false, true}), (std::vector<int>{1, 3, 1}));
}

TEST_F(KeyboardTest, SlotsSharingAKeyEachFollowIt) {
  glomp::headless::SetKey(VK_LEFT, true);
  keyboard.Update();
  EXPECT_EQ(keyboard.state[7], 1);
  EXPECT_EQ(keyboard.state[11], 1);
  EXPECT_TRUE(keyboard.IsDown(7));
  EXPECT_FALSE(keyboard.IsDown(8));
}

TEST_F(KeyboardTest, FunctionKeysAlwaysReadUp) {
  for (int vk : {VK_F1, VK_F2, VK_F3, VK_F4}) glomp::headless::SetKey(vk, true);
  for (int frame = 0; frame < 3; ++frame) {
    keyboard.Update();
    for (int slot = 18; slot <= 21; ++slot) {
      EXPECT_EQ(keyboard.state[slot], 0) << slot;
      EXPECT_FALSE(keyboard.IsDown(slot));
    }
  }
}

TEST_F(KeyboardTest, APressBetweenTwoPollsIsNotSeenAndBadSlotsAreNotDown) {
  keyboard.Update();
  glomp::headless::SetKey(VK_RETURN, true);
  glomp::headless::SetKey(VK_RETURN, false);
  keyboard.Update();
  EXPECT_EQ(keyboard.state[10], 0);
  EXPECT_FALSE(keyboard.IsDown(-1));
  EXPECT_FALSE(keyboard.IsDown(22));
}

}  // namespace
