// Drawing through the device: what lands on the back buffer, read back the
// way screenshots read it.
#include <cmath>
#include <cstring>

#include "platform/d3d9/device_fixture.h"

namespace glomp::test {
namespace {

D3DMATRIX Identity() {
  D3DMATRIX m = {};
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

D3DMATRIX ScaleTranslate(float s, float x, float y, float z) {
  D3DMATRIX m = Identity();
  m._11 = m._22 = m._33 = s;
  m._41 = x, m._42 = y, m._43 = z;
  return m;
}

// D3DXMatrixPerspectiveFovLH.
D3DMATRIX PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  D3DMATRIX m = {};
  float yScale = 1.0f / std::tan(fovY / 2);
  m._11 = yScale / aspect;
  m._22 = yScale;
  m._33 = zf / (zf - zn);
  m._34 = 1;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

// Row vector times matrix, then the D3D viewport mapping to pixels.
void Project(const D3DMATRIX& m, float x, float y, float z, float width, float height, float* px,
             float* py) {
  float cx = x * m._11 + y * m._21 + z * m._31 + m._41;
  float cy = x * m._12 + y * m._22 + z * m._32 + m._42;
  float cw = x * m._14 + y * m._24 + z * m._34 + m._44;
  *px = (cx / cw + 1) / 2 * width;
  *py = (1 - cy / cw) / 2 * height;
}

D3DMATRIX Mul(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out = {};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) out.m[r][c] += a.m[r][k] * b.m[k][c];
  return out;
}

TEST_F(DeviceTest, ClearFillsTheBackBufferWithTheColour) {
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                           0xFF0000FF, 1.0f, 0),
            D3D_OK);
  EXPECT_TRUE(Near(BackBufferAt(0, 0), 0, 0, 255));
  EXPECT_TRUE(Near(BackBufferAt(kWidth - 1, kHeight - 1), 0, 0, 255));
}

TEST_F(DeviceTest, ClearHonoursTheViewportAndRects) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  D3DVIEWPORT9 viewport = {8, 4, 16, 8, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  D3DRECT rect = {0, 0, 10, 6};  // clipped to the viewport: (8,4)-(10,6)
  device_->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  auto pixels = ReadPixels();
  EXPECT_TRUE(Near(At(pixels, kWidth, 7, 4), 0, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 8, 4), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 9, 5), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 10, 6), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 23, 11), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 24, 11), 0, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 23, 12), 0, 0, 0));
}

TEST_F(DeviceTest, TriangleFanLandsWhereItsMatricesPutIt) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  D3DMATRIX world = ScaleTranslate(0.5f, 0.5f, 0.25f, 3.0f);
  D3DMATRIX view = Identity();
  D3DMATRIX projection = PerspectiveFovLH(1.5707964f, float(kWidth) / kHeight, 1.0f, 10.0f);
  device_->SetTransform(D3DTS_WORLD, &world);
  device_->SetTransform(D3DTS_VIEW, &view);
  device_->SetTransform(D3DTS_PROJECTION, &projection);
  // A unit square, clockwise as seen by the camera (D3D's front side).
  WorldVertex fan[4] = {{-1, -1, 0, 0xFFFF0000, 0, 0},
                        {-1, 1, 0, 0xFFFF0000, 0, 0},
                        {1, 1, 0, 0xFFFF0000, 0, 0},
                        {1, -1, 0, 0xFFFF0000, 0, 0}};
  device_->SetFVF(kWorldFvf);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(WorldVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);

  D3DMATRIX all = Mul(Mul(world, view), projection);
  float left, top, right, bottom;
  Project(all, -1, 1, 0, kWidth, kHeight, &left, &top);
  Project(all, 1, -1, 0, kWidth, kHeight, &right, &bottom);
  ASSERT_LT(left, right);
  ASSERT_LT(top, bottom);
  auto pixels = ReadPixels();
  for (int y = 0; y < int(kHeight); ++y)
    for (int x = 0; x < int(kWidth); ++x) {
      float cx = x + 0.5f, cy = y + 0.5f;
      bool inside = cx > left + 0.01f && cx < right - 0.01f && cy > top + 0.01f &&
                    cy < bottom - 0.01f;
      bool outside = cx < left - 0.01f || cx > right + 0.01f || cy < top - 0.01f ||
                     cy > bottom + 0.01f;
      Pixel p = At(pixels, kWidth, x, y);
      if (inside) {
        EXPECT_TRUE(Near(p, 255, 0, 0)) << x << "," << y;
      }
      if (outside) {
        EXPECT_TRUE(Near(p, 0, 0, 0)) << x << "," << y;
      }
    }
  SavePng("d3d9_triangle_fan.png");
}

