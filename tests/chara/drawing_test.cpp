// The slime and its effects on screen: the body in its colour, a ring's tint
// only where the ring lies, trails added onto the picture.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "../render/shading/shading_fixture.h"
#include "chara/CharaEffects.h"
#include "camera/Camera.h"
#include "chara/Slime.h"
#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "support/fake_scene.h"

namespace {

class CharaDrawingTest : public shading::ShadingTest {
 protected:
  void SetUp() override {
    const std::filesystem::path runDirectory = std::filesystem::current_path();
    shading::ShadingTest::SetUp();
    if (HasFatalFailure()) return;
    // The slime model and the effect pictures come from the run directory.
    std::filesystem::create_directory_symlink(runDirectory / "data", "data");
    g_resourceCache = new CResourceCache;
    CApplication& app = CApplication::GetInstance();
    ASSERT_TRUE(app.toonShader.Create());
    ASSERT_TRUE(app.blurShader.Create());
    CGraphicsDevice::GetInstance().SetDirectionalLight(
        0, &lightDirection_, &white_, &grey_, &white_);
    drawView.camera = &camera_;
  }
  void TearDown() override {
    CApplication& app = CApplication::GetInstance();
    app.blurShader.Destroy();
    app.toonShader.Destroy();
    delete g_resourceCache;
    g_resourceCache = nullptr;
    shading::ShadingTest::TearDown();
  }

  // One 3D pass: the slime, then its effects the way the player draws them.
  std::vector<std::uint32_t> DrawFrame(CSlime& slime, CharaEffects& effects) {
    CApplication& app = CApplication::GetInstance();
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    const D3DXVECTOR3 eye(0, 3, -5), at(0, 0.5f, 0);
    SetCamera(eye, at);
    D3DXMatrixInverse(&camera_.world, nullptr, &view_);
    app.toonShader.SetFrameParameters();
    device_->BeginScene();
    app.toonShader.BeginSceneTargets();
    slime.Draw();
    device_->SetRenderTarget(2, nullptr);
    app.toonShader.GetEffect()->SetTexture("DepthTex", app.toonShader.GetTargetC()->texture);
    graphics.Begin2D();
    device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    effects.Draw();
    graphics.End2D();
    app.toonShader.EndSceneTargets();
    device_->EndScene();
    return ReadPixels(app.toonShader.GetTargetA()->surface);
  }

  // The slime standing at the origin in that colour, as the scene's slime.
  void StandSlime(CSlime& slime, const D3DXCOLOR& colour) {
    slime.colour = colour;
    slime.PlaceAt(D3DXVECTOR3(0, -0.5f, 0));
    slime.UpdateBones();
    drawView.slime = &slime;
  }
  // A walking ring to its left, a dozen trails dropped up to its right.
  static void AddRingAndTrails(CharaEffects& effects) {
    effects.AddRing(D3DXVECTOR3(-1.5f, -0.5f, 0), D3DXVECTOR3(0, 1, 0), 1);
    for (int i = 0; i < 12; ++i) effects.AddTrail(D3DXVECTOR3(1.5f, 1.0f, 0), D3DXVECTOR3(0, 0, 0));
  }

