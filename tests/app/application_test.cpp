// The application driven whole through the headless platform: WinMain, its
// window, the full-screen and quit questions, the frame pace and shutdown.
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <unistd.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/Mouse.h"
#include "glomp/headless.h"

namespace {

using glomp::headless::Answer;

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
  }
  void TearDown() override {
    // The game leaves its window and class to the process's end; a test
    // process runs the game again and must clear them itself.
    HWND window = CApplication::GetInstance().window;
    if (IsWindow(window)) DestroyWindow(window);
    UnregisterClassA("Window", nullptr);
    CGraphicsDevice::GetInstance().Release();
    glomp::headless::Reset();
  }

  // Runs the game through WinMain. `atFrame` sees each frame just before it
  // starts; after `frames` frames the window is closed and the question answered Yes.
  int RunGame(int frames, const std::function<void(int)>& atFrame = nullptr) {
    glomp::headless::SetFrameHook([&, frames](int frame) {
      frameStarts[frame] = glomp::headless::Now();
      if (atFrame) atFrame(frame);
      if (frame == frames) {
        glomp::headless::ClearAnswers();
        glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(), Answer::Yes);
        PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
      }
    });
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  }

  std::vector<glomp::headless::AskedBox> BoxesWithText(const std::string& text) {
    std::vector<glomp::headless::AskedBox> found;
    for (const auto& box : glomp::headless::AskedBoxes()) {
      if (box.text == text) found.push_back(box);
    }
    return found;
  }

  std::map<int, DWORD> frameStarts;
};

