// A small scene with everything the game draws through the device: a
// perspective view of a textured floor, depth-tested shapes, a line list, an
// alpha-blended sprite overlay and text. Saved as a PNG to look at.
#include <d3dx9.h>

#include "platform/d3d9/device_fixture.h"

namespace glomp::test {
namespace {

TEST_F(DeviceTest, SceneScreenshot) {
  constexpr UINT W = 320, H = 240;
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9 *colour = nullptr, *depth = nullptr, *oldDepth = nullptr;
  ASSERT_EQ(device_->CreateTexture(W, H, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateDepthStencilSurface(W, H, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                               &depth, nullptr),
            D3D_OK);
  target->GetSurfaceLevel(0, &colour);
  device_->GetDepthStencilSurface(&oldDepth);
  device_->SetRenderTarget(0, colour);
  device_->SetDepthStencilSurface(depth);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                 1.0f, 0);
  device_->BeginScene();

  D3DXMATRIX view, projection, world;
  D3DXVECTOR3 eye(0, 4, -8), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, float(W) / H, 0.1f, 100.0f);
  device_->SetTransform(D3DTS_VIEW, &view);
  device_->SetTransform(D3DTS_PROJECTION, &projection);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);

  // Floor: an 8 x 8 checker, repeated four times, seen in perspective.
  std::vector<uint32_t> checker(64);
  for (int i = 0; i < 64; ++i) checker[i] = ((i / 8 + i % 8) % 2) ? 0xFFE0E0E0 : 0xFF208020;
  IDirect3DTexture9* floor = MakeTexture(8, 8, checker);
  D3DXMatrixIdentity(&world);
  device_->SetTransform(D3DTS_WORLD, &world);
  WorldVertex ground[4] = {{-6, 0, 6, 0xFFFFFFFF, 0, 0}, {6, 0, 6, 0xFFFFFFFF, 4, 0},
                           {6, 0, -6, 0xFFFFFFFF, 4, 4}, {-6, 0, -6, 0xFFFFFFFF, 0, 4}};
  device_->SetTexture(0, floor);
  device_->SetFVF(kWorldFvf);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, ground, sizeof(WorldVertex)), D3D_OK);
  device_->SetTexture(0, nullptr);

  // Two upright quads, the red one partly behind the yellow one.
  WorldVertex quad[4] = {{-1, 0, 0, 0, 0, 0}, {-1, 2, 0, 0, 0, 0}, {1, 2, 0, 0, 0, 0},
                         {1, 0, 0, 0, 0, 0}};
  auto drawQuad = [&](float x, float z, D3DCOLOR c) {
    for (WorldVertex& v : quad) v.color = c;
    D3DXMatrixTranslation(&world, x, 0, z);
    device_->SetTransform(D3DTS_WORLD, &world);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(WorldVertex));
  };
  drawQuad(-0.5f, 2, 0xFFFF0000);
  drawQuad(0.5f, 0, 0x80FFFF00);

  // A dashed path, as a moving block draws it.
  D3DXMatrixIdentity(&world);
  device_->SetTransform(D3DTS_WORLD, &world);
  std::vector<WorldVertex> dashes;
  for (int i = 0; i < 8; i += 2)
    for (int end = 0; end < 2; ++end)
      dashes.push_back({-4.0f + float(i + end), 0.05f, -2, 0xFFFF0000, 0, 0});
  device_->DrawPrimitiveUP(D3DPT_LINELIST, UINT(dashes.size() / 2), dashes.data(),
                           sizeof(WorldVertex));

  // Overlay: a translucent sprite and text.
  ID3DXSprite* sprite = nullptr;
  ID3DXFont* font = nullptr;
  D3DXCreateSprite(device_, &sprite);
  D3DXCreateFontA(device_, 24, 0, 0, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Face", &font);
  IDirect3DTexture9* white = MakeTexture(1, 1, {0xFFFFFFFF});
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  D3DXMATRIX band;
  D3DXMatrixScaling(&band, float(W), 36, 1);
  sprite->SetTransform(&band);
  sprite->Draw(white, nullptr, nullptr, nullptr, 0x80000000);
  D3DXMATRIX textAt;
  D3DXMatrixTranslation(&textAt, 8, 6, 0);
  sprite->SetTransform(&textAt);
  RECT rect = {0, 0, 0, 0};
  font->DrawTextA(sprite, "glomp! ver1.0.2 \x83\x58", -1, &rect, DT_CALCRECT, 0xFFFFFFFF);
  font->DrawTextA(sprite, "glomp! ver1.0.2 \x83\x58", -1, &rect, 0, 0xFFFFFFFF);
  sprite->End();
  device_->EndScene();

  auto pixels = ReadPixels(colour);
  EXPECT_TRUE(Near(At(pixels, W, W - 2, 40), 0, 0, 255)) << "sky is the clear colour";
  EXPECT_TRUE(Near(At(pixels, W, W - 2, 2), 0, 0, 128, 3)) << "half-black band over blue";
  SavePng("d3d9_scene.png", colour);

  sprite->Release();
  font->Release();
  white->Release();
  floor->Release();
  IDirect3DSurface9* back = nullptr;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  device_->SetRenderTarget(0, back);
  device_->SetDepthStencilSurface(oldDepth);
  back->Release();
  oldDepth->Release();
  colour->Release();
  depth->Release();
  target->Release();
}

}  // namespace
}  // namespace glomp::test
