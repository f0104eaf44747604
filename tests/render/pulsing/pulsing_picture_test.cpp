// The "press enter" picture: its height scale follows the scene's pulse but
// never drops below 1, and it is stretched about its centre line.
#include <gtest/gtest.h>

#include <cmath>

#include "common/Helpers.h"
#include "render/Texture.h"
#include "render/PulsingPicture.h"
#include "support/fake_scene.h"

namespace {


class PulsingPictureTest : public ::testing::Test {
 protected:
  FakeScene scene_;  // its clock drives the pulse
};

TEST_F(PulsingPictureTest, ScaleStaysAtOneMostOfTheCycleAndPeaksAtOneAndAHalf) {
  CPulsingPicture picture("no/such/picture.png");  // no cache: no picture
  EXPECT_EQ(picture.texture, nullptr);
  EXPECT_EQ(picture.scaleY, 1.0f);
  int stretched = 0;
  float highest = 0;
  // One cycle of 2π / 0.08 ≈ 78.5 frames.
  for (scene_.frameCount = 0; scene_.frameCount < 79; ++scene_.frameCount) {
    picture.Update();
    EXPECT_GE(picture.scaleY, 1.0f);
    if (picture.scaleY > 1.0f) ++stretched;
    highest = std::max(highest, picture.scaleY);
  }
  // 1.5 sin(0.08 t) > 1 for t in (9.1, 30.2): 21 of the 79 frames.
  EXPECT_EQ(stretched, 21);
  EXPECT_NEAR(highest, 1.5f, 1e-3f);
}

TEST_F(PulsingPictureTest, StretchedAboutTheLineYWithTheSceneClock) {
  CPulsingPicture picture("no/such/picture.png");
  CTexture texture;  // a picture 200 x 40 as the cache would describe it
  texture.rect.right = 200;
  texture.rect.bottom = 40;
  picture.texture = &texture;
  picture.x = 540;
  picture.y = 680;
  scene_.frameCount = 20;  // 1.5 sin(1.6) ≈ 1.499
  picture.Update();
  picture.Draw();
  const float scale = 1.5f * std::sin(0.08f * 20);
  EXPECT_FLOAT_EQ(picture.transform._11, 1.0f);
  EXPECT_FLOAT_EQ(picture.transform._22, scale);
  EXPECT_FLOAT_EQ(picture.transform._41, 540.0f);
  // The top edge moves up by half the stretched height, so the picture grows about y.
  EXPECT_FLOAT_EQ(picture.transform._42, 680.0f - 40.0f * scale * 0.5f);
  EXPECT_FLOAT_EQ(picture.transform._43, 0.0f);
  picture.texture = nullptr;
  picture.Draw();  // without a picture the height counts as −1
  EXPECT_FLOAT_EQ(picture.transform._42, 680.0f + scale * 0.5f);
}

}  // namespace
