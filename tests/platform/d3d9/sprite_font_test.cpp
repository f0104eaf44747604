// The D3DX sprite and font drawn through the device, read back as pixels.
#include <d3dx9.h>

#include "platform/d3d9/device_fixture.h"

namespace glomp::test {
namespace {

class SpriteTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite_), D3D_OK);
  }
  void TearDown() override {
    if (sprite_) sprite_->Release();
    DeviceTest::TearDown();
  }
  // A render-target texture bound as target 0, cleared to black.
  IDirect3DSurface9* BindTarget(UINT width, UINT height, IDirect3DTexture9** texture) {
    EXPECT_EQ(device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, texture, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    (*texture)->GetSurfaceLevel(0, &surface);
    EXPECT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    return surface;
  }
  void RestoreBackBuffer() {
    IDirect3DSurface9* back = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    device_->SetRenderTarget(0, back);
    back->Release();
  }
  ID3DXSprite* sprite_ = nullptr;
};

// Quadrants red, green / blue, white, and a black dot near the top-left corner.
std::vector<uint32_t> Asymmetric(UINT size) {
  std::vector<uint32_t> pixels(size_t{size} * size);
  for (UINT y = 0; y < size; ++y)
    for (UINT x = 0; x < size; ++x) {
      bool right = x >= size / 2, bottom = y >= size / 2;
      uint32_t c = !bottom ? (!right ? 0xFFFF0000 : 0xFF00FF00) : (!right ? 0xFF0000FF : 0xFFFFFFFF);
      if (x >= 2 && x < 4 && y >= 2 && y < 4) c = 0xFF000000;
      pixels[size_t{y} * size + x] = c;
    }
  return pixels;
}

TEST_F(SpriteTest, PictureKeepsItsOrientationThroughARenderTargetAndTheSprite) {
  IDirect3DTexture9* picture = MakeTexture(16, 16, Asymmetric(16));
  ASSERT_NE(picture, nullptr);
  // Draw the picture into a render target with a pretransformed textured quad.
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9* surface = BindTarget(kWidth, kHeight, &target);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTexture(0, picture);
  device_->BeginScene();
  ScreenVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                          {32, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                          {0, 32, 0, 1, 0xFFFFFFFF, 0, 1},
                          {32, 32, 0, 1, 0xFFFFFFFF, 1, 1}};
  device_->SetFVF(kScreenFvf);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
  device_->SetTexture(0, nullptr);
  // Then composite the target onto the back buffer with the sprite, as the game does.
  RestoreBackBuffer();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
  ASSERT_EQ(sprite_->Draw(target, nullptr, nullptr, nullptr, 0xFFFFFFFF), D3D_OK);
  ASSERT_EQ(sprite_->End(), D3D_OK);
  device_->EndScene();
  auto pixels = ReadPixels();
  EXPECT_TRUE(Near(At(pixels, kWidth, 5, 5), 0, 0, 0)) << "the dot stays top-left";
  EXPECT_TRUE(Near(At(pixels, kWidth, 10, 10), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 22, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 10, 22), 0, 0, 255));
  EXPECT_TRUE(Near(At(pixels, kWidth, 22, 22), 255, 255, 255));
  SavePng("d3d9_orientation.png");
  surface->Release();
  target->Release();
  picture->Release();
}

TEST_F(SpriteTest, StretchedSourceRegionCoversExactlyTheGivenSize) {
  // 128 x 64: red grows along x, green along y inside (0,0)-(100,50); blue outside.
  std::vector<uint32_t> pixels(128 * 64);
  for (UINT y = 0; y < 64; ++y)
    for (UINT x = 0; x < 128; ++x)
      pixels[y * 128 + x] = (x < 100 && y < 50) ? D3DCOLOR_ARGB(255, x * 2, y * 4, 0)
                                                : D3DCOLOR_ARGB(255, 0, 0, 255);
  IDirect3DTexture9* picture = MakeTexture(128, 64, pixels);
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9* surface = BindTarget(160, 120, &target);
  D3DXMATRIX transform, scaling, translation;
  D3DXMatrixScaling(&scaling, 100.0f / 100.0f, 80.0f / 50.0f, 0.0f);
  D3DXMatrixTranslation(&translation, 5, 3, 0);
  transform = scaling * translation;
  RECT source = {0, 0, 100, 50};
  sprite_->Begin(D3DXSPRITE_ALPHABLEND);
  sprite_->SetTransform(&transform);
  ASSERT_EQ(sprite_->Draw(picture, &source, nullptr, nullptr, 0xFFFFFFFF), D3D_OK);
  sprite_->End();
  auto out = ReadPixels(surface);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      Pixel p = At(out, 160, x, y);
      // Texels beyond the region only bleed into the last row through bilinear filtering.
      ASSERT_LT(p.b, y == 82 ? 64 : 8) << "texel from outside the source region at " << x << ","
                                       << y;
      bool inside = x >= 5 && x < 105 && y >= 3 && y < 83;
      if (!inside) {
        ASSERT_TRUE(Near(p, 0, 0, 0)) << x << "," << y;
        continue;
      }
      // Horizontally 1:1, vertically 50 texels over 80 pixels.
      float u = float(x - 5) + 0.5f, v = (float(y - 3) + 0.5f) * 50.0f / 80.0f;
      if (u > 1 && u < 99 && v > 1 && v < 49) {
        ASSERT_NEAR(p.r, (u - 0.5f) * 2, 3) << x << "," << y;
        ASSERT_NEAR(p.g, (v - 0.5f) * 4, 5) << x << "," << y;
      }
    }
  SavePng("d3d9_sprite_stretch.png", surface);
  surface->Release();
  target->Release();
  picture->Release();
}

