// A scene built on the loader thread loads its models and pictures through the
// device while the main thread draws loading frames; the main thread then draws
// with them. Run under ThreadSanitizer (GLOMP_TSAN=ON) this is the check that the
// two threads share the device safely.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "game_fixture.h"
#include "glomp/headless.h"
#include "scene/SceneManager.h"
#include "scene/Title.h"

namespace scene_test {
namespace {

namespace fs = std::filesystem;

void WaitForLoadingFrames(int count) {
  while (g_sceneManager->loadingFrames.load() < count) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::atomic<int> g_builtOnOtherThread{0};
std::thread::id g_mainThread;

// The title, built in the middle of the loading frames.
CScene* BuildAmidLoadingFrames(int id) {
  WaitForLoadingFrames(2);
  if (std::this_thread::get_id() != g_mainThread) ++g_builtOnOtherThread;
  CScene* scene = id == SCENE_TITLE ? new STitle() : nullptr;
  const int drawn = g_sceneManager->loadingFrames.load();
  WaitForLoadingFrames(drawn + 2);
  return scene;
}

class LoaderThreadTest : public GameTest {
 protected:
  // A sky of one square facing the camera, with a green picture on it.
  void WriteSky() {
    fs::create_directories(scratch / "data/model/Map");
    std::ofstream(scratch / "data/model/Map/Sky.x", std::ios::binary)
        << "xof 0303txt 0032\n"
           "Mesh sky {\n"
           "  4; -2;2;3;, 2;2;3;, 2;-2;3;, -2;-2;3;;\n"
           "  1; 4;0,1,2,3;;\n"
           "  MeshMaterialList { 1; 1; 0;\n"
           "    Material { 1;1;1;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { \"sky_test.png\"; } }\n"
           "  }\n"
           "  MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }\n"
           "}\n";
    std::vector<unsigned char> green(16 * 16 * 3);
    for (size_t i = 0; i < green.size(); i += 3) green[i + 1] = 200;
    ASSERT_TRUE(glomp::headless::WritePngRgb((scratch / "sky_test.png").string(), 16, 16,
                                             green.data()));
  }
};

TEST_F(LoaderThreadTest, TheTitleBuiltAmidLoadingFramesIsDrawnWithWhatItLoaded) {
  WriteWhitePicture();
  WriteLoadingPicture();
  WriteSky();
  g_mainThread = std::this_thread::get_id();
  g_builtOnOtherThread = 0;
  CSceneManager::sceneBuilder = BuildAmidLoadingFrames;
  Rgb centre = {};
  int loadingAtStart = 0;
  RunGame(30, [&](int frame) {
    if (frame == 0) loadingAtStart = g_sceneManager->loadingFrames.load();
    if (frame == 29) {
      centre = At(ReadBackBuffer(), 640, 360);
      SaveBackBuffer("title_standin.png");
    }
  });
  EXPECT_EQ(g_builtOnOtherThread.load(), 1);
  EXPECT_GE(loadingAtStart, 4);
  // The sky's picture, loaded on the loader thread, is on the screen.
  EXPECT_TRUE(Near(centre, 0, 200, 0, 6)) << centre.r << "," << centre.g << "," << centre.b;
}

}  // namespace
}  // namespace scene_test
