// What the scene flow puts on the screen: the loading picture's rising slices,
// the white fade over the frame, and nothing at all for a missing picture.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "app/GraphicsDevice.h"
#include "game_fixture.h"
#include "scene/SceneManager.h"

namespace scene_test {
namespace {

constexpr int kClientWidth = 1280;
constexpr int kClientHeight = 720;
constexpr Rgb kBlue = {0, 0, 255};

class PicturesTest : public GameTest {
 protected:
  // Draws one loading frame with the loading screen at `counter`, as LoadScene does.
  void DrawLoadingFrame(int counter) {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    graphics.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                           0xFFFFFFFF, 1.0f, 0);
    graphics.device->BeginScene();
    graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
    g_sceneManager->loadingScreen.counter = counter;
    g_sceneManager->loadingScreen.Draw();
    graphics.sprite->End();
    graphics.device->EndScene();
  }

  // Top row of the loading colour in the middle column of slice i; -1 when absent.
  static int SliceTop(const std::vector<uint32_t>& pixels, int slice) {
    const int x = kClientWidth - 50 - kLoadingWidth + 10 * slice + 5;
    for (int y = 0; y < kClientHeight; ++y) {
      const Rgb p = At(pixels, x, y);
      if (Near(p, kLoadingColour.r, kLoadingColour.g, kLoadingColour.b, 8)) return y;
    }
    return -1;
  }

  // Where the design puts the top of slice i after `counter` frames.
  static int ExpectedTop(int counter, int slice) {
    const int t = counter - 3 * slice;
    int lift = t < 0 ? 0 : static_cast<int>(1.5f * kLoadingHeight * std::sin(0.08f * t));
    if (lift < 0) lift = 0;
    return kClientHeight - 50 - kLoadingHeight - lift;
  }
};

TEST_F(PicturesTest, LoadingSlicesRiseOneAfterAnotherThreeFramesApart) {
  WriteWhitePicture();
  WriteLoadingPicture();
  std::map<int, std::vector<int>> tops;
  std::map<int, int> bottoms;
  std::map<int, int> counterAfter;
  RunGame(3, [&](int frame) {
    if (frame != 1) return;
    for (int counter : {0, 3, 6, 10, 20, 30, 45}) {
      DrawLoadingFrame(counter);
      counterAfter[counter] = g_sceneManager->loadingScreen.counter;
      const auto pixels = ReadBackBuffer();
      for (int i = 0; i < 10; ++i) tops[counter].push_back(SliceTop(pixels, i));
      // The bottom edge stays 50 pixels above the client area's bottom.
      bottoms[counter] = 0;
      for (int y = kClientHeight - 1; y >= 0 && bottoms[counter] == 0; --y) {
        if (Near(At(pixels, kClientWidth - 50 - kLoadingWidth + 5, y), 200, 30, 40, 8)) {
          bottoms[counter] = y;
        }
      }
      // Nothing left of the picture or right of the 50-pixel margin.
      EXPECT_TRUE(Near(At(pixels, kClientWidth - 50 - kLoadingWidth - 2, 650), 255, 255, 255));
      EXPECT_TRUE(Near(At(pixels, kClientWidth - 48, 650), 255, 255, 255));
      if (counter == 10 || counter == 30) SaveBackBuffer("loading_" + std::to_string(counter) + ".png");
    }
  });
  for (const auto& [counter, top] : tops) {
    EXPECT_EQ(counterAfter[counter], counter + 1);
    EXPECT_EQ(bottoms[counter], kClientHeight - 50 - 1) << counter;
    for (int i = 0; i < 10; ++i) {
      EXPECT_NEAR(top[i], ExpectedTop(counter, i), 1) << "counter " << counter << " slice " << i;
    }
  }
  // Each slice does what its left neighbour did three frames earlier.
  EXPECT_NEAR(tops[6][2], tops[0][0], 1);
  EXPECT_NEAR(tops[6][1], tops[3][0], 1);
  EXPECT_NEAR(tops[45][5], tops[30][0], 1);
  EXPECT_LT(tops[10][0], tops[10][1]);
  EXPECT_LT(tops[10][1], tops[10][2]);
  EXPECT_EQ(tops[10][4], ExpectedTop(0, 0));  // not started yet
}

TEST_F(PicturesTest, TheFadeIsLaidOverTheBlueFrameAtItsAlpha) {
  WriteWhitePicture();
  std::map<int, Rgb> centre;
  std::map<int, int> alpha;
  RunGame(30, [&](int frame) {
    if (frame == 0 || frame == 5 || frame == 13 || frame == 28) {
      alpha[frame] = g_sceneManager->fadeAlpha;
      centre[frame] = At(ReadBackBuffer(), 640, 360);
      if (frame == 13) SaveBackBuffer("fade_half.png");
    }
  });
  // After frame 4 the alpha is 205, after 12 it is 125, after 27 the fade is over.
  EXPECT_EQ(alpha[5], 205);
  EXPECT_EQ(alpha[13], 125);
  for (int frame : {5, 13}) {
    const int a = alpha[frame];
    EXPECT_TRUE(Near(centre[frame], a, a, 255, 4))
        << frame << ": " << centre[frame].r << "," << centre[frame].g << "," << centre[frame].b;
  }
  EXPECT_TRUE(Near(centre[28], kBlue.r, kBlue.g, kBlue.b, 4));
}

TEST_F(PicturesTest, MissingWhiteAndLoadingPicturesDrawNothing) {
  // No pictures at all in this run's data folder.
  Rgb duringFade = {};
  std::vector<uint32_t> loading;
  bool stillFading = false;
  RunGame(8, [&](int frame) {
    if (frame == 5) {
      stillFading = g_sceneManager->fading;
      duringFade = At(ReadBackBuffer(), 640, 360);
      DrawLoadingFrame(30);
      loading = ReadBackBuffer();
    }
  });
  EXPECT_TRUE(stillFading);
  EXPECT_TRUE(Near(duringFade, kBlue.r, kBlue.g, kBlue.b, 4));
  ASSERT_EQ(loading.size(), size_t{kClientWidth} * kClientHeight);
  int notWhite = 0;
  for (uint32_t pixel : loading) notWhite += (pixel & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_EQ(notWhite, 0);
}

}  // namespace
}  // namespace scene_test