TEST_F(SpriteTest, CentreAndPositionPlaceTheSpriteAndStatesComeBack) {
  IDirect3DTexture9* picture = MakeTexture(16, 16, std::vector<uint32_t>(256, 0xFFFF0000));
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device_->SetFVF(D3DFVF_XYZ);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  D3DXVECTOR3 centre(8, 8, 0), position(30, 20, 0);
  sprite_->Begin(D3DXSPRITE_ALPHABLEND);
  sprite_->Draw(picture, nullptr, &centre, &position, 0xFFFFFFFF);
  sprite_->End();
  auto pixels = ReadPixels();
  EXPECT_TRUE(Near(At(pixels, kWidth, 22, 12), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 37, 27), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 21, 12), 0, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 38, 27), 0, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 30, 28), 0, 0, 0));
  DWORD value = 0;
  device_->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_CW));
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, DWORD(FALSE));
  device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
  device_->GetFVF(&value);
  EXPECT_EQ(value, DWORD(D3DFVF_XYZ));
  IDirect3DBaseTexture9* bound = nullptr;
  device_->GetTexture(0, &bound);
  EXPECT_EQ(bound, nullptr);
  picture->Release();
}

TEST_F(SpriteTest, SpriteRefusesDrawingOutsideBeginAndWithoutATexture) {
  IDirect3DTexture9* picture = MakeTexture(1, 1, {0xFFFFFFFF});
  EXPECT_EQ(sprite_->Draw(picture, nullptr, nullptr, nullptr, 0xFFFFFFFF), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  ASSERT_EQ(sprite_->Begin(0), D3D_OK);
  EXPECT_EQ(sprite_->Begin(0), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->Draw(nullptr, nullptr, nullptr, nullptr, 0xFFFFFFFF), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->SetTransform(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->End(), D3D_OK);
  EXPECT_EQ(D3DXCreateSprite(nullptr, &sprite_), D3DERR_INVALIDCALL);
  picture->Release();
}

TEST_F(SpriteTest, FontMeasuresAndDrawsTextInsideItsRectangle) {
  ID3DXFont* font = nullptr;
  ASSERT_EQ(D3DXCreateFontA(device_, 12, 0, 0, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Face", &font),
            D3D_OK);
  D3DXFONT_DESCA desc;
  ASSERT_EQ(font->GetDescA(&desc), D3D_OK);
  EXPECT_EQ(desc.Height, 12);
  EXPECT_EQ(desc.MipLevels, 1u);
  EXPECT_EQ(desc.CharSet, DEFAULT_CHARSET);
  EXPECT_STREQ(desc.FaceName, "Face");

  RECT one = {0, 0, 0, 0}, two = {0, 0, 0, 0}, wide = {0, 0, 0, 0};
  EXPECT_EQ(font->DrawTextA(nullptr, "Hi!", -1, &one, DT_CALCRECT, 0xFFFFFFFF), 12);
  EXPECT_GT(one.right, 6);
  EXPECT_EQ(one.bottom, 12);
  EXPECT_EQ(font->DrawTextA(nullptr, "Hi!\nHi!!", -1, &two, DT_CALCRECT, 0xFFFFFFFF), 24);
  EXPECT_GT(two.right, one.right);
  // A Shift-JIS character (two bytes) measures as one full-width box.
  EXPECT_EQ(font->DrawTextA(nullptr, "\x82\xa0", -1, &wide, DT_CALCRECT, 0xFFFFFFFF), 12);
  EXPECT_EQ(wide.right, 12);

  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  D3DXMATRIX at;
  D3DXMatrixTranslation(&at, 4, 4, 0);
  sprite_->Begin(D3DXSPRITE_ALPHABLEND);
  sprite_->SetTransform(&at);
  RECT box = {0, 0, 0, 0};
  font->DrawTextA(sprite_, "Ag\x82\xa0?", -1, &box, DT_CALCRECT, 0xFFFFFF00);
  EXPECT_EQ(font->DrawTextA(sprite_, "Ag\x82\xa0?", -1, &box, 0, 0xFFFFFF00), 12);
  sprite_->End();
  auto pixels = ReadPixels();
  int lit = 0;
  for (int y = 0; y < int(kHeight); ++y)
    for (int x = 0; x < int(kWidth); ++x) {
      Pixel p = At(pixels, kWidth, x, y);
      if (p.r > 100) {
        ++lit;
        EXPECT_TRUE(x >= 4 && x < 4 + box.right && y >= 4 && y < 16) << x << "," << y;
        EXPECT_TRUE(Near(p, 255, 255, 0, 60)) << "text in its colour";
      }
    }
  EXPECT_GT(lit, 20);
  SavePng("d3d9_font.png");
  EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &box, 0, 0xFFFFFFFF), 0);
  EXPECT_EQ(font->DrawTextA(nullptr, "x", -1, nullptr, 0, 0xFFFFFFFF), 0);
  font->Release();
}

}  // namespace
}  // namespace glomp::test