  D3DXVECTOR3 lightDirection_{0.3f, -1, 0.5f};
  D3DXCOLOR white_{1, 1, 1, 1};
  D3DXCOLOR grey_{0.4f, 0.4f, 0.4f, 1};
  FakeScene drawView;  // a game scene: the slime's effects look at its camera
  CCamera camera_;
};

TEST_F(CharaDrawingTest, TheBodyInItsColourAndTheRingTintedOnlyWhereItLies) {
  CSlime slime;
  StandSlime(slime, D3DXCOLOR(1, 0.2f, 0.2f, 1));
  drawView.playerColour = D3DXCOLOR(0, 1, 0, 1);  // a green tint
  CharaEffects effects;
  AddRingAndTrails(effects);
  const std::vector<std::uint32_t> pixels = DrawFrame(slime, effects);
  Save("slime_ring", pixels, kW, kH);

  int x = 0, y = 0;
  Project(D3DXVECTOR3(0, 0.5f, -0.45f), &x, &y);
  const shading::Rgb body = shading::Split(At(pixels, x, y));
  EXPECT_GT(body.r, body.g + 40) << "the body is drawn reddish";
  // The tint shows green where the ring's picture lies, and nowhere outside the
  // ring's square (2.56 units wide around (-1.5, 0, 0)).
  int left = kW, right = 0, top = kH, bottom = 0;
  for (float dx : {-1.28f, 1.28f}) {
    for (float dz : {-1.28f, 1.28f}) {
      Project(D3DXVECTOR3(-1.5f + dx, 0, dz), &x, &y);
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  int inside = 0, outside = 0;
  for (int py = 0; py < kH; ++py) {
    for (int px = 0; px < kW; ++px) {
      const shading::Rgb c = shading::Split(At(pixels, px, py));
      if (c.g < c.r + 40 || c.g < 60 || c.b > c.g / 2) continue;  // green, not the trails
      const bool inRing = px >= left - 1 && px <= right + 1 && py >= top - 1 && py <= bottom + 1;
      (inRing ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 300);
  EXPECT_EQ(outside, 0);

  // Trail sprites light up the dark background around where they were dropped
  // (scattered up to half a unit), and only there on the right-hand side.
  int lit = 0, strayLit = 0;
  Project(D3DXVECTOR3(1.5f, 1.0f, 0), &x, &y);
  for (int py = 0; py < kH; ++py) {
    for (int px = kW / 2 + 60; px < kW; ++px) {
      const shading::Rgb c = shading::Split(At(pixels, px, py));
      if (c.r + c.g + c.b < 60) continue;
      (std::abs(px - x) < 60 && std::abs(py - y) < 60 ? lit : strayLit) += 1;
    }
  }
  EXPECT_GT(lit, 20);
  EXPECT_EQ(strayLit, 0);
}

}  // namespace

namespace {

// The distortion pass is left out while its target holds nothing; the frame must
// be the one the pass would have given.
TEST_F(CharaDrawingTest, AnUnmarkedDistortionTargetIsSkippedWithoutChangingTheFrame) {
  CSlime slime;
  StandSlime(slime, D3DXCOLOR(0.2f, 0.4f, 1, 1));
  CharaEffects effects;
  ASSERT_FALSE(effects.distortionMarked) << "a new distortion target holds nothing";
  AddRingAndTrails(effects);
  const std::vector<std::uint32_t> skipped = DrawFrame(slime, effects);
  effects.distortionMarked = true;
  const std::vector<std::uint32_t> distorted = DrawFrame(slime, effects);
  ASSERT_EQ(skipped.size(), distorted.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < skipped.size(); ++i) differing += skipped[i] != distorted[i];
  EXPECT_EQ(differing, 0u) << "pixels the transparent distortion moved";
  // Some content, or the comparison proves nothing.
  EXPECT_GT(std::count_if(skipped.begin(), skipped.end(),
                          [](std::uint32_t p) { return (p & 0xFFFFFF) > 0x202020; }),
            1000);
}

TEST_F(CharaDrawingTest, WalkingStretchesTheBodyAlongItsPath) {
  int& frame = drawView.frameCount;
  CSlime slime;
  slime.colour = D3DXCOLOR(0.3f, 0.6f, 1, 1);
  slime.PlaceAt(D3DXVECTOR3(0, -0.5f, 0));
  drawView.slime = &slime;
  CharaEffects effects;
  // Columns of the picture that show some of the (blue) body.
  const auto bodyWidth = [&](const std::vector<std::uint32_t>& pixels) {
    int columns = 0;
    for (int px = 0; px < kW; ++px) {
      for (int py = 0; py < kH; ++py) {
        if (shading::Split(At(pixels, px, py)).b > 120) {
          ++columns;
          break;
        }
      }
    }
    return columns;
  };
  const auto walk = [&](float speed, int frames) {
    for (int end = frame + frames; frame < end; ++frame) {
      slime.velocity = D3DXVECTOR3(speed, 0, 0);
      slime.UpdateBones();
    }
  };
  walk(0, 1);
  const std::vector<std::uint32_t> resting = DrawFrame(slime, effects);
  walk(0.05f, 30);
  const std::vector<std::uint32_t> strolling = DrawFrame(slime, effects);
  walk(0.2f, 60);
  const std::vector<std::uint32_t> running = DrawFrame(slime, effects);
  walk(0, 300);
  const std::vector<std::uint32_t> stopped = DrawFrame(slime, effects);
  Save("slime_rest", resting, kW, kH);
  Save("slime_walk_slow", strolling, kW, kH);
  Save("slime_walk_fast", running, kW, kH);

  const int rest = bodyWidth(resting);
  EXPECT_GT(rest, 40);
  EXPECT_GT(bodyWidth(strolling), rest);
  EXPECT_GT(bodyWidth(running), bodyWidth(strolling));
  EXPECT_LT(bodyWidth(running), kW / 2);
  EXPECT_NEAR(bodyWidth(stopped), rest, 3);
}

}  // namespace
