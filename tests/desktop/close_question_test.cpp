// The game closed from the desktop — its close box, Alt+F4, the session's quit —
// asks its quit question each time: No plays on, Yes ends the game.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "glomp/headless.h"

namespace {

using glomp::headless::Answer;
using glomp::headless::DesktopClose;

class CloseQuestion : public ::testing::TestWithParam<DesktopClose> {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
  }
  void TearDown() override {
    // The game leaves its window and class to the process's end; the next run needs them gone.
    HWND window = CApplication::GetInstance().window;
    if (IsWindow(window)) DestroyWindow(window);
    UnregisterClassA("Window", nullptr);
    CGraphicsDevice::GetInstance().Release();
    glomp::headless::Reset();
  }
  static int QuitQuestions() {
    int count = 0;
    for (const auto& box : glomp::headless::AskedBoxes()) count += box.text == "終了しますか？";
    return count;
  }
};

TEST_P(CloseQuestion, NoPlaysOnAndYesEndsTheGame) {
  int lastFrame = -1;
  int questionsBeforeYes = -1;
  glomp::headless::SetFrameHook([&](int frame) {
    lastFrame = frame;
    HWND window = CApplication::GetInstance().window;
    if (frame == 5) {
      EXPECT_TRUE(glomp::headless::CloseFromDesktop(window, GetParam()));
    }
    if (frame == 12) {
      questionsBeforeYes = QuitQuestions();
      glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(), Answer::Yes);
      EXPECT_TRUE(glomp::headless::CloseFromDesktop(window, GetParam()));
    }
    if (frame == 40) PostMessageA(window, WM_CLOSE, 0, 0);  // not reached when all is well
  });
  const int exitCode =
      WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  glomp::headless::SetFrameHook(nullptr);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(questionsBeforeYes, 1) << "asked once, answered No by default";
  EXPECT_EQ(QuitQuestions(), 2);
  EXPECT_EQ(lastFrame, 12) << "Yes ends the game before another frame";
  EXPECT_TRUE(CApplication::GetInstance().quit);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, CloseQuestion,
                         ::testing::Values(DesktopClose::CloseBox, DesktopClose::AltF4,
                                           DesktopClose::SessionQuit),
                         [](const auto& info) {
                           switch (info.param) {
                             case DesktopClose::CloseBox: return std::string("CloseBox");
                             case DesktopClose::AltF4: return std::string("AltF4");
                             default: return std::string("SessionQuit");
                           }
                         });

}  // namespace
