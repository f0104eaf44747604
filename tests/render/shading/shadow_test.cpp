// The shadow map in the game scene's set-up: light (-1, -1, 1), the eye 50 units
// back from the focus along the light, an orthographic volume 120 x 120 x (1..100).
#include <cstring>

#include "render/ShadowMap.h"
#include "render/StaticMesh.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"
#include "platform/tex/tex_files.h"

namespace shading {
namespace {

class ShadowTest : public ShadingTest {
 protected:
  void SetUp() override {
    ShadingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteThreeBandRamp("data/texture/shader/Toon.png");
    const D3DXVECTOR3 direction(-1, -1, 1);
    const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1.0f), ambient(0.6f, 0.6f, 0.6f, 0.0f),
        specular(1, 1, 1, 0);
    CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &diffuse, &ambient,
                                                       &specular);
    D3DXVec3Normalize(&light_, &direction);
    ASSERT_TRUE(shadowMap_.Create());
  }
  void TearDown() override {
    shadowMap_.Destroy();
    ShadingTest::TearDown();
  }

  // The game's shadow pass around `focus` with the given casters.
  void ShadowPass(const D3DXVECTOR3& focus, std::initializer_list<CStaticMesh*> casters) {
    const D3DXVECTOR3 eye = focus - 50.0f * light_;
    shadowMap_.BeginShadowPass(&eye);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (CStaticMesh* caster : casters) {
      shadowMap_.GetEffect()->SetMatrix("mW", &identity);
      shadowMap_.DrawStaticMesh(caster);
    }
    shadowMap_.EndShadowPass();
  }

  // Texels of the map that hold a caster.
  int CasterTexels() {
    const std::vector<std::uint32_t> bits = ReadPixels(shadowMap_.GetShadowTarget()->surface);
    int count = 0;
    for (std::uint32_t word : bits) {
      float value = 0.0f;
      std::memcpy(&value, &word, 4);
      if (value < -0.5f) ++count;
    }
    return count;
  }

  std::unique_ptr<CStaticMesh> Box(const char* name, const D3DXVECTOR3& centre, float half) {
    WriteText(name, BoxModel(centre.x, centre.y, centre.z, half, half, half));
    auto mesh = std::make_unique<CStaticMesh>();
    EXPECT_TRUE(mesh->Load(device_, name));
    return mesh;
  }

  D3DXVECTOR3 light_;
  CShadowMap shadowMap_;
};

TEST_F(ShadowTest, BoxOnFloorDarkensTheFloorBehindIt) {
  WriteText("floor.x", BoxModel(0, -0.5f, 0, 30, 0.5f, 30));
  WriteText("box.x", BoxModel(0, 2, 0, 2, 2, 2));
  CStaticMesh floor, box;
  ASSERT_TRUE(floor.Load(device_, "floor.x"));
  ASSERT_TRUE(box.Load(device_, "box.x"));
  CToonShader toon;
  ASSERT_TRUE(toon.Create());

  IDirect3DSurface9* targetBefore = nullptr;
  IDirect3DSurface9* depthBefore = nullptr;
  device_->GetRenderTarget(0, &targetBefore);
  device_->GetDepthStencilSurface(&depthBefore);
  ShadowPass(D3DXVECTOR3(0, 0, 0), {&floor, &box});
  IDirect3DSurface9* targetAfter = nullptr;
  IDirect3DSurface9* depthAfter = nullptr;
  device_->GetRenderTarget(0, &targetAfter);
  device_->GetDepthStencilSurface(&depthAfter);
  EXPECT_EQ(targetAfter, targetBefore);
  EXPECT_EQ(depthAfter, depthBefore);
  for (IDirect3DSurface9* s : {targetBefore, depthBefore, targetAfter, depthAfter}) s->Release();

  SetCamera(D3DXVECTOR3(-22, 22, 0), D3DXVECTOR3(-2, 0, 0));
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                 1.0f, 0);
  device_->BeginScene();
  toon.SetFrameParameters();
  toon.SetShadowParameters(shadowMap_);
  toon.BeginSceneTargets();
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  for (CStaticMesh* mesh : {&floor, &box}) {
    toon.GetEffect()->SetMatrix("mW", &identity);
    toon.DrawStaticMesh(mesh);
  }
  toon.EndSceneTargets();
  device_->EndScene();
  const std::vector<std::uint32_t> colour = ReadPixels(toon.GetTargetA()->surface);
  Save("shadow_box_on_floor", colour, kW, kH);

  // (-3.5, 0, 1) sees the light through the box; (-3.5, 0, -4.5) beside it sees it freely.
  int sx = 0, sy = 0, lx = 0, ly = 0;
  Project(D3DXVECTOR3(-3.5f, 0, 1), &sx, &sy);
  Project(D3DXVECTOR3(-3.5f, 0, -4.5f), &lx, &ly);
  const Rgb shadowed = Split(At(colour, sx, sy));
  const Rgb lit = Split(At(colour, lx, ly));
  EXPECT_LT(shadowed.r + 40, lit.r) << "shadow " << shadowed.r << " lit " << lit.r;
  toon.Destroy();
}