TEST_F(ApplicationTest, AnsweringNoGivesAWindowedClientAreaOfExactly1280By720) {
  glomp::headless::QueueAnswer(0, Answer::No);
  RECT client = {};
  char title[64] = "";
  D3DSURFACE_DESC backBuffer = {};
  BOOL windowed = FALSE;
  const int exitCode = RunGame(3, [&](int frame) {
    if (frame != 1) return;
    const CApplication& app = CApplication::GetInstance();
    GetClientRect(app.window, &client);
    GetWindowTextA(app.window, title, sizeof title);
    EXPECT_EQ(app.clientWidth, 1280);
    EXPECT_EQ(app.clientHeight, 720);
    CGraphicsDevice::GetInstance().backBuffer->GetDesc(&backBuffer);
    windowed = CGraphicsDevice::GetInstance().presentParams.Windowed;
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_STREQ(title, "glomp! ver1.0.2");
  EXPECT_EQ(client.right, 1280);
  EXPECT_EQ(client.bottom, 720);
  EXPECT_TRUE(windowed);
  EXPECT_EQ(backBuffer.Width, 1280u);
  EXPECT_EQ(backBuffer.Height, 720u);
  const auto questions = BoxesWithText("フルスクリーンにしますか？");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].caption, "glomp!");
  EXPECT_EQ(questions[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  // Everything made by Init is gone after Shutdown.
  EXPECT_EQ(g_keyboard, nullptr);
  EXPECT_EQ(g_mouse, nullptr);
  EXPECT_EQ(CGraphicsDevice::GetInstance().device, nullptr);
}

TEST_F(ApplicationTest, AnsweringYesGivesFullScreenAt1280By720) {
  glomp::headless::QueueAnswer(0, Answer::Yes);
  D3DPRESENT_PARAMETERS params = {};
  RunGame(2, [&](int frame) {
    if (frame == 1) params = CGraphicsDevice::GetInstance().presentParams;
  });
  EXPECT_FALSE(params.Windowed);
  EXPECT_EQ(params.BackBufferWidth, 1280u);
  EXPECT_EQ(params.BackBufferHeight, 720u);
  EXPECT_EQ(params.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D24S8);
  EXPECT_EQ(params.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));
}

TEST_F(ApplicationTest, TheCloseBoxAsksAndNoResumesWithEscapeStillHeldAsHeld) {
  std::map<int, int> escapeAfter;  // Escape's state after each frame
  int lastFrame = -1;
  RunGame(8, [&](int frame) {
    lastFrame = frame;
    if (frame > 0) escapeAfter[frame - 1] = g_keyboard->state[0];
    if (frame == 4) {
      // Escape goes down and the close box is clicked before frame 4 runs.
      glomp::headless::SetKey(VK_ESCAPE, true);
      PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
    }
  });
  const auto questions = BoxesWithText("終了しますか？");
  ASSERT_EQ(questions.size(), 2u);  // the one declined by default, the runner's final one
  EXPECT_EQ(questions[0].caption, "終了確認");
  EXPECT_EQ(questions[0].result, IDNO);
  EXPECT_EQ(questions[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  // Declining polled the keyboard once more: the press was taken there, so the
  // next frame already reads held and the title would not ask again.
  EXPECT_EQ(escapeAfter[4], 2);
  EXPECT_EQ(lastFrame, 8);  // the game went on
}

TEST_F(ApplicationTest, YesToTheQuitQuestionEndsAtOnceWithExitCodeZero) {
  int lastFrame = -1;
  const int exitCode = RunGame(100, [&](int frame) {
    lastFrame = frame;
    if (frame == 3) {
      glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(), Answer::Yes);
      PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(lastFrame, 3);
  EXPECT_TRUE(CApplication::GetInstance().quit);
  EXPECT_EQ(g_keyboard, nullptr);
  EXPECT_EQ(BoxesWithText("終了しますか？").size(), 1u);
}

TEST_F(ApplicationTest, FramesArePacedTo16VirtualMillisecondsOfWorkAndSleep) {
  glomp::headless::SetWorkSource([](int frame) -> DWORD {
    if (frame == 2) return 3;
    if (frame == 3) return 20;
    return 0;
  });
  RunGame(5);
  EXPECT_EQ(frameStarts[1] - frameStarts[0], 16u);
  EXPECT_EQ(frameStarts[3] - frameStarts[2], 16u);  // 3 ms of work, 13 ms of sleep
  EXPECT_EQ(frameStarts[4] - frameStarts[3], 20u);  // 20 ms of work, no sleep
  EXPECT_EQ(frameStarts[5] - frameStarts[4], 16u);
}

TEST_F(ApplicationTest, NoFrameRunsWhileMessagesKeepArriving) {
  std::vector<std::pair<int, DWORD>> dispatched;  // frame and clock at each WM_USER
  int pollsDuringMessages = 0;
  glomp::headless::SetDispatchObserver([&](HWND, UINT message) {
    if (message != WM_USER) return;
    dispatched.push_back({glomp::headless::CurrentFrame(), glomp::headless::Now()});
    // Each message brings the next one, like a stream of mouse moves.
    if (dispatched.size() < 10) PostMessageA(CApplication::GetInstance().window, WM_USER, 0, 0);
    glomp::headless::SetKey('W', dispatched.size() % 2 == 1);
    pollsDuringMessages += g_keyboard->state[1] != 0;
  });
  DWORD startOfFrame3 = 0;
  RunGame(5, [&](int frame) {
    if (frame == 3) startOfFrame3 = glomp::headless::Now();
    if (frame == 2) PostMessageA(CApplication::GetInstance().window, WM_USER, 0, 0);
  });
  ASSERT_EQ(dispatched.size(), 10u);
  for (const auto& [frame, time] : dispatched) {
    EXPECT_EQ(frame, 1);  // all before frame 2 began
    EXPECT_EQ(time, dispatched.front().second);  // no frame, no sleep in between
  }
  EXPECT_EQ(pollsDuringMessages, 0);  // the keyboard was not polled
  EXPECT_EQ(startOfFrame3 - frameStarts[2], 16u);
}

TEST_F(ApplicationTest, MouseMovementIsMeasuredPerFrameFromTheCentre) {
  std::map<int, int> dxAfter;
  POINT centre = {};
  RunGame(4, [&](int frame) {
    if (frame == 1) {
      glomp::headless::MoveMouse(12, -7);
      centre = {640, 360};
      ClientToScreen(CApplication::GetInstance().window, &centre);
    }
    if (frame > 0) dxAfter[frame - 1] = g_mouse->dx;
  });
  EXPECT_EQ(dxAfter[0], 0);
  EXPECT_EQ(dxAfter[1], 12);
  EXPECT_EQ(dxAfter[2], 0);  // pulled back to the centre after reading
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, centre.x);
}

TEST_F(ApplicationTest, TheFirstFrameShowsTheTitleFadingInFromWhite) {
  DWORD pixel = 0;
  RunGame(2, [&](int frame) {
    if (frame != 1) return;
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(graphics.device->CreateOffscreenPlainSurface(1280, 720, D3DFMT_X8R8G8B8,
                                                           D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(graphics.device->GetRenderTargetData(graphics.backBuffer, copy), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    pixel = static_cast<const DWORD*>(locked.pBits)[360 * locked.Pitch / 4 + 640];
    copy->UnlockRect();
    copy->Release();
  });
  // Frame 0 lays the white picture at alpha 245 over the scene (when the
  // picture is there; without it the frame's blue clear shows).
  const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
  if (std::filesystem::exists("data/texture/white.png")) {
    EXPECT_GE(r, 235);
    EXPECT_GE(g, 235);
    EXPECT_GE(b, 235);
  } else {
    EXPECT_LE(r, 3);
    EXPECT_LE(g, 3);
    EXPECT_GE(b, 250);
  }
}

TEST_F(ApplicationTest, AFailedGraphicsContextShowsBothErrorsAndExitsCleanly) {
  glomp::headless::SetOpenGLAvailable(false);
  int frames = 0;
  const int exitCode = RunGame(3, [&](int) { ++frames; });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(frames, 0);
  const auto boxes = glomp::headless::AskedBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].text, "Direct3Dの初期化に失敗");
  EXPECT_EQ(boxes[1].caption, "Direct3D初期化");
  EXPECT_EQ(boxes[1].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(boxes[2].text, "Direct3D初期化ミス");
  EXPECT_EQ(boxes[2].caption, "");
  EXPECT_EQ(boxes[2].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(g_keyboard, nullptr);  // Init stopped before the singletons
  EXPECT_EQ(CGraphicsDevice::GetInstance().d3d, nullptr);
}

// Runs the game in a fresh directory; with `icon` it holds data/icon/ICON.ico.
class IconDirectory {
 public:
  explicit IconDirectory(const std::vector<unsigned char>* icon) {
    previous_ = std::filesystem::current_path();
    directory_ = std::filesystem::path(testing::TempDir()) / (icon ? "with_icon" : "no_icon");
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_ / "data" / "icon");
    if (icon) {
      std::ofstream(directory_ / "data" / "icon" / "ICON.ico", std::ios::binary)
          .write(reinterpret_cast<const char*>(icon->data()),
                 static_cast<std::streamsize>(icon->size()));
    }
    std::filesystem::current_path(directory_);
  }
  ~IconDirectory() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_, directory_;
};

TEST_F(ApplicationTest, AMissingIconLeavesTheWindowWithoutOneAndTheGameRuns) {
  ULONG_PTR icon = 1;
  int frames = 0;
  {
    IconDirectory directory(nullptr);
    EXPECT_EQ(RunGame(2, [&](int frame) {
                frames = frame;
                icon = GetClassLongPtrA(CApplication::GetInstance().window, GCLP_HICON);
              }),
              0);
  }
  EXPECT_EQ(icon, 0u);
  EXPECT_EQ(frames, 2);
}

TEST_F(ApplicationTest, TheIconFileBecomesTheWindowsIcon) {
  // A one-pixel 32-bit icon without a mask.
  std::vector<unsigned char> ico = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0,
                                    44, 0, 0, 0, 22, 0, 0, 0};
  const unsigned char dib[44] = {40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0,
                                 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,
                                 0,  0, 0, 0, 0, 0, 0, 0, 10, 20, 30, 255};
  ico.insert(ico.end(), dib, dib + sizeof dib);
  ULONG_PTR icon = 0;
  {
    IconDirectory directory(&ico);
    RunGame(1, [&](int) {
      icon = GetClassLongPtrA(CApplication::GetInstance().window, GCLP_HICON);
    });
  }
  EXPECT_NE(icon, 0u);
}

}  // namespace
