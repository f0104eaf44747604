// The clear picture: hidden until shown, 32 frames of centred growth from 0.1
// by 1.1, then the confetti cells every 3 scene frames, the yellow copy's
// blink, Enter held or pressed back to the title; the confetti goes on additively.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "message/ClearMessage.h"
#include "message_fixture.h"

namespace message_test {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;  // RGBA
constexpr std::uint32_t kClearBlue = 0x00FF0000;
constexpr std::uint32_t kHalfGreen = 0x8000FF00;

class ClearMessageTest : public MessageTest {
 protected:
  // A white 100 × 50 clear picture; a confetti sheet of 2 × 3 cells that is
  // transparent except cell 5, which is half-transparent green.
  void WritePictures() {
    WritePicture("data/texture/message/clear_message.png", 100, 50, kWhite);
    std::filesystem::create_directories("data/texture");
    texfiles::WriteFile("data/texture/kamifubuki.png",
                        texfiles::Png(1280, 1440, 4, [](int x, int y) {
                          return x >= 640 && y >= 960 ? kHalfGreen : kClearBlue;
                        }));
  }

  int GrowthFrames(CClearMessage& message) {
    int frames = 0;
    while (!message.Grown() && frames < 100) {
      message.Update();
      EndFrame();
      ++frames;
    }
    return frames;
  }
};

TEST_F(ClearMessageTest, HiddenItWaitsThenGrowsCentredIn32FramesToAbout2_11) {
  WritePictures();
  CClearMessage message;
  EXPECT_FALSE(message.shown);
  EXPECT_FALSE(message.gateMayOpen);
  EXPECT_EQ(message.cell, 0);
  EXPECT_EQ(message.alpha, 255);
  EXPECT_FLOAT_EQ(message.Scale(), 0.1f);
  EXPECT_FLOAT_EQ(message.transform._41, 640.0f);
  EXPECT_FLOAT_EQ(message.transform._42, 360.0f);

  SetEnter(KEY_PRESSED);
  for (int frame = 0; frame < 10; ++frame) {
    message.Update();
    EndFrame();
  }
  EXPECT_FLOAT_EQ(message.Scale(), 0.1f) << "not shown: nothing happens";
  EXPECT_EQ(scene_.requestedScene, -1);

  message.shown = true;
  float scale = 0.1f;
  for (int frame = 1; frame <= 32; ++frame) {
    message.Update();
    scale *= 1.1f;
    ASSERT_NEAR(message.Scale(), scale, 1e-5f) << frame;
    EXPECT_NEAR(message.transform._41, (1280.0f - 100.0f * message.Scale()) / 2.0f, 1e-3f);
    EXPECT_NEAR(message.transform._42, (720.0f - 50.0f * message.Scale()) / 2.0f, 1e-3f);
    EXPECT_EQ(message.Grown(), frame == 32) << frame;
    // While it grows Enter is not looked at and the confetti stands.
    EXPECT_EQ(scene_.requestedScene, -1);
    EXPECT_EQ(message.cell, 0);
    EndFrame();
  }
  EXPECT_NEAR(message.Scale(), 2.11f, 0.005f);
  message.Update();
  EXPECT_NEAR(message.Scale(), 2.11f, 0.005f) << "grown: no more growth";
}

TEST_F(ClearMessageTest, GrownItStepsTheConfettiEveryThirdFrameAndBlinksWithTheSceneClock) {
  WritePictures();
  CClearMessage message;
  message.shown = true;
  ASSERT_EQ(GrowthFrames(message), 32);
  int expectedCell = 0;
  for (int frame = 0; frame < 240; ++frame) {
    scene_.frameCount = 1000 + frame;
    message.Update();
    if (scene_.frameCount % 3 == 0) expectedCell = (expectedCell + 1) % 36;
    ASSERT_EQ(message.cell, expectedCell) << frame;
    const int blink = 255 - int(std::fabs(255.0f * std::sin(0.05f * float(scene_.frameCount))));
    ASSERT_EQ(message.alpha, blink) << frame;
    ASSERT_GE(message.alpha, 0);
    ASSERT_LE(message.alpha, 255);
  }
  // 240 frames hold 80 steps: more than one loop of 36.
  EXPECT_EQ(expectedCell, 80 % 36);
  EXPECT_EQ(scene_.requestedScene, -1);
}

TEST_F(ClearMessageTest, GrownItLeavesForTheTitleOnEnterHeldAsWellAsPressed) {
  WritePictures();
  for (int keyState : {KEY_HELD, KEY_PRESSED}) {
    FakeScene scene;
    CClearMessage message;
    message.shown = true;
    GrowthFrames(message);
    SetEnter(KEY_UP);
    message.Update();
    EXPECT_EQ(scene.requestedScene, -1);
    EXPECT_FALSE(glomp::test::SoundRequests::Played(kButtonSound, 1));
    SetEnter(KEY_RELEASED);
    message.Update();
    EXPECT_EQ(scene.requestedScene, -1) << "a released key is not down";
    SetEnter(keyState);
    message.Update();
    EXPECT_EQ(scene.requestedScene, kSceneTitle) << keyState;
    EXPECT_TRUE(glomp::test::SoundRequests::Played(kButtonSound, 1));
    glomp::test::SoundRequests::EndFrame();
  }
}

TEST_F(ClearMessageTest, ASheet1280WideHasTwoColumnsAndCell5StartsAt640_960) {
  WritePictures();
  CClearMessage message;
  ASSERT_NE(message.confetti, nullptr);
  EXPECT_EQ(message.ConfettiColumns(), 2);
  const RECT cell5 = message.ConfettiSource(5);
  EXPECT_EQ(cell5.left, 640);
  EXPECT_EQ(cell5.top, 960);
  EXPECT_EQ(cell5.right - cell5.left, 640);
  EXPECT_EQ(cell5.bottom - cell5.top, 480);
  const RECT cell2 = message.ConfettiSource(2);
  EXPECT_EQ(cell2.left, 0);
  EXPECT_EQ(cell2.top, 480);
}

TEST_F(ClearMessageTest, YellowCopyBlinksOverThePictureAndNothingShowsBeforeItIsShown) {
  WritePictures();
  CClearMessage message;
  constexpr D3DCOLOR kGrey = 0x404040;
  auto pixels = DrawFrame(kGrey, [&] { message.Draw(); });
  EXPECT_EQ(At(pixels, 640, 360), kGrey) << "hidden";
  message.shown = true;
  for (int frame = 0; frame < 20; ++frame) message.Update();  // 0.1 × 1.1^20 ≈ 0.67
  for (int alpha : {255, 100, 0}) {
    message.alpha = alpha;
    pixels = DrawFrame(kGrey, [&] { message.Draw(); });
    const std::uint32_t centre = At(pixels, 640, 360);
    EXPECT_GT(Red(centre), 250) << alpha;
    EXPECT_GT(Green(centre), 250) << alpha;
    EXPECT_NEAR(Blue(centre), 255 - alpha, 3) << alpha;
    EXPECT_EQ(At(pixels, 640, 330), kGrey) << "above the picture (33 pixels high)";
  }
}

TEST_F(ClearMessageTest, ConfettiIsAddedOverTheWholeScreenAndLaterSpritesBlendAsUsual) {
  WritePictures();
  CClearMessage message;
  message.shown = true;
  GrowthFrames(message);
  constexpr D3DCOLOR kDarkRed = 0x800000;
  message.cell = 0;  // a transparent cell: nothing added
  auto pixels = DrawFrame(kDarkRed, [&] { message.Draw(); });
  EXPECT_EQ(At(pixels, 20, 20), kDarkRed);

  message.cell = 5;
  CTexture* picture = message.picture;
  D3DXMATRIX corner;
  D3DXMatrixTranslation(&corner, 1200, 650, 0);
  pixels = DrawFrame(kDarkRed, [&] {
    message.Draw();
    // A sprite after the confetti in the same batch: alpha blending again.
    CGraphicsDevice::GetInstance().DrawTexture(picture, 0x80000000, &corner);
  });
  for (auto [x, y] : {std::pair{20, 20}, std::pair{1260, 20}, std::pair{20, 700}}) {
    const std::uint32_t c = At(pixels, x, y);
    // Additive: the red stays, half the green is added.
    EXPECT_NEAR(Red(c), 0x80, 3) << x << "," << y;
    EXPECT_NEAR(Green(c), 128, 4) << x << "," << y;
    EXPECT_NEAR(Blue(c), 0, 3);
  }
  const std::uint32_t blended = At(pixels, 1210, 660);
  // Half-transparent black over (128, 128, 0): halved, not just added.
  EXPECT_NEAR(Red(blended), 64, 4);
  EXPECT_NEAR(Green(blended), 64, 4);
  DWORD destination = 0;
  device_->GetRenderState(D3DRS_DESTBLEND, &destination);
  EXPECT_EQ(destination, DWORD(D3DBLEND_INVSRCALPHA));
  DWORD zenable = 0;
  device_->GetRenderState(D3DRS_ZENABLE, &zenable);
  EXPECT_EQ(zenable, DWORD(D3DZB_TRUE)) << "the device's own states are put back";
}

TEST_F(ClearMessageTest, MissingPicturesGrowAndLeaveWithoutDrawing) {
  CClearMessage message;  // no data folder
  EXPECT_EQ(message.ConfettiColumns(), 0);
  message.shown = true;
  EXPECT_EQ(GrowthFrames(message), 32);
  EXPECT_FLOAT_EQ(message.transform._41, 640.0f);
  const auto pixels = DrawFrame(0x404040, [&] { message.Draw(); });
  EXPECT_EQ(At(pixels, 640, 360), 0x404040u);
  SetEnter(KEY_HELD);
  message.Update();
  EXPECT_EQ(scene_.requestedScene, kSceneTitle);
}

}  // namespace
}  // namespace message_test
