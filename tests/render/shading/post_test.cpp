// The stencil clip, the edge overlay and the distortion pass.
#include <algorithm>
#include <cstdlib>

#include "render/BlurShader.h"
#include "render/EdgeShader.h"
#include "render/StaticMesh.h"
#include "render/StencilClip.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"

namespace shading {
namespace {

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};

// A fixed-function rectangle in screen pixels.
void DrawRectangle(IDirect3DDevice9* device, float x, float y, float w, float h,
                   D3DCOLOR colour) {
  const ScreenVertex quad[4] = {{x, y, 0.5f, 1, colour},
                                {x + w, y, 0.5f, 1, colour},
                                {x, y + h, 0.5f, 1, colour},
                                {x + w, y + h, 0.5f, 1, colour}};
  device->SetTexture(0, nullptr);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
}

using StencilTest = ShadingTest;

TEST_F(StencilTest, MaskMarksOnlyTheStencilAndClipPassesInsideOnly) {
  StencilClip clip;
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000,
                 1.0f, 0);
  device_->BeginScene();
  ASSERT_TRUE(clip.BeginMask(device_, 0));
  EXPECT_EQ(clip.clipping, 0);
  DrawRectangle(device_, 16, 12, 32, 24, 0xFF00FF00);
  ASSERT_TRUE(clip.EndMask());
  device_->EndScene();
  std::vector<std::uint32_t> pixels = ReadPixels();
  EXPECT_EQ(At(pixels, 32, 24) & 0xFFFFFF, 0u) << "the mask writes no colour";

  device_->BeginScene();
  ASSERT_TRUE(clip.BeginClip());
  EXPECT_EQ(clip.clipping, 1);
  DrawRectangle(device_, 0, 0, float(kW), float(kH), 0xFFFF0000);
  ASSERT_TRUE(clip.EndClip());
  device_->EndScene();
  pixels = ReadPixels();
  Save("stencil_clip", pixels, kW, kH);
  EXPECT_EQ(At(pixels, 32, 24) & 0xFFFFFF, 0xFF0000u) << "inside the mask";
  EXPECT_EQ(At(pixels, 17, 13) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(At(pixels, 2, 2) & 0xFFFFFF, 0u) << "outside the mask";
  EXPECT_EQ(At(pixels, 60, 40) & 0xFFFFFF, 0u);
  EXPECT_EQ(At(pixels, 15, 24) & 0xFFFFFF, 0u);

  // EndClip switches the stencil off but leaves function and reference to the next user.
  DWORD value = 0;
  device_->GetRenderState(D3DRS_STENCILENABLE, &value);
  EXPECT_EQ(value, FALSE);
  device_->GetRenderState(D3DRS_STENCILFUNC, &value);
  EXPECT_EQ(value, DWORD(D3DCMP_LESSEQUAL));
}

TEST_F(StencilTest, EndMaskRestoresDepthTestAndFunction) {
  StencilClip clip;
  const std::pair<DWORD, DWORD> cases[] = {{D3DZB_FALSE, D3DCMP_GREATER},
                                           {D3DZB_TRUE, D3DCMP_LESSEQUAL}};
  for (const auto& [enable, function] : cases) {
    device_->SetRenderState(D3DRS_ZENABLE, enable);
    device_->SetRenderState(D3DRS_ZFUNC, function);
    ASSERT_TRUE(clip.BeginMask(device_));
    DWORD value = 0;
    device_->GetRenderState(D3DRS_ZFUNC, &value);
    EXPECT_EQ(value, DWORD(D3DCMP_NEVER));
    ASSERT_TRUE(clip.EndMask());
    device_->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, enable);
    device_->GetRenderState(D3DRS_ZFUNC, &value);
    EXPECT_EQ(value, function);
    device_->GetRenderState(D3DRS_STENCILENABLE, &value);
    EXPECT_EQ(value, FALSE);
  }
}

TEST(StencilClipWithoutDevice, EveryStepRefusesAndChangesNothing) {
  StencilClip clip;
  EXPECT_FALSE(clip.EndMask());
  EXPECT_FALSE(clip.BeginClip());
  EXPECT_FALSE(clip.EndClip());
  EXPECT_FALSE(clip.BeginMask(nullptr));
  EXPECT_EQ(clip.device, nullptr);
  EXPECT_EQ(clip.clipping, 0);
}

