#include <gtest/gtest.h>
#include <mmsystem.h>
#include <windows.h>

#include "glomp/headless.h"

namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
  }
  // Starts the next frame the way the game's loop does: an empty queue.
  void StartFrame() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
  }
};

TEST_F(HeadlessTest, ClockMovesOnlyBySleepAndByWorkAfterTheFirstReading) {
  EXPECT_EQ(timeGetTime(), 0u);
  Sleep(16);
  EXPECT_EQ(timeGetTime(), 16u);
  glomp::headless::SetWorkSource([](int frame) { return frame == 0 ? 3u : 20u; });
  StartFrame();
  const DWORD start = timeGetTime();
  EXPECT_EQ(start, 16u);
  EXPECT_EQ(timeGetTime() - start, 3u);
  EXPECT_EQ(timeGetTime() - start, 3u);  // charged once
  StartFrame();
  const DWORD next = timeGetTime();
  EXPECT_EQ(timeGetTime() - next, 20u);
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
}

TEST_F(HeadlessTest, KeysReadAsTheMostSignificantBitAndUnknownKeysAsZero) {
  glomp::headless::SetKey(VK_ESCAPE, true);
  glomp::headless::SetKey('W', true);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0x8000, 0x8000);
  EXPECT_NE(GetAsyncKeyState('W') & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState('S'), 0);
  glomp::headless::SetKey(VK_ESCAPE, false);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  for (int bad : {0, -1, -128, 0x100, 0x7FFFFFFF}) EXPECT_EQ(GetAsyncKeyState(bad), 0) << bad;
  glomp::headless::SetKey(0x1234, true);  // ignored
  EXPECT_EQ(GetAsyncKeyState(0x1234), 0);
}

TEST_F(HeadlessTest, MessageBoxesTakeQueuedAnswersAtOrAfterTheirFrame) {
  // "終了しますか？" / "終了確認" in Shift-JIS.
  const char* text = "\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
  const char* caption = "\x8F\x49\x97\xB9\x8A\x6D\x94\x46";
  glomp::headless::QueueAnswer(2, glomp::headless::Answer::Yes);
  // Before any frame: counted as frame 0, the answer for frame 2 is not yet due.
  EXPECT_EQ(MessageBoxA(nullptr, text, caption, MB_YESNO | MB_DEFBUTTON2), IDNO);
  StartFrame();  // 0
  StartFrame();  // 1
  StartFrame();  // 2
  StartFrame();  // 3
  EXPECT_EQ(MessageBoxA(nullptr, text, caption, MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, text, caption, MB_YESNO), IDNO);  // used up
  EXPECT_EQ(MessageBoxA(nullptr, "x", "", MB_OK | MB_ICONERROR), IDOK);
  const auto boxes = glomp::headless::AskedBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].text, "終了しますか？");
  EXPECT_EQ(boxes[0].caption, "終了確認");
  EXPECT_EQ(boxes[0].frame, 0);
  EXPECT_EQ(boxes[1].frame, 3);
  EXPECT_EQ(boxes[3].caption, "");
}

TEST_F(HeadlessTest, BrokenShiftJisIsReplacedNotCrashedOn) {
  // A lone lead byte at the end and a byte that starts no character.
  MessageBoxA(nullptr, "ab\xA0\x82", nullptr, MB_OK);
  const auto boxes = glomp::headless::AskedBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.substr(0, 2), "ab");
  EXPECT_NE(boxes[0].text.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST_F(HeadlessTest, ScriptsDriveKeysMouseAndAnswersFrameByFrame) {
  glomp::headless::Script script;
  std::string error;
  ASSERT_TRUE(glomp::headless::ParseScript(
      "# demo\n1 KEY ESCAPE down\n\n2 KEY ESCAPE up\n1 MOUSEX -25\n 2 KEY a down\n"
      "3 ANSWER yes\n0 KEY F4 down\n",
      &script, &error))
      << error;
  glomp::headless::InstallScript(script);
  POINT before, after;
  GetCursorPos(&before);
  StartFrame();  // 0
  EXPECT_NE(GetAsyncKeyState(VK_F4), 0);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  StartFrame();  // 1
  EXPECT_NE(GetAsyncKeyState(VK_ESCAPE), 0);
  GetCursorPos(&after);
  EXPECT_EQ(after.x - before.x, -25);
  EXPECT_EQ(after.y, before.y);
  StartFrame();  // 2
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  EXPECT_NE(GetAsyncKeyState('A'), 0);
  EXPECT_EQ(MessageBoxA(nullptr, "q", "", MB_YESNO), IDNO);
  StartFrame();  // 3
  EXPECT_EQ(MessageBoxA(nullptr, "q", "", MB_YESNO), IDYES);
}

TEST_F(HeadlessTest, ScriptErrorsNameTheLine) {
  glomp::headless::Script script;
  std::string error;
  for (const char* bad : {"1 KEY NOPE down", "1 KEY A sideways", "x KEY A down", "-1 KEY A up",
                          "1 MOUSEX", "1 ANSWER maybe", "1 JUMP", "1 KEY A down extra",
                          "1 KEY F13 down"}) {
    EXPECT_FALSE(glomp::headless::ParseScript(std::string("\n") + bad, &script, &error)) << bad;
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  }
  EXPECT_FALSE(glomp::headless::LoadScript("/nonexistent/script", &script, &error));
  EXPECT_EQ(glomp::headless::VirtualKeyFromName("RETURN"), VK_RETURN);
  EXPECT_EQ(glomp::headless::VirtualKeyFromName("F1"), VK_F1);
  EXPECT_EQ(glomp::headless::VirtualKeyFromName("Q"), 'Q');
  EXPECT_EQ(glomp::headless::VirtualKeyFromName("F01"), 0);
}

TEST_F(HeadlessTest, CursorIsVirtualAndShowCursorCounts) {
  ASSERT_TRUE(SetCursorPos(100, 200));
  glomp::headless::MoveMouse(7, 3);
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 107);
  EXPECT_EQ(p.y, 203);
  const int shown = ShowCursor(TRUE);
  EXPECT_EQ(ShowCursor(FALSE), shown - 1);
  EXPECT_FALSE(GetCursorPos(nullptr));
}

}  // namespace
