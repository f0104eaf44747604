// Missing and broken effect files: the compile error box with the compiler's text,
// and the game goes on drawing what it can.
#include <filesystem>

#include "render/BlurShader.h"
#include "render/EdgeShader.h"
#include "render/EnvironmentMap.h"
#include "render/ShadowMap.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"

namespace shading {
namespace {

const char kCaption[] = "シェーダコンパイルエラー";

using EffectFailureTest = ShadingTest;

TEST_F(EffectFailureTest, MissingToonEffectIsReportedAndDrawingGoesOn) {
  std::filesystem::remove("Shader/Sample.fx");
  CToonShader toon;
  EXPECT_FALSE(toon.Create());
  const auto boxes = glomp::headless::AskedBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kCaption);
  EXPECT_NE(boxes[0].text.find("Sample.fx"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].type, UINT(MB_OK));
  EXPECT_EQ(toon.GetEffect(), nullptr);
  EXPECT_EQ(toon.GetTargetA()->texture, nullptr);

  // A frame without the effect: the toon draws do nothing, plain drawing still shows.
  SetCamera(D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 0, 0));
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                 1.0f, 0);
  device_->BeginScene();
  toon.SetFrameParameters();
  toon.BeginSceneTargets();
  CPolygon polygon;
  toon.DrawPolygon(&polygon, nullptr, "Tech");
  toon.DrawSkinned(nullptr, D3DXMATRIX(), nullptr);
  toon.EndSceneTargets();
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
  } quad[4] = {{0, 0, 0.5f, 1, 0xFF00FF00},
               {8, 0, 0.5f, 1, 0xFF00FF00},
               {0, 8, 0.5f, 1, 0xFF00FF00},
               {8, 8, 0.5f, 1, 0xFF00FF00}};
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
  device_->EndScene();
  const std::vector<std::uint32_t> pixels = ReadPixels();
  EXPECT_EQ(At(pixels, 4, 4) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(At(pixels, 30, 30) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(EffectFailureTest, BrokenShadowEffectShowsTheCompilerTextAndTheOthersStillWork) {
  WriteText("Shader/ShadowMap.fx",
            "@parameter float4x4 mW\n"
            "@glsl vertex V\nvoid main() { gl_Position = mW * inPosition; }\n"
            "@glsl fragment F\nvoid main() { outColor0 = vec4(undeclared, 1.0); }\n"
            "@technique Tech\n@pass P0 V F\n");
  CShadowMap shadowMap;
  EXPECT_FALSE(shadowMap.Create());
  CBlurShader blur;
  CEdgeShader edges;
  CEnvironmentMap environment;
  EXPECT_TRUE(blur.Create());
  EXPECT_TRUE(edges.Create());
  EXPECT_TRUE(environment.Create());  // its ramp and cube map are missing: not reported
  const auto boxes = glomp::headless::AskedBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kCaption);
  EXPECT_NE(boxes[0].text.find("ShadowMap.fx"), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("undeclared"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(shadowMap.GetShadowTarget()->texture, nullptr);
  EXPECT_EQ(shadowMap.depthSurface.surface, nullptr);

  // The shadow pass without its map leaves the frame's target and depth surface alone.
  IDirect3DSurface9* target = nullptr;
  IDirect3DSurface9* depth = nullptr;
  const D3DXVECTOR3 eye(0, 10, 0);
  shadowMap.BeginShadowPass(&eye);
  device_->GetRenderTarget(0, &target);
  device_->GetDepthStencilSurface(&depth);
  EXPECT_EQ(target, CGraphicsDevice::GetInstance().backBuffer);
  EXPECT_EQ(depth, CGraphicsDevice::GetInstance().depthSurface);
  target->Release();
  depth->Release();
  shadowMap.EndShadowPass();
  device_->GetRenderTarget(0, &target);
  EXPECT_EQ(target, CGraphicsDevice::GetInstance().backBuffer);
  target->Release();
  environment.Destroy();
  edges.Destroy();
  blur.Destroy();
}

TEST_F(EffectFailureTest, EveryShippedEffectCompiles) {
  WriteThreeBandRamp("data/texture/shader/Toon.png");
  CToonShader toon;
  CShadowMap shadowMap;
  CBlurShader blur;
  CEdgeShader edges;
  CEnvironmentMap environment;
  EXPECT_TRUE(toon.Create());
  EXPECT_TRUE(shadowMap.Create());
  EXPECT_TRUE(blur.Create());
  EXPECT_TRUE(edges.Create());
  EXPECT_TRUE(environment.Create());
  for (const auto& box : glomp::headless::AskedBoxes()) ADD_FAILURE() << box.text;
  for (const char* technique : {"Tech", "OutlineTech", "WalkEffectTech", "FlagTech"}) {
    EXPECT_NE(toon.GetEffect()->GetTechniqueByName(technique), nullptr) << technique;
  }
  EXPECT_NE(shadowMap.GetEffect()->GetTechniqueByName("Tech"), nullptr);
  EXPECT_NE(blur.GetEffect()->GetTechniqueByName("DisTech"), nullptr);
  EXPECT_NE(environment.GetEffect()->GetParameterByName(nullptr, "CubeTex"), nullptr);
  environment.Destroy();
  edges.Destroy();
  blur.Destroy();
  shadowMap.Destroy();
  toon.Destroy();
}

}  // namespace
}  // namespace shading
