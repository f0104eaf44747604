// The start band: fourfold growth to the screen height, the picture and prompt
// only at full height, a fresh Enter (not one held from the title) to close it,
// fourfold shrinking, and the start camera sent back once at the end.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "message/StartMessage.h"
#include "message_fixture.h"
#include "render/PulsingPicture.h"

namespace message_test {
namespace {

constexpr std::uint32_t kRed = 0xFF0000FF;    // RGBA as the PNG writer takes it
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kBackground = 0x0000FF;    // XRGB blue

class StartMessageTest : public MessageTest {
 protected:
  void WritePictures() {
    WritePicture("data/texture/white.png", 1, 1, kWhite);
    WritePicture("data/texture/message/start_message.png", 200, 100, kRed);
    WritePicture("data/texture/message/press_enter_key.png", 100, 20, kGreen);
  }

  // Updates until the band has stopped growing; returns the scales seen.
  std::vector<float> OpenFully(CStartMessage& message) {
    std::vector<float> scales;
    for (int frame = 0; frame < 20 && !message.BandCoversScreen(); ++frame) {
      message.Update();
      scales.push_back(message.BandScale());
      EndFrame();
    }
    return scales;
  }
};

TEST_F(StartMessageTest, BandGrowsFourfoldCentredUntilItCoversTheScreenThenShrinksFourfold) {
  WritePictures();
  CStartMessage message;
  ASSERT_NE(message.bandTexture, nullptr);
  EXPECT_FALSE(message.active);
  EXPECT_FALSE(message.closing);
  EXPECT_FLOAT_EQ(message.BandScale(), 0.1f);
  EXPECT_FLOAT_EQ(message.band._11, 1280.0f);
  EXPECT_FLOAT_EQ(message.band._42, 360.0f);

  // Not raised yet: nothing moves.
  message.Update();
  EXPECT_FLOAT_EQ(message.BandScale(), 0.1f);

  message.active = true;
  const std::vector<float> opening = OpenFully(message);
  const std::vector<float> expected = {0.4f, 1.6f, 6.4f, 25.6f, 102.4f, 409.6f, 1638.4f};
  ASSERT_EQ(opening.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(opening[i], expected[i], 1e-3f) << i;
  EXPECT_NEAR(message.band._42, (720.0f - 1638.4f) / 2.0f, 1e-2f);
  EXPECT_FLOAT_EQ(message.band._11, 1280.0f) << "full width all the time";

  // At full height the band stays; a fresh press closes it.
  message.Update();
  EXPECT_NEAR(message.BandScale(), 1638.4f, 1e-3f);
  EndFrame();
  SetEnter(KEY_PRESSED);
  message.Update();
  EXPECT_TRUE(message.closing);
  EXPECT_TRUE(glomp::test::SoundRequests::Played(kButtonSound, 1));
  EXPECT_NEAR(message.BandScale(), 1638.4f, 1e-3f) << "the press frame only starts the closing";
  EndFrame();

  std::vector<float> closing;
  while (message.active && closing.size() < 20) {
    message.Update();
    if (message.active) {
      closing.push_back(message.BandScale());
      EXPECT_NEAR(message.band._42, (720.0f - message.BandScale()) / 2.0f, 1e-2f);
    }
    EndFrame();
  }
  const std::vector<float> shrinking = {409.6f, 102.4f, 25.6f, 6.4f, 1.6f, 0.4f, 0.1f};
  ASSERT_EQ(closing.size(), shrinking.size());
  for (std::size_t i = 0; i < shrinking.size(); ++i) EXPECT_NEAR(closing[i], shrinking[i], 1e-4f) << i;
  EXPECT_FALSE(message.active);
  EXPECT_EQ(scene_.startCameraSentBack, 1);
  // Inactive for good.
  SetEnter(KEY_PRESSED);
  message.Update();
  EXPECT_EQ(scene_.startCameraSentBack, 1);
  EXPECT_FALSE(message.active);
}

TEST_F(StartMessageTest, EnterHeldFromTheTitleDoesNotCloseAFreshPressDoes) {
  WritePictures();
  CStartMessage message;
  message.active = true;
  // Enter went down on the title and is still held; a press while the band
  // opens is not looked at either.
  SetEnter(KEY_PRESSED);
  OpenFully(message);
  ASSERT_TRUE(message.BandCoversScreen());
  EXPECT_FALSE(message.closing);
  for (int frame = 0; frame < 100; ++frame) {
    ASSERT_EQ(g_keyboard->state[kEnterSlot], KEY_HELD);
    message.Update();
    EndFrame();
  }
  EXPECT_FALSE(message.closing);
  SetEnter(KEY_RELEASED);
  message.Update();
  EndFrame();
  SetEnter(KEY_UP);
  message.Update();
  EXPECT_FALSE(message.closing);
  EndFrame();
  SetEnter(KEY_PRESSED);
  message.Update();
  EXPECT_TRUE(message.closing);
}

TEST_F(StartMessageTest, PromptSitsTwoHeightsAboveTheBottomAndPulsesOnlyAtFullBand) {
  WritePictures();
  CStartMessage message;
  EXPECT_FLOAT_EQ(message.prompt->x, 590.0f);
  EXPECT_FLOAT_EQ(message.prompt->y, 680.0f);
  EXPECT_FLOAT_EQ(message.transform._11, 1.5f);
  EXPECT_FLOAT_EQ(message.transform._41, (1280.0f - 300.0f) / 2.0f);
  EXPECT_FLOAT_EQ(message.transform._42, (720.0f - 150.0f) / 2.0f);
  message.active = true;
  // At frame 20 the pulse is 1.5 × sin(1.6) ≈ 1.5; the opening does not pulse.
  scene_.frameCount = 17;
  for (int frame = 0; frame < 3; ++frame) {
    message.Update();
    EndFrame();
  }
  EXPECT_EQ(message.prompt->scaleY, 1.0f);
  OpenFully(message);
  scene_.frameCount = 20;
  message.Update();
  EXPECT_NEAR(message.prompt->scaleY, 1.5f * std::sin(1.6f), 1e-5f);
}

TEST_F(StartMessageTest, PictureAndPromptAreDrawnOnlyWhileTheBandCoversTheScreen) {
  WritePictures();
  CStartMessage message;
  auto draw = [&] { return DrawFrame(kBackground, [&] { message.Draw(); }); };
  auto isRed = [](std::uint32_t c) { return Red(c) > 200 && Green(c) < 40 && Blue(c) < 40; };
  auto isDarkBlue = [](std::uint32_t c) { return Red(c) < 10 && Blue(c) > 100 && Blue(c) < 150; };

  auto pixels = draw();
  EXPECT_EQ(At(pixels, 640, 360), 0x0000FFu) << "inactive: nothing drawn";

  message.active = true;
  for (int frame = 0; frame < 5; ++frame) {  // band 102.4 pixels high
    message.Update();
    EndFrame();
  }
  pixels = draw();
  EXPECT_TRUE(isDarkBlue(At(pixels, 640, 360))) << std::hex << At(pixels, 640, 360);
  EXPECT_EQ(At(pixels, 640, 250), 0x0000FFu) << "above the band";
  EXPECT_FALSE(isRed(At(pixels, 640, 360))) << "no picture while opening";

  OpenFully(message);
  pixels = draw();
  EXPECT_TRUE(isRed(At(pixels, 640, 360)));
  EXPECT_TRUE(isRed(At(pixels, 495, 290)));
  EXPECT_TRUE(isDarkBlue(At(pixels, 480, 360))) << "left of the picture: the band";
  EXPECT_TRUE(isDarkBlue(At(pixels, 640, 10))) << "the band reaches the top";
  const std::uint32_t prompt = At(pixels, 640, 680);
  EXPECT_TRUE(Green(prompt) > 200 && Red(prompt) < 40) << std::hex << prompt;

  SetEnter(KEY_PRESSED);
  message.Update();
  EndFrame();
  pixels = draw();
  EXPECT_TRUE(isRed(At(pixels, 640, 360))) << "the press frame still shows it";
  message.Update();  // first shrink: 409.6 pixels
  EndFrame();
  pixels = draw();
  EXPECT_FALSE(isRed(At(pixels, 640, 360)));
  EXPECT_TRUE(isDarkBlue(At(pixels, 640, 360)));
  EXPECT_FALSE(Green(At(pixels, 640, 680)) > 200);
  EXPECT_EQ(At(pixels, 640, 100), 0x0000FFu);
}

TEST_F(StartMessageTest, MissingPicturesStillOpenAndCloseTheBandAndDrawNothing) {
  CStartMessage message;  // no data folder at all
  ASSERT_NE(message.bandTexture, nullptr) << "the cache gives an empty picture";
  EXPECT_EQ(message.bandTexture->GetTexture(), nullptr);
  EXPECT_EQ(message.picture->GetTexture(), nullptr);
  message.active = true;
  EXPECT_EQ(OpenFully(message).size(), 7u);
  const auto pixels = DrawFrame(kBackground, [&] { message.Draw(); });
  EXPECT_EQ(At(pixels, 640, 360), 0x0000FFu);
  SetEnter(KEY_PRESSED);
  for (int frame = 0; frame < 20 && message.active; ++frame) {
    message.Update();
    EndFrame();
  }
  EXPECT_FALSE(message.active);
  EXPECT_EQ(scene_.startCameraSentBack, 1);
}

}  // namespace
}  // namespace message_test
