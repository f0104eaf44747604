// The game played with a pad alone, through the replay tool: the pad holds the
// keyboard slots the game reads and turns like the mouse. The game scene's
// player is not in the tree yet (the game scene is a stand-in), so walking and
// jumping are checked as the slot states the player reads; the title, which
// is there, is played for real: its slime recoloured, the game started, the
// quit question asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/replay_run.h"

namespace {

using glomp::test::ReplayRun;
using glomp::test::RunReplay;

// Keyboard slots.
constexpr int kEscape = 0, kW = 1, kS = 2, kA = 3, kD = 4, kUp = 5, kDown = 6, kSpace = 9,
              kEnter = 10, kTitleUp = 15, kTitleDown = 16, kTitleSpace = 17;

// A slot's states from frame `from` to frame `to`, inclusive.
std::vector<int> States(const ReplayRun& run, int slot, int from, int to) {
  std::vector<int> states;
  for (int f = from; f <= to; ++f) states.push_back(run.Key(f, slot));
  return states;
}

// Frames in which a scene change was asked for: changing goes from false to true.
std::vector<int> ChangeStarts(const ReplayRun& run) {
  std::vector<int> starts;
  bool before = false;
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const bool now = run.Field(static_cast<int>(f), "changing") == "true";
    if (now && !before) starts.push_back(static_cast<int>(f));
    before = now;
  }
  return starts;
}

TEST(PadPlay, TheLeftStickWalksTheRightStickTurnsAndSouthJumps) {
  const ReplayRun run = RunReplay("pad_walk_turn_jump",
                                  "0 ANSWER no\n"
                                  "40 PAD axis lefty -32768\n40 PAD axis leftx 20000\n"
                                  "50 PAD axis lefty 0\n50 PAD axis leftx 0\n"
                                  "55 PAD axis lefty 30000\n56 PAD axis lefty 0\n"
                                  "60 PAD axis rightx 32767\n70 PAD axis rightx -32768\n"
                                  "80 PAD axis rightx 4000\n"
                                  "90 PAD button south down\n92 PAD button south up\n",
                                  100);
  ASSERT_EQ(run.frames.size(), 100u);
  // Forward and step right for ten frames: pressed, held, released.
  const std::vector<int> tenFrames = {0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 0};
  EXPECT_EQ(States(run, kW, 39, 51), tenFrames);
  EXPECT_EQ(States(run, kD, 39, 51), tenFrames);
  EXPECT_EQ(States(run, kA, 39, 51), std::vector<int>(13, 0));
  EXPECT_EQ(States(run, kS, 54, 57), (std::vector<int>{0, 1, 3, 0}));
  EXPECT_EQ(States(run, kUp, 39, 51), std::vector<int>(13, 0)) << "the stick picks no colour";
  // Turning: a full stick is 60 pixels of mouse a frame either way, the dead zone none.
  for (int f = 60; f < 70; ++f) EXPECT_EQ(run.Field(f, "mouse_dx"), "60") << f;
  for (int f = 70; f < 80; ++f) EXPECT_EQ(run.Field(f, "mouse_dx"), "-60") << f;
  for (int f = 80; f < 100; ++f) EXPECT_EQ(run.Field(f, "mouse_dx"), "0") << f;
  EXPECT_EQ(run.Field(59, "mouse_dx"), "0");
  // South is Space, in both of its slots; on the title it starts the game.
  EXPECT_EQ(States(run, kSpace, 89, 93), (std::vector<int>{0, 1, 2, 3, 0}));
  EXPECT_EQ(States(run, kTitleSpace, 89, 93), (std::vector<int>{0, 1, 2, 3, 0}));
  EXPECT_EQ(ChangeStarts(run), std::vector<int>{90});
}

