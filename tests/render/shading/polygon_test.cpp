// Textured polygons through the toon effect: the default material, the polygon's
// own texture (even none), vertex alpha, the flag cloth's tint and the ring
// effect hidden behind the scene's depth.
#include "render/Polygon.h"
#include "render/StaticMesh.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"

namespace shading {
namespace {

class PolygonTest : public ShadingTest {
 protected:
  void SetUp() override {
    ShadingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteThreeBandRamp("data/texture/shader/Toon.png");
    ASSERT_TRUE(toon_.Create());
    // Light straight from the camera, no ambient: a facing quad shows its colour as is.
    const D3DXVECTOR3 direction(0, 0, 1);
    const D3DXCOLOR white(1, 1, 1, 1), black(0, 0, 0, 1);
    CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &white, &black, &black);
    SetCamera(D3DXVECTOR3(0, 0, -2), D3DXVECTOR3(0, 0, 0));
  }
  void TearDown() override {
    toon_.Destroy();
    ShadingTest::TearDown();
  }

  // A unit quad facing the camera, all corners `colour`.
  static void MakeQuad(CPolygon* quad, D3DCOLOR colour, float z) {
    const float corners[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    for (int i = 0; i < 4; ++i) {
      quad->vertices[i] = {corners[i][0], corners[i][1], 0.0f, colour, corners[i][0] + 0.5f,
                           0.5f - corners[i][1]};
    }
    quad->position = D3DXVECTOR3(0, 0, z);
  }

  template <typename Draw>
  std::vector<std::uint32_t> Frame(Draw draw) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                   1.0f, 0);
    device_->BeginScene();
    toon_.SetFrameParameters();
    toon_.BeginSceneTargets();
    draw();
    toon_.EndSceneTargets();
    device_->EndScene();
    return ReadPixels(toon_.GetTargetA()->surface);
  }

  Rgb Centre(const std::vector<std::uint32_t>& pixels) { return Split(At(pixels, kW / 2, kH / 2)); }

  CToonShader toon_;
};

TEST_F(PolygonTest, WithoutMaterialTheDefaultIsUsedAndTheOwnTextureEvenNone) {
  CPolygon quad(toon_.GetWhiteTexture()->texture);
  MakeQuad(&quad, 0xFFFFFFFF, 0);
  std::vector<std::uint32_t> pixels = Frame([&] { toon_.DrawPolygon(&quad, nullptr, "Tech"); });
  D3DXVECTOR4 diffuse, specular;
  float power = 0;
  toon_.GetEffect()->GetVector("MateDiffuse", &diffuse);
  toon_.GetEffect()->GetVector("MateSpecular", &specular);
  toon_.GetEffect()->GetFloat("MateSpePower", &power);
  EXPECT_EQ(diffuse, D3DXVECTOR4(1, 1, 1, 1));
  EXPECT_EQ(specular, D3DXVECTOR4(1, 1, 1, 1));
  EXPECT_FLOAT_EQ(power, 100.0f);
  EXPECT_GT(Centre(pixels).g, 200) << "white quad, lit from the front";

  CPolygon bare;  // no texture: nothing is bound, not the white texture
  MakeQuad(&bare, 0xFFFFFFFF, 0);
  Frame([&] { toon_.DrawPolygon(&bare, nullptr, "Tech"); });
  IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
  toon_.GetEffect()->GetTexture("MateDiffuseTex", &bound);
  EXPECT_EQ(bound, nullptr);
}

TEST_F(PolygonTest, VertexAlphaReachesTheEffect) {
  CPolygon quad(toon_.GetWhiteTexture()->texture);
  MakeQuad(&quad, 0x80FFFFFF, 0);
  D3DMATERIAL9 material = {};
  material.Diffuse = {1, 1, 1, 1};
  const std::vector<std::uint32_t> pixels =
      Frame([&] { toon_.DrawPolygon(&quad, &material, "Tech"); });
  const Rgb centre = Split(At(pixels, kW / 2, kH / 2));
  EXPECT_NEAR(centre.r, 128, 3) << "half of white over the cleared black";
  EXPECT_NEAR(centre.a, 128, 3);
}

