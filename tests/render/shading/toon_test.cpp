// The toon effect on static meshes: ramp bands, the normal and depth targets, and
// which materials DrawStaticMesh leaves out.
#include <cstring>

#include "render/StaticMesh.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"

namespace shading {
namespace {

class ToonTest : public ShadingTest {
 protected:
  void SetUp() override {
    ShadingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteThreeBandRamp("data/texture/shader/Toon.png");
    ASSERT_TRUE(toon_.Create());
  }
  void TearDown() override {
    toon_.Destroy();
    ShadingTest::TearDown();
  }

  // One frame's 3D pass with `mesh` at the origin.
  void DrawFrame(CStaticMesh* mesh) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                   1.0f, 0);
    device_->BeginScene();
    toon_.SetFrameParameters();
    toon_.BeginSceneTargets();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    toon_.GetEffect()->SetMatrix("mW", &identity);
    toon_.DrawStaticMesh(mesh);
    toon_.EndSceneTargets();
    device_->EndScene();
  }

  CToonShader toon_;
};

bool IsGrey(const Rgb& c, int level, int tolerance) {
  return std::abs(c.r - level) <= tolerance && std::abs(c.g - level) <= tolerance &&
         std::abs(c.b - level) <= tolerance;
}

TEST_F(ToonTest, LitSphereShowsTheRampBandsAndFillsNormalAndDepthTargets) {
  WriteText("sphere.x", SphereModel(1.0f, 48, 24));
  CStaticMesh sphere;
  ASSERT_TRUE(sphere.Load(device_, "sphere.x"));
  // Light from the left; no ambient, no highlight: the picture is the ramp itself.
  const D3DXVECTOR3 direction(1, 0, 0);
  const D3DXCOLOR white(1, 1, 1, 1), black(0, 0, 0, 1);
  CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &white, &black, &black);
  SetCamera(D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 0, 0));
  DrawFrame(&sphere);

  const std::vector<std::uint32_t> colour = ReadPixels(toon_.GetTargetA()->surface);
  ASSERT_EQ(colour.size(), std::size_t(kW) * kH);
  Save("toon_sphere_bands", colour, kW, kH);

  // Across the middle row: only the three band levels, brightest towards the light.
  int x0 = 0, x1 = 0, y = 0;
  Project(D3DXVECTOR3(-0.95f, 0, 0), &x0, &y);
  Project(D3DXVECTOR3(0.95f, 0, 0), &x1, &y);
  int counts[3] = {0, 0, 0};
  int previousBand = 2;
  for (int x = x0 + 1; x < x1; ++x) {
    const Rgb c = Split(At(colour, x, kH / 2));
    const int band = IsGrey(c, 255, 3) ? 2 : IsGrey(c, kBandMiddle, 3) ? 1
                     : IsGrey(c, kBandDark, 3) ? 0 : -1;
    ASSERT_GE(band, 0) << "pixel " << x << " is " << c.r << "," << c.g << "," << c.b;
    EXPECT_LE(band, previousBand) << "bands must darken away from the light at " << x;
    previousBand = band;
    ++counts[band];
  }
  EXPECT_GT(counts[0], 2);
  EXPECT_GT(counts[1], 2);
  EXPECT_GT(counts[2], 2);
  // Outside the sphere the colour target keeps its clear value, almost transparent.
  EXPECT_LE(Split(At(colour, 1, 1)).a, 2);

  // Target 2 holds view depth in world units: the sphere's front is 3 away.
  const std::vector<std::uint32_t> depth = ReadPixels(toon_.GetTargetC()->surface);
  float centre = 0.0f, corner = 0.0f;
  std::memcpy(&centre, &depth[std::size_t(kH / 2) * kW + kW / 2], 4);
  std::memcpy(&corner, &depth[kW + 1], 4);
  EXPECT_NEAR(centre, 3.0f, 0.05f);
  EXPECT_NEAR(corner, 1.0f / 255.0f, 1e-3f);
  // Target 1 holds the view-space normal: facing the camera at the centre.
  const Rgb normal = Split(ReadPixels(toon_.GetTargetB()->surface)[std::size_t(kH / 2) * kW +
                                                                   kW / 2]);
  EXPECT_NEAR(normal.b, 0, 12);  // z = -1 packs to 0
  EXPECT_NEAR(normal.r, 128, 12);
  EXPECT_NEAR(normal.g, 128, 12);
}

TEST_F(ToonTest, StaticMeshMaterialsUpToHalfAlphaAreLeftOut) {
  const D3DXVECTOR3 direction(0, 0, 1);
  const D3DXCOLOR white(1, 1, 1, 1), black(0, 0, 0, 1);
  CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &white, &black, &black);
  SetCamera(D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 0, 0));
  for (const char* alpha : {"0.5", "0.51"}) {
    const std::string material = std::string("1;1;1;") + alpha + ";; 10; 0;0;0;; 0;0;0;;";
    WriteText("box.x", BoxModel(0, 0, 0, 1, 1, 1, material.c_str()));
    CStaticMesh box;
    ASSERT_TRUE(box.Load(device_, "box.x"));
    DrawFrame(&box);
    const Rgb centre = Split(ReadPixels(toon_.GetTargetA()->surface)[std::size_t(kH / 2) * kW +
                                                                     kW / 2]);
    if (std::string(alpha) == "0.5") {
      EXPECT_LE(centre.r, 2) << "alpha 0.5 is not drawn";
    } else {
      EXPECT_GT(centre.r, 100) << "alpha 0.51 is drawn";
    }
  }
}

TEST(GreyTest, ColouredTurnsGreyByWeightsAndGreyStaysAsItIs) {
  const D3DXCOLOR red = Grey(D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.5f));
  EXPECT_FLOAT_EQ(red.r, 306.0f / 1024.0f);
  EXPECT_FLOAT_EQ(red.g, red.r);
  EXPECT_FLOAT_EQ(red.b, red.r);
  EXPECT_FLOAT_EQ(red.a, 0.5f);
  const D3DXCOLOR mixed = Grey(D3DXCOLOR(0.2f, 0.4f, 0.6f, 1.0f));
  EXPECT_FLOAT_EQ(mixed.r, (306.0f * 0.2f + 601.0f * 0.4f + 117.0f * 0.6f) / 1024.0f);
  // Already grey: unchanged, even though the weights add up to 1024 only roughly.
  const D3DXCOLOR grey = Grey(D3DXCOLOR(0.7f, 0.7f, 0.7f, 0.3f));
  EXPECT_EQ(grey.r, 0.7f);
  EXPECT_EQ(grey.a, 0.3f);
}

}  // namespace
}  // namespace shading