class EdgeTest : public ShadingTest {};

TEST_F(EdgeTest, EdgePassOutlinesSilhouettesAndLeavesTheRestTransparent) {
  WriteThreeBandRamp("data/texture/shader/Toon.png");
  CToonShader toon;
  CEdgeShader edges;
  ASSERT_TRUE(toon.Create());
  ASSERT_TRUE(edges.Create());
  WriteText("floor.x", BoxModel(0, -0.5f, 0, 20, 0.5f, 20));
  WriteText("box.x", BoxModel(0, 1, 0, 1, 1, 1));
  CStaticMesh floor, box;
  ASSERT_TRUE(floor.Load(device_, "floor.x"));
  ASSERT_TRUE(box.Load(device_, "box.x"));
  const D3DXVECTOR3 direction(-1, -1, 1);
  const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1), ambient(0.6f, 0.6f, 0.6f, 0), white(1, 1, 1, 1);
  CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &diffuse, &ambient, &white);
  SetCamera(D3DXVECTOR3(0, 2, -6), D3DXVECTOR3(0, 1, 0));

  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                 1.0f, 0);
  device_->BeginScene();
  toon.SetFrameParameters();
  toon.BeginSceneTargets();
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  for (CStaticMesh* mesh : {&floor, &box}) {
    toon.GetEffect()->SetMatrix("mW", &identity);
    toon.DrawStaticMesh(mesh);
  }
  toon.EndSceneTargets();
  edges.DrawEdges(toon);
  IDirect3DSurface9* target = nullptr;
  device_->GetRenderTarget(0, &target);
  EXPECT_EQ(target, CGraphicsDevice::GetInstance().backBuffer) << "the back buffer is bound again";
  target->Release();
  // The frame's composite: the 3D image, then the edge overlay.
  ID3DXSprite* sprite = CGraphicsDevice::GetInstance().sprite;
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  CGraphicsDevice::GetInstance().DrawTexture(toon.GetTargetA(), 0xFFFFFFFF, &identity);
  CGraphicsDevice::GetInstance().DrawTexture(edges.GetEdgeTarget(), 0xFFFFFFFF, &identity);
  sprite->End();
  device_->EndScene();
  Save("edge_overlay_composite", ReadPixels(), kW, kH);

  const std::vector<std::uint32_t> edge = ReadPixels(edges.GetEdgeTarget()->surface);
  Save("edge_overlay_alone", edge, kW, kH);
  int left = 0, right = 0, y = 0, top = 0, x = 0;
  Project(D3DXVECTOR3(-1, 1, -1), &left, &y);
  Project(D3DXVECTOR3(1, 1, -1), &right, &y);
  Project(D3DXVECTOR3(0, 2, -1), &x, &top);
  auto darkAround = [&](int px, int py) {
    int best = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const Rgb c = Split(At(edge, px + dx, py + dy));
        if (c.r < 60 && c.g < 60 && c.b < 60) best = std::max(best, c.a);
      }
    }
    return best;
  };
  EXPECT_GT(darkAround(left, y), 150) << "left silhouette of the box";
  EXPECT_GT(darkAround(right, y), 150) << "right silhouette of the box";
  // The middle of the box's front face and the open floor are left clear.
  int fx = 0, fy = 0;
  Project(D3DXVECTOR3(0, 1, -1), &fx, &fy);
  EXPECT_EQ(Split(At(edge, fx, fy)).a, 0);
  Project(D3DXVECTOR3(3, 0, -2), &fx, &fy);
  EXPECT_EQ(Split(At(edge, fx, fy)).a, 0);

  // The frame's one-pass composite leaves what the two sprites left, to a level,
  // and draws nothing into the edge target.
  const std::vector<std::uint32_t> twoSprites = ReadPixels();
  const std::vector<std::uint32_t> colourOnly = [&] {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device_->BeginScene();
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    CGraphicsDevice::GetInstance().DrawTexture(toon.GetTargetA(), 0xFFFFFFFF, &identity);
    sprite->End();
    device_->EndScene();
    return ReadPixels();
  }();
  device_->ColorFill(edges.GetEdgeTarget()->surface, nullptr, 0x00000000);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  device_->BeginScene();
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  ASSERT_TRUE(edges.DrawComposite(toon));
  sprite->End();
  device_->EndScene();
  const std::vector<std::uint32_t> onePass = ReadPixels();
  Save("edge_overlay_one_pass", onePass, kW, kH);
  int worst = 0, edgePixels = 0;
  for (std::size_t i = 0; i < onePass.size(); ++i) {
    const Rgb a = Split(onePass[i]), b = Split(twoSprites[i]), c = Split(colourOnly[i]);
    worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    if (std::abs(a.r - c.r) + std::abs(a.g - c.g) + std::abs(a.b - c.b) > 60) ++edgePixels;
  }
  EXPECT_LE(worst, 2) << "largest difference from the two-sprite composite, in levels";
  EXPECT_GT(edgePixels, 20) << "the edges are laid over the colour image";
  EXPECT_EQ(ReadPixels(edges.GetEdgeTarget()->surface), std::vector<std::uint32_t>(onePass.size(), 0u))
      << "the edge target is left alone";
  toon.Destroy();
  edges.Destroy();
}