TEST_F(PolygonTest, FlagClothIsCyanUntouchedAndTheSlimesColourWhenReached) {
  CPolygon strip(toon_.GetWhiteTexture()->texture);
  MakeQuad(&strip, 0xFFFFFFFF, 0);
  D3DMATERIAL9 material = {};
  material.Power = 100;
  material.Diffuse = {0, 0, 0, 1};  // untouched
  std::vector<std::uint32_t> pixels =
      Frame([&] { toon_.DrawPolygon(&strip, &material, "FlagTech"); });
  Save("flag_untouched", pixels, kW, kH);
  Rgb c = Centre(pixels);
  EXPECT_LT(c.r, 8);
  EXPECT_GT(c.g, 247);
  EXPECT_GT(c.b, 247);

  material.Diffuse = {1.0f - 0.0f, 0.5f - 1.0f, 0.0f - 1.0f, 1};  // reached by an orange slime
  pixels = Frame([&] { toon_.DrawPolygon(&strip, &material, "FlagTech"); });
  c = Centre(pixels);
  EXPECT_GT(c.r, 247);
  EXPECT_NEAR(c.g, 128, 4);
  EXPECT_LT(c.b, 8);
}

TEST_F(PolygonTest, RingEffectHidesBehindTheScenesDepth) {
  WriteText("wall.x", BoxModel(0, 0, 0.5f, 2, 2, 0.5f, "1;0;0;1;; 10; 0;0;0;; 0;0;0;;"));
  CStaticMesh wall;  // its front face stands 2 units from the camera
  ASSERT_TRUE(wall.Load(device_, "wall.x"));
  for (float z : {-0.5f, 0.5f}) {
    CPolygon ring(toon_.GetWhiteTexture()->texture);
    MakeQuad(&ring, 0xFFFFFFFF, z);
    const std::vector<std::uint32_t> pixels = Frame([&] {
      D3DXMATRIX identity;
      D3DXMatrixIdentity(&identity);
      toon_.GetEffect()->SetMatrix("mW", &identity);
      toon_.DrawStaticMesh(&wall);
      // As the slimes draw their effects: target 2 unbound and read back as DepthTex,
      // with the device's own depth test out of the way.
      device_->SetRenderTarget(2, nullptr);
      toon_.GetEffect()->SetTexture("DepthTex", toon_.GetTargetC()->texture);
      device_->SetRenderState(D3DRS_ZENABLE, FALSE);
      toon_.DrawPolygon(&ring, nullptr, "WalkEffectTech");
      device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    });
    const Rgb c = Centre(pixels);
    if (z < 0) {
      EXPECT_GT(c.g, 200) << "a ring in front of the wall shows";
    } else {
      EXPECT_LT(c.g, 30) << "a ring behind the wall is hidden";
      EXPECT_GT(c.r, 100);
    }
  }
}

TEST_F(PolygonTest, FixedFunctionDrawPlacesTheQuadByOrientationAndPosition) {
  CPolygon quad(toon_.GetWhiteTexture()->texture);
  MakeQuad(&quad, 0xFF00FF00, 0);
  D3DXMatrixScaling(&quad.orientation, 0.5f, 0.5f, 1.0f);
  quad.position = D3DXVECTOR3(0.5f, 0, 0);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device_->BeginScene();
  quad.Draw();
  device_->EndScene();
  const std::vector<std::uint32_t> pixels = ReadPixels();
  Save("polygon_fixed_function", pixels, kW, kH);
  int x = 0, y = 0;
  Project(D3DXVECTOR3(0.5f, 0, 0), &x, &y);
  EXPECT_EQ(At(pixels, x, y) & 0xFFFFFF, 0x00FF00u);
  Project(D3DXVECTOR3(0.0f, 0, 0), &x, &y);  // left of the quarter-size quad
  EXPECT_EQ(At(pixels, x - 2, y) & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace shading
