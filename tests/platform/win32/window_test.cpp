#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "glomp/headless.h"

namespace {

struct Heard {
  UINT message;
  int width, height;
};
std::vector<Heard> g_heard;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    g_heard.push_back({message, LOWORD(lParam), HIWORD(lParam)});
    return 0;
  }
  if (message == WM_CLOSE || message == WM_USER) {
    g_heard.push_back({message, 0, 0});
    if (message == WM_USER) return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr DWORD kGameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
    g_heard.clear();
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = Recorder;
    c.lpszClassName = "TestWindow";
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "TestWindow", "glomp! ver1.0.2", kGameStyle, 0, 0, 1280, 720,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    // A test's hooks may capture its locals; they must not outlive the test,
    // and destroying the window below dispatches and may start frames.
    glomp::headless::SetFrameHook(nullptr);
    glomp::headless::SetDispatchObserver(nullptr);
    if (IsWindow(window)) DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA("TestWindow", nullptr));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
  }
  HWND window = nullptr;
};

TEST_F(WindowTest, TitleAndFrameFollowAdjustWindowRect) {
  char title[64];
  EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 15);
  EXPECT_STREQ(title, "glomp! ver1.0.2");
  RECT outer, client, adjusted = {0, 0, 1280, 720};
  ASSERT_TRUE(GetWindowRect(window, &outer));
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(outer.right - outer.left, 1280);
  // The frame takes its share of the requested size, exactly as AdjustWindowRect adds it.
  ASSERT_TRUE(AdjustWindowRect(&adjusted, kGameStyle, FALSE));
  EXPECT_EQ(client.right, 1280 - (adjusted.right - adjusted.left - 1280));
  EXPECT_EQ(client.bottom, 720 - (adjusted.bottom - adjusted.top - 720));
  EXPECT_LT(client.bottom, 720);
  // Creation told the procedure its first client size.
  ASSERT_FALSE(g_heard.empty());
  EXPECT_EQ(g_heard.back().width, client.right);
  // Screen position of a client point: window corner plus frame.
  POINT p = {640, 360};
  ASSERT_TRUE(ClientToScreen(window, &p));
  EXPECT_EQ(p.x, outer.left - adjusted.left + 640);
  EXPECT_EQ(p.y, outer.top - adjusted.top + 360);
}

TEST_F(WindowTest, MoveWindowSendsSizeOnlyWhenTheClientSizeChanges) {
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  g_heard.clear();
  const int w = outer.right - outer.left - client.right + 1280;
  const int h = outer.bottom - outer.top - client.bottom + 720;
  ASSERT_TRUE(MoveWindow(window, outer.left, outer.top, w, h, TRUE));
  ASSERT_EQ(g_heard.size(), 1u);
  EXPECT_EQ(g_heard[0].width, 1280);
  EXPECT_EQ(g_heard[0].height, 720);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 1280);
  EXPECT_EQ(client.bottom, 720);
  ASSERT_TRUE(SetWindowPos(window, HWND_TOP, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  EXPECT_EQ(g_heard.size(), 1u);  // moved, not resized
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 10);
  EXPECT_EQ(outer.right - outer.left, w);
}

TEST_F(WindowTest, MessagesReachTheProcedureInOrderAndCloseDestroysByDefault) {
  ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  g_heard.clear();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ASSERT_EQ(g_heard.size(), 2u);
  EXPECT_EQ(g_heard[0].message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(g_heard[1].message, static_cast<UINT>(WM_CLOSE));
  // A procedure that passes WM_CLOSE on lets DefWindowProcA destroy the window.
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(WindowTest, ClassesAreUniqueAndUnknownClassesMakeNoWindow) {
  WNDCLASSEXA again = {};
  again.cbSize = sizeof again;
  again.lpfnWndProc = Recorder;
  again.lpszClassName = "testwindow";  // class names ignore case
  EXPECT_EQ(RegisterClassExA(&again), 0);
  again.cbSize = 0;
  again.lpszClassName = "Other";
  EXPECT_EQ(RegisterClassExA(&again), 0);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", kGameStyle, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_FALSE(UnregisterClassA("TestWindow", nullptr));  // still has a window
  RECT r;
  EXPECT_FALSE(GetClientRect(nullptr, &r));
}

TEST_F(WindowTest, FramesStartOnlyWhenTheQueueIsEmpty) {
  std::vector<int> hooks;
  std::vector<std::pair<UINT, int>> dispatched;
  glomp::headless::SetFrameHook([&](int frame) {
    hooks.push_back(frame);
    if (frame == 1) {
      for (int i = 0; i < 3; ++i) PostMessageA(window, WM_USER, 0, 0);
    }
  });
  glomp::headless::SetDispatchObserver([&](HWND, UINT message) {
    dispatched.push_back({message, glomp::headless::CurrentFrame()});
  });
  MSG msg;
  int framesRun = 0;
  while (framesRun < 3) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&msg);
    } else {
      ++framesRun;
    }
  }
  EXPECT_EQ(hooks, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(dispatched.size(), 3u);
  for (const auto& [message, frame] : dispatched) EXPECT_EQ(frame, 0);  // before frame 1 began
  EXPECT_EQ(glomp::headless::CurrentFrame(), 2);
}

}  // namespace