TEST_F(ShadowTest, CastersOutsideTheLightVolumeCastNothing) {
  const D3DXVECTOR3 focus(10, 0, -20);
  const D3DXVECTOR3 eye = focus - 50.0f * light_;
  const D3DXVECTOR3 up(0, 1, 0);
  D3DXVECTOR3 side, vertical;  // the light view's x and y axes
  D3DXVec3Cross(&side, &up, &light_);
  D3DXVec3Normalize(&side, &side);
  D3DXVec3Cross(&vertical, &light_, &side);

  // Along the light: the volume ends 100 units from the eye.
  auto nearEnd = Box("near.x", eye + 98.0f * light_, 0.5f);
  ShadowPass(focus, {nearEnd.get()});
  EXPECT_GT(CasterTexels(), 0) << "98 units along the light is inside";
  auto beyond = Box("beyond.x", eye + 101.0f * light_, 0.5f);
  ShadowPass(focus, {beyond.get()});
  EXPECT_EQ(CasterTexels(), 0) << "101 units along the light is outside";

  // Sideways: the volume is 120 wide, 60 each side of the light's axis.
  auto inside = Box("inside.x", eye + 50.0f * light_ + 59.0f * side, 0.5f);
  ShadowPass(focus, {inside.get()});
  EXPECT_GT(CasterTexels(), 0) << "59 to the side is inside";
  auto aside = Box("aside.x", eye + 50.0f * light_ + 61.0f * side, 0.5f);
  ShadowPass(focus, {aside.get()});
  EXPECT_EQ(CasterTexels(), 0) << "61 to the side is outside";
  auto above = Box("above.x", eye + 50.0f * light_ + 61.0f * vertical, 0.5f);
  ShadowPass(focus, {above.get()});
  EXPECT_EQ(CasterTexels(), 0) << "61 above the axis (in the light's view) is outside";
}

TEST_F(ShadowTest, PassWithoutEyeKeepsTheLightButClearsTheMap) {
  auto box = Box("box.x", D3DXVECTOR3(0, 0, 0), 1.0f);
  ShadowPass(D3DXVECTOR3(0, 0, 0), {box.get()});
  const D3DXMATRIX before = shadowMap_.GetLightViewProjection();
  ASSERT_GT(CasterTexels(), 0);
  shadowMap_.BeginShadowPass(nullptr);  // the title's pass: opened and closed at once
  shadowMap_.EndShadowPass();
  EXPECT_EQ(std::memcmp(&before, &shadowMap_.GetLightViewProjection(), sizeof before), 0);
  EXPECT_EQ(CasterTexels(), 0);
}

TEST_F(ShadowTest, TransparentSubsetsCastNoShadow) {
  for (const char* alpha : {"0", "0.01"}) {
    const std::string material = std::string("1;1;1;") + alpha + ";; 10; 0;0;0;; 0;0;0;;";
    WriteText("box.x", BoxModel(0, 0, 0, 1, 1, 1, material.c_str()));
    CStaticMesh box;
    ASSERT_TRUE(box.Load(device_, "box.x"));
    ShadowPass(D3DXVECTOR3(0, 0, 0), {&box});
    if (std::string(alpha) == "0") {
      EXPECT_EQ(CasterTexels(), 0);
    } else {
      EXPECT_GT(CasterTexels(), 0);
    }
  }
}

// A subset with a picture: cut-out texels still cast nothing, and a picture with
// none casts just as an untextured box does (drawn without the alpha test).
TEST_F(ShadowTest, CutOutPicturesCastNothingWhereTheyAreCutOut) {
  ShadowPass(D3DXVECTOR3(0, 0, 0), {Box("plain.x", D3DXVECTOR3(0, 0, 0), 1).get()});
  const int plain = CasterTexels();
  ASSERT_GT(plain, 0);
  // The box has no texture coordinates: each picture is read at its corner.
  for (const auto& [name, alpha] : {std::pair<const char*, int>{"solid.png", 255},
                                    {"holes.png", 0}}) {
    texfiles::WriteFile(name, texfiles::Png(4, 4, 4, [alpha = alpha](int, int) {
      return texfiles::Rgba(200, 100, 50, alpha);
    }));
    const std::string material =
        std::string("1;1;1;1;; 10; 0;0;0;; 0;0;0;; TextureFilename { \"") + name + "\"; }";
    WriteText("textured.x", BoxModel(0, 0, 0, 1, 1, 1, material.c_str()));
    CStaticMesh box;
    ASSERT_TRUE(box.Load(device_, "textured.x"));
    ASSERT_NE(box.textures[0].texture, nullptr) << name;
    EXPECT_EQ(box.textures[0].opaque, alpha == 255) << name;
    ShadowPass(D3DXVECTOR3(0, 0, 0), {&box});
    EXPECT_EQ(CasterTexels(), alpha == 255 ? plain : 0) << name;
  }
}

}  // namespace
}  // namespace shading