TEST_F(DeviceTest, CullModesDropTheFacesD3DDrops) {
  struct Case {
    DWORD cull;
    bool reversed;
    bool drawn;
  };
  const Case cases[] = {{D3DCULL_CCW, false, true}, {D3DCULL_CCW, true, false},
                        {D3DCULL_CW, false, false}, {D3DCULL_CW, true, true},
                        {D3DCULL_NONE, false, true}, {D3DCULL_NONE, true, true}};
  for (const Case& c : cases) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device_->SetRenderState(D3DRS_CULLMODE, c.cull);
    // Clockwise on screen: top-left, top-right, bottom-right.
    ScreenVertex tri[3] = {{4, 4, 0, 1, 0xFFFFFFFF, 0, 0},
                           {40, 4, 0, 1, 0xFFFFFFFF, 0, 0},
                           {40, 40, 0, 1, 0xFFFFFFFF, 0, 0}};
    if (c.reversed) std::swap(tri[1], tri[2]);
    device_->SetFVF(kScreenFvf);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ScreenVertex));
    Pixel p = BackBufferAt(30, 10);
    EXPECT_EQ(Near(p, 255, 255, 255), c.drawn) << "cull " << c.cull << " reversed " << c.reversed;
  }
}

TEST_F(DeviceTest, DepthStatesDecideWhichSurfaceWins) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  FillRect(0, 0, 20, 20, 0xFFFF0000, 0.5f);
  FillRect(0, 0, 20, 20, 0xFF00FF00, 0.7f);  // behind: rejected by LESSEQUAL
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
  FillRect(0, 0, 20, 20, 0xFF0000FF, 0.3f);  // in front
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 0, 0, 255));

  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  FillRect(0, 0, 20, 20, 0xFFFFFF00, 0.4f);
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 255, 0));
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);

  device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  FillRect(30, 0, 50, 20, 0xFFFF0000, 0.1f);  // drawn, but leaves depth at 1
  device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  FillRect(30, 0, 50, 20, 0xFF00FF00, 0.9f);
  EXPECT_TRUE(Near(BackBufferAt(40, 10), 0, 255, 0));

  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  FillRect(30, 0, 50, 20, 0xFFFFFFFF, 1.0f);  // no test at all
  EXPECT_TRUE(Near(BackBufferAt(40, 10), 255, 255, 255));
}

TEST_F(DeviceTest, AlphaBlendingWithSeparateAlpha) {
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  IDirect3DSurface9* surface = nullptr;
  target->GetSurfaceLevel(0, &surface);
  ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80000000, 1.0f, 0);
  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  // The game's stage 0: texture alpha (white without a texture) x vertex alpha.
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  FillRect(0, 0, 20, 20, 0x80FFFFFF);
  device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);
  FillRect(30, 0, 50, 20, 0x80FFFFFF);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);  // additive
  FillRect(0, 30, 20, 40, 0xFF404040);
  FillRect(0, 30, 20, 40, 0xFF404040);

  auto pixels = ReadPixels(surface);
  Pixel plain = At(pixels, kWidth, 10, 10);
  EXPECT_NEAR(plain.r, 128, 2);
  EXPECT_NEAR(plain.a, 128, 2);  // 0.5 * 0.5 + 0.5 * 0.5
  Pixel separate = At(pixels, kWidth, 40, 10);
  EXPECT_NEAR(separate.r, 128, 2);
  EXPECT_NEAR(separate.a, 192, 2);  // 0.5 + 0.5 * (1 - 0.5)
  EXPECT_TRUE(Near(At(pixels, kWidth, 10, 35), 128, 128, 128));
  surface->Release();
  target->Release();
}

TEST_F(DeviceTest, StencilMaskThenClipLetsContentThroughOnlyInsideTheMask) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000,
                 1.0f, 0);
  // Mark: depth test that always fails, stencil replaced even on depth failure.
  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
  device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
  device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_REPLACE);
  device_->SetRenderState(D3DRS_STENCILREF, 1);
  device_->SetRenderState(D3DRS_STENCILMASK, 0xFF);
  FillRect(10, 10, 30, 30, 0xFFFF0000);
  EXPECT_TRUE(Near(BackBufferAt(20, 20), 0, 0, 0)) << "the mask must not reach the colour";
  device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  // Clip.
  device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
  device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  FillRect(0, 0, float(kWidth), float(kHeight), 0xFF00FF00);
  device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  auto pixels = ReadPixels();
  EXPECT_TRUE(Near(At(pixels, kWidth, 20, 20), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 10, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 5, 5), 0, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 35, 20), 0, 0, 0));
}