TEST(PadPlay, TheDpadRecoloursTheTitleSlimeJustAsTheArrowKeysDo) {
  // Up for 30 frames, Down for 10, once the slime has landed and waited.
  const std::string keys =
      "0 ANSWER no\n150 KEY UP down\n180 KEY UP up\n200 KEY DOWN down\n210 KEY DOWN up\n";
  const std::string pad =
      "0 ANSWER no\n150 PAD button dpup down\n180 PAD button dpup up\n"
      "200 PAD button dpdown down\n210 PAD button dpdown up\n";
  const ReplayRun byKeys = RunReplay("keys_recolour", keys, 230);
  const ReplayRun byPad = RunReplay("pad_recolour", pad, 230, "229");
  ASSERT_EQ(byKeys.frames.size(), 230u);
  ASSERT_EQ(byPad.frames.size(), 230u);
  EXPECT_EQ(glomp::test::LogField(byPad.Slime(149), "hue"), "360");
  EXPECT_EQ(glomp::test::LogField(byPad.Slime(179), "hue"), "30");
  EXPECT_EQ(glomp::test::LogField(byPad.Slime(229), "hue"), "20");
  for (int f = 0; f < 230; ++f) {
    ASSERT_EQ(byPad.Slime(f), byKeys.Slime(f)) << "frame " << f;
  }
  EXPECT_EQ(States(byPad, kTitleUp, 149, 181), States(byKeys, kTitleUp, 149, 181));
  EXPECT_EQ(States(byPad, kTitleDown, 199, 211), States(byKeys, kTitleDown, 199, 211));
  EXPECT_EQ(States(byPad, kDown, 199, 211), States(byKeys, kDown, 199, 211));
  // The d-pad also walks: up is W as well.
  EXPECT_EQ(byPad.Key(160, kW), 2);
  EXPECT_EQ(byKeys.Key(160, kW), 0);
  EXPECT_TRUE(ChangeStarts(byPad).empty());
}

TEST(PadPlay, BackAsksToQuitAndStartStartsTheGame) {
  const ReplayRun run = RunReplay("pad_back_start",
                                  "0 ANSWER no\n60 PAD button back down\n62 PAD button back up\n"
                                  "60 ANSWER no\n100 PAD button start down\n"
                                  "103 PAD button start up\n",
                                  115);
  ASSERT_EQ(run.frames.size(), 115u) << "No to the quit question keeps the game going";
  std::vector<int> asked;
  for (int f = 1; f < 115; ++f) {
    if (run.Field(f, "messagebox") != "null") asked.push_back(f);
  }
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_GE(asked[0], 60);
  EXPECT_LE(asked[0], 61);
  EXPECT_EQ(run.Field(asked[0], "messagebox"), "\"終了しますか？\"");
  // Pressed in frame 60; declining polls once more, so the log shows it held from there.
  EXPECT_EQ(States(run, kEscape, 59, 63), (std::vector<int>{0, 2, 2, 3, 0}));
  EXPECT_EQ(States(run, kEnter, 99, 104), (std::vector<int>{0, 1, 2, 2, 3, 0}));
  EXPECT_EQ(ChangeStarts(run), std::vector<int>{100});
}

TEST(PadPlay, APadPulledOutWhileHeldLetsGoOfItsKeys) {
  const ReplayRun run = RunReplay("pad_unplug",
                                  "0 ANSWER no\n30 PAD button dpleft down\n"
                                  "30 PAD axis rightx 32767\n35 PAD unplug\n"
                                  "40 PAD button dpright down\n42 PAD button dpright up\n",
                                  50);
  ASSERT_EQ(run.frames.size(), 50u);
  EXPECT_EQ(States(run, kA, 29, 37), (std::vector<int>{0, 1, 2, 2, 2, 2, 3, 0, 0}));
  EXPECT_EQ(run.Field(34, "mouse_dx"), "60");
  EXPECT_EQ(run.Field(35, "mouse_dx"), "0");
  // Plugged in again by its next button.
  EXPECT_EQ(States(run, kD, 39, 43), (std::vector<int>{0, 1, 2, 3, 0}));
  EXPECT_EQ(run.Field(45, "mouse_dx"), "0") << "a new pad's stick starts centred";
}

}  // namespace