TEST_F(EdgeTest, OnePassCompositeDrawsNothingWithoutTheEffectOrTheTargets) {
  WriteThreeBandRamp("data/texture/shader/Toon.png");
  CToonShader toon;
  CEdgeShader edges;
  EXPECT_FALSE(edges.DrawComposite(toon)) << "neither the edge effect nor the toon targets";
  ASSERT_TRUE(edges.Create());
  EXPECT_FALSE(edges.DrawComposite(toon)) << "no toon targets";
  ASSERT_TRUE(toon.Create());
  EXPECT_TRUE(edges.DrawComposite(toon));
  edges.Destroy();
  EXPECT_FALSE(edges.DrawComposite(toon)) << "the edge effect destroyed";
  toon.Destroy();
}

using DistortionTest = ShadingTest;

TEST_F(DistortionTest, DrawingOverItsOwnInputSamplesACopyDisplacedByTheDistortion) {
  CBlurShader blur;
  ASSERT_TRUE(blur.Create());
  CTexture input, distortion;
  ASSERT_TRUE(input.Create(512, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT));
  const RECT leftHalf = {0, 0, 256, 256}, rightHalf = {256, 0, 512, 256};
  device_->ColorFill(input.surface, &leftHalf, 0xFFFF0000);
  device_->ColorFill(input.surface, &rightHalf, 0xFF0000FF);
  // Red 1, green one half, fully applied: everything taken from 16 pixels to the right.
  ASSERT_TRUE(distortion.Create(8, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
  distortion.Fill(0xFFFF8080, 0);

  device_->BeginScene();
  input.SetAsRenderTarget(0);
  blur.DrawDistortion(&input, &distortion, 0, 0, 512, 256, D3DXVECTOR4(1, 1, 1, 1));
  device_->SetRenderTarget(0, CGraphicsDevice::GetInstance().backBuffer);
  device_->EndScene();

  D3DXVECTOR4 texel, distortionTexel;
  blur.GetEffect()->GetVector("g_TexelSize", &texel);
  blur.GetEffect()->GetVector("g_disTexelSize", &distortionTexel);
  EXPECT_FLOAT_EQ(texel.x, 1.0f / 512);
  EXPECT_FLOAT_EQ(texel.y, 1.0f / 256);
  EXPECT_FLOAT_EQ(distortionTexel.x, 1.0f / 8);
  EXPECT_FLOAT_EQ(distortionTexel.y, 1.0f / 4);

  std::vector<std::uint32_t> pixels = ReadPixels(input.surface);
  ASSERT_EQ(pixels.size(), 512u * 256u);
  Save("distortion_shifted", pixels, 512, 256);
  auto at = [&](int x, int y) { return pixels[std::size_t(y) * 512 + x] & 0xFFFFFF; };
  EXPECT_EQ(at(100, 128), 0xFF0000u);
  EXPECT_EQ(at(230, 128), 0xFF0000u);
  EXPECT_EQ(at(245, 128), 0x0000FFu) << "the border moved 16 pixels to the left";
  EXPECT_EQ(at(300, 128), 0x0000FFu);
  blur.Destroy();
}

}  // namespace
}  // namespace shading