TEST_F(DeviceTest, ColourWriteMaskKeepsTheMaskedChannels) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
  FillRect(0, 0, 20, 20, 0xFFFFFFFF);
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  FillRect(0, 0, 20, 20, 0xFF00FF00);
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
}

TEST_F(DeviceTest, TextureTimesVertexColourWithWhiteForWhatIsMissing) {
  // 2 x 2 texture: red, green / blue, white (top row first).
  IDirect3DTexture9* texture =
      MakeTexture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
  ASSERT_NE(texture, nullptr);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device_->SetTexture(0, texture);
  FillRect(0, 0, 32, 32, 0xFFFFFFFF);   // texture as it is
  FillRect(32, 0, 64, 32, 0xFF808080);  // texture at half brightness
  device_->SetTexture(0, nullptr);
  FillRect(0, 32, 16, 48, 0xFFFF0000);  // no texture: the vertex colour alone
  // No vertex colour: the texture alone.
  struct TexturedVertex {
    float x, y, z, rhw, u, v;
  } quad[4] = {{16, 32, 0, 1, 0, 0}, {48, 32, 0, 1, 1, 0}, {16, 48, 0, 1, 0, 1},
               {48, 48, 0, 1, 1, 1}};
  device_->SetTexture(0, texture);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex));
  auto pixels = ReadPixels();
  EXPECT_TRUE(Near(At(pixels, kWidth, 8, 8), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 24, 8), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 8, 24), 0, 0, 255));
  EXPECT_TRUE(Near(At(pixels, kWidth, 24, 24), 255, 255, 255));
  EXPECT_TRUE(Near(At(pixels, kWidth, 40, 8), 128, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 8, 40), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 20, 36), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 44, 44), 255, 255, 255));
  device_->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(DeviceTest, RedLineListIsRed) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  ScreenVertex line[2] = {{2, 10.5f, 0, 1, 0xFFFF0000, 0, 0}, {60, 10.5f, 0, 1, 0xFFFF0000, 0, 0}};
  device_->SetFVF(kScreenFvf);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex)), D3D_OK);
  EXPECT_TRUE(Near(BackBufferAt(30, 10), 255, 0, 0));
  EXPECT_TRUE(Near(BackBufferAt(30, 14), 0, 0, 0));
}

// The vertex array is set up again only when the format, buffer, stride or
// offset changes: each of those changes must still reach the draw.
TEST_F(DeviceTest, EachDrawReadsItsOwnVerticesWhenBuffersAndOffsetsChange) {
  const ScreenVertex quads[8] = {
      {0, 0, 0, 1, 0xFFFF0000, 0, 0},   {16, 0, 0, 1, 0xFFFF0000, 1, 0},
      {0, 48, 0, 1, 0xFFFF0000, 0, 1},  {16, 48, 0, 1, 0xFFFF0000, 1, 1},
      {16, 0, 0, 1, 0xFF00FF00, 0, 0},  {32, 0, 0, 1, 0xFF00FF00, 1, 0},
      {16, 48, 0, 1, 0xFF00FF00, 0, 1}, {32, 48, 0, 1, 0xFF00FF00, 1, 1}};
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(sizeof quads, 0, kScreenFvf, D3DPOOL_MANAGED, &buffer,
                                        nullptr),
            D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, quads, sizeof quads);
  buffer->Unlock();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device_->SetFVF(kScreenFvf);
  device_->SetStreamSource(0, buffer, 0, sizeof(ScreenVertex));
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);  // red, left
  device_->SetStreamSource(0, buffer, 4 * sizeof(ScreenVertex), sizeof(ScreenVertex));
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);  // green, next
  // User-pointer vertices of another format in between, then the buffer again.
  struct Plain {
    float x, y, z, rhw;
  } blue[4] = {{32, 0, 0, 1}, {48, 0, 0, 1}, {32, 48, 0, 1}, {48, 48, 0, 1}};
  device_->SetFVF(D3DFVF_XYZRHW);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF0000FF);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, blue, sizeof(Plain)), D3D_OK);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetFVF(kScreenFvf);
  device_->SetStreamSource(0, buffer, 0, sizeof(ScreenVertex));
  const D3DRECT right = {48, 0, 64, 48};
  device_->Clear(1, &right, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);  // red over red
  EXPECT_TRUE(Near(BackBufferAt(8, 24), 255, 0, 0));
  EXPECT_TRUE(Near(BackBufferAt(24, 24), 0, 255, 0));
  EXPECT_TRUE(Near(BackBufferAt(40, 24), 0, 0, 255));
  EXPECT_TRUE(Near(BackBufferAt(56, 24), 0, 0, 0));
  device_->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
}

}  // namespace
}  // namespace glomp::test
