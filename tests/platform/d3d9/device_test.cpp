// The device's bookkeeping: what Set* stores Get* returns, resources and their
// reference counts, bad input, buffers, several targets, and resources made on
// a second thread.
#include <cstring>
#include <thread>

#include "platform/d3d9/device_fixture.h"

namespace glomp::test {
namespace {

D3DMATRIX Numbered(float start) {
  D3DMATRIX m;
  for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = start + float(i);
  return m;
}

TEST_F(DeviceTest, CreationReportsTheBackBufferAndKeepsD3DDefaults) {
  EXPECT_EQ(params_.BackBufferWidth, kWidth);
  EXPECT_EQ(params_.BackBufferFormat, D3DFMT_X8R8G8B8);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
  D3DSURFACE_DESC desc;
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, kWidth);
  EXPECT_EQ(desc.Height, kHeight);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_RENDERTARGET));
  IDirect3DSurface9* depth = nullptr;
  ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
  depth->GetDesc(&desc);
  EXPECT_EQ(desc.Format, D3DFMT_D24S8);
  IDirect3DSurface9* none = back;
  EXPECT_EQ(device_->GetRenderTarget(1, &none), D3DERR_NOTFOUND);
  EXPECT_EQ(none, nullptr);

  DWORD value = 0;
  device_->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, DWORD(D3DZB_TRUE));
  device_->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_CCW));
  device_->GetRenderState(D3DRS_SRCBLEND, &value);
  EXPECT_EQ(value, DWORD(D3DBLEND_ONE));
  device_->GetRenderState(D3DRS_COLORWRITEENABLE, &value);
  EXPECT_EQ(value, 0xFu);
  device_->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));
  device_->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_DISABLE));
  device_->GetSamplerState(3, D3DSAMP_ADDRESSV, &value);
  EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
  D3DVIEWPORT9 viewport;
  device_->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, kWidth);
  EXPECT_EQ(viewport.MaxZ, 1.0f);
  D3DCAPS9 caps;
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_GE(caps.NumSimultaneousRTs, 3u);
  EXPECT_GE(caps.MaxTextureWidth, 2048u);
  depth->Release();
  back->Release();
}

TEST_F(DeviceTest, SetThenGetReturnsExactlyWhatWasStored) {
  for (DWORD state : {DWORD(D3DRS_ZFUNC), DWORD(D3DRS_STENCILREF), DWORD(D3DRS_BLENDOPALPHA),
                      DWORD(D3DRS_FOGENABLE), DWORD(D3DRS_AMBIENT)}) {
    ASSERT_EQ(device_->SetRenderState(D3DRENDERSTATETYPE(state), 0x12345 + state), D3D_OK);
    DWORD value = 0;
    device_->GetRenderState(D3DRENDERSTATETYPE(state), &value);
    EXPECT_EQ(value, 0x12345 + state);
  }
  float bias = -1.0f;
  DWORD bits;
  std::memcpy(&bits, &bias, 4);
  device_->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, bits);
  device_->SetTextureStageState(7, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE | D3DTA_COMPLEMENT);
  DWORD value = 0;
  device_->GetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, &value);
  EXPECT_EQ(value, bits);
  device_->GetTextureStageState(7, D3DTSS_ALPHAARG2, &value);
  EXPECT_EQ(value, DWORD(D3DTA_DIFFUSE | D3DTA_COMPLEMENT));

  const D3DTRANSFORMSTATETYPE kinds[] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION,
                                         D3DTS_TEXTURE0, D3DTS_WORLDMATRIX(5)};
  float start = 1;
  for (D3DTRANSFORMSTATETYPE kind : kinds) {
    D3DMATRIX m = Numbered(start), out = {};
    ASSERT_EQ(device_->SetTransform(kind, &m), D3D_OK);
    ASSERT_EQ(device_->GetTransform(kind, &out), D3D_OK);
    EXPECT_EQ(std::memcmp(&m, &out, sizeof m), 0);
    start += 100;
  }
  D3DMATRIX world = Numbered(0), factor = Numbered(1), product = {};
  device_->SetTransform(D3DTS_WORLD, &world);
  device_->MultiplyTransform(D3DTS_WORLD, &factor);
  device_->GetTransform(D3DTS_WORLD, &product);
  EXPECT_FLOAT_EQ(product._11, 1 * 0 + 2 * 4 + 3 * 8 + 4 * 12);  // factor x world

  D3DLIGHT9 light = {};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 0.5f, 0.25f, 1};
  light.Direction = {0.5f, -1, 0.3f};
  ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
  ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
  D3DLIGHT9 back = {};
  BOOL enabled = FALSE;
  ASSERT_EQ(device_->GetLight(0, &back), D3D_OK);
  device_->GetLightEnable(0, &enabled);
  EXPECT_EQ(std::memcmp(&light, &back, sizeof light), 0);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(device_->GetLight(3, &back), D3DERR_INVALIDCALL);

  D3DMATERIAL9 material = {{1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, 100.0f};
  D3DMATERIAL9 material2 = {};
  device_->SetMaterial(&material);
  device_->GetMaterial(&material2);
  EXPECT_EQ(std::memcmp(&material, &material2, sizeof material), 0);

  D3DVIEWPORT9 viewport = {4, 2, 20, 10, 0.25f, 0.75f}, viewport2 = {};
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  device_->GetViewport(&viewport2);
  EXPECT_EQ(std::memcmp(&viewport, &viewport2, sizeof viewport), 0);

  device_->SetFVF(0x142);
  device_->GetFVF(&value);
  EXPECT_EQ(value, 0x142u);
}

TEST_F(DeviceTest, BoundResourcesAreHeldAndReturnedWithAReference) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 3u);  // 4, 2, 1
  ASSERT_EQ(device_->SetTexture(2, texture), D3D_OK);
  EXPECT_EQ(texture->Release(), 1u);  // the device still holds it
  IDirect3DBaseTexture9* bound = nullptr;
  ASSERT_EQ(device_->GetTexture(2, &bound), D3D_OK);
  EXPECT_EQ(bound, texture);
  // A level's surface counts on its texture, and leads back to it.
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
  D3DSURFACE_DESC desc;
  level->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 2u);
  IDirect3DTexture9* container = nullptr;
  ASSERT_EQ(level->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)),
            D3D_OK);
  EXPECT_EQ(container, texture);
  container->Release();
  level->Release();
  bound->Release();
  device_->SetTexture(2, nullptr);  // last reference: the texture goes

  IDirect3DVertexBuffer9* vertices = nullptr;
  IDirect3DIndexBuffer9* indices = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(96, 0, kWorldFvf, D3DPOOL_MANAGED, &vertices, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr),
            D3D_OK);
  device_->SetStreamSource(0, vertices, 0, sizeof(WorldVertex));
  device_->SetIndices(indices);
  IDirect3DVertexBuffer9* stream = nullptr;
  UINT offset = 1, stride = 0;
  device_->GetStreamSource(0, &stream, &offset, &stride);
  EXPECT_EQ(stream, vertices);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(stride, sizeof(WorldVertex));
  stream->Release();
  IDirect3DIndexBuffer9* gotIndices = nullptr;
  device_->GetIndices(&gotIndices);
  EXPECT_EQ(gotIndices, indices);
  gotIndices->Release();
  D3DVERTEXBUFFER_DESC vbDesc;
  vertices->GetDesc(&vbDesc);
  EXPECT_EQ(vbDesc.Size, 96u);
  EXPECT_EQ(vbDesc.FVF, kWorldFvf);
  device_->SetStreamSource(0, nullptr, 0, 0);
  device_->SetIndices(nullptr);
  EXPECT_EQ(vertices->Release(), 0u);
  EXPECT_EQ(indices->Release(), 0u);
}

TEST_F(DeviceTest, BadInputIsRefusedWithInvalidCall) {
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
  IDirect3DDevice9* other = nullptr;
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                               nullptr, &other),
            D3DERR_INVALIDCALL);
  DWORD value;
  D3DMATRIX m = {};
  EXPECT_EQ(device_->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATETYPE(300), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(D3DTRANSFORMSTATETYPE(5), &m), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(16, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(40), &value),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetSamplerState(16, D3DSAMP_ADDRESSU, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetLight(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetMaterial(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetViewport(nullptr), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 tooBig = {0, 0, kWidth + 1, kHeight, 0, 1};
  EXPECT_EQ(device_->SetViewport(&tooBig), D3DERR_INVALIDCALL);

  IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, nullptr);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateCubeTexture(8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, nullptr, nullptr),
            D3DERR_INVALIDCALL);

  // Render targets and depth surfaces only where they belong.
  IDirect3DSurface9 *plain = nullptr, *depth = nullptr, *back = nullptr;
  device_->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &plain,
                                       nullptr);
  device_->GetDepthStencilSurface(&depth);
  device_->GetRenderTarget(0, &back);
  EXPECT_EQ(device_->SetRenderTarget(4, back), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(1, plain), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(1, depth), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetDepthStencilSurface(back), D3DERR_INVALIDCALL);
  back->Release();
  EXPECT_EQ(device_->GetRenderTarget(9, &back), D3DERR_INVALIDCALL);
  EXPECT_EQ(back, nullptr);
  EXPECT_EQ(device_->GetRenderTargetData(plain, plain), D3DERR_INVALIDCALL);
  IDirect3DSurface9* small = nullptr;
  device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr);
  device_->GetRenderTarget(0, &back);
  EXPECT_EQ(device_->GetRenderTargetData(back, small), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(back, nullptr), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);  // not lockable
  RECT outside = {0, 0, 9, 9};
  EXPECT_EQ(small->LockRect(&locked, &outside, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(small->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(small->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  EXPECT_EQ(small->UnlockRect(), D3D_OK);
  EXPECT_EQ(small->UnlockRect(), D3DERR_INVALIDCALL);
  small->Release();
  plain->Release();
  depth->Release();
  back->Release();

  // Clears and draws.
  EXPECT_EQ(device_->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  WorldVertex tri[3] = {};
  device_->SetFVF(kWorldFvf);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 24), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPRIMITIVETYPE(9), 1, tri, 24), D3DERR_INVALIDCALL);
  device_->SetFVF(0);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 24), D3DERR_INVALIDCALL);
  device_->SetFVF(kWorldFvf);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
  IDirect3DVertexBuffer9* vertices = nullptr;
  device_->CreateVertexBuffer(72, 0, kWorldFvf, D3DPOOL_MANAGED, &vertices, nullptr);
  device_->SetStreamSource(0, vertices, 0, 24);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);  // past the end
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  void* data = nullptr;
  EXPECT_EQ(vertices->Lock(60, 20, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(vertices->Unlock(), D3DERR_INVALIDCALL);
  device_->SetStreamSource(0, nullptr, 0, 0);
  vertices->Release();
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->EndScene(), D3D_OK);
}

TEST_F(DeviceTest, BuffersDrawIndexedGeometryWithABaseVertex) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  // Two quads in one buffer; the second one (base vertex 4) is drawn.
  ScreenVertex quads[8] = {
      {0, 0, 0, 1, 0xFFFF0000, 0, 0},   {20, 0, 0, 1, 0xFFFF0000, 0, 0},
      {20, 20, 0, 1, 0xFFFF0000, 0, 0}, {0, 20, 0, 1, 0xFFFF0000, 0, 0},
      {30, 10, 0, 1, 0xFF00FF00, 0, 0}, {60, 10, 0, 1, 0xFF00FF00, 0, 0},
      {60, 40, 0, 1, 0xFF00FF00, 0, 0}, {30, 40, 0, 1, 0xFF00FF00, 0, 0}};
  const WORD indices[6] = {0, 1, 2, 0, 2, 3};
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(sizeof quads, D3DUSAGE_WRITEONLY, kScreenFvf,
                                        D3DPOOL_MANAGED, &vb, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateIndexBuffer(sizeof indices, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_MANAGED, &ib, nullptr),
            D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, quads, sizeof quads);
  vb->Unlock();
  ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, indices, sizeof indices);
  ib->Unlock();
  device_->SetFVF(kScreenFvf);
  device_->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
  device_->SetIndices(ib);
  ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
  EXPECT_TRUE(Near(BackBufferAt(45, 25), 0, 255, 0));
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 0, 0, 0));
  // Changing the buffer after a draw reaches the next draw.
  ASSERT_EQ(vb->Lock(4 * sizeof(ScreenVertex), 4 * sizeof(ScreenVertex), &data, 0), D3D_OK);
  for (int i = 0; i < 4; ++i) static_cast<ScreenVertex*>(data)[i].color = 0xFF0000FF;
  vb->Unlock();
  device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2);
  EXPECT_TRUE(Near(BackBufferAt(45, 25), 0, 0, 255));
  // The same from user memory, with 32-bit indices.
  const DWORD wide[6] = {0, 1, 2, 0, 2, 3};
  ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, wide, D3DFMT_INDEX32,
                                            quads, sizeof(ScreenVertex)),
            D3D_OK);
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
  // Indices into the second quad, naming its vertex range (as a mesh subset does).
  const WORD second[6] = {4, 5, 6, 4, 6, 7};
  for (ScreenVertex& v : quads) v.color = 0xFFFFFF00;
  ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 4, 4, 2, second, D3DFMT_INDEX16,
                                            quads, sizeof(ScreenVertex)),
            D3D_OK);
  EXPECT_TRUE(Near(BackBufferAt(45, 25), 255, 255, 0));
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
  device_->SetStreamSource(0, nullptr, 0, 0);
  device_->SetIndices(nullptr);
  vb->Release();
  ib->Release();
}

TEST_F(DeviceTest, ClearReachesEveryBoundTargetAndFloatTargetsReadBack) {
  IDirect3DTexture9 *a = nullptr, *b = nullptr, *c = nullptr;
  ASSERT_EQ(device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_DEFAULT, &a, nullptr),
            D3D_OK);
  device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                         D3DPOOL_DEFAULT, &b, nullptr);
  ASSERT_EQ(device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F,
                                   D3DPOOL_DEFAULT, &c, nullptr),
            D3D_OK);
  IDirect3DSurface9 *sa, *sb, *sc;
  a->GetSurfaceLevel(0, &sa);
  b->GetSurfaceLevel(0, &sb);
  c->GetSurfaceLevel(0, &sc);
  // A fresh target is transparent black.
  EXPECT_EQ(ReadPixels(sa)[0], 0u);
  ASSERT_EQ(device_->SetRenderTarget(0, sa), D3D_OK);
  ASSERT_EQ(device_->SetRenderTarget(1, sb), D3D_OK);
  ASSERT_EQ(device_->SetRenderTarget(2, sc), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                           0x01010101, 1.0f, 0),
            D3D_OK);
  EXPECT_EQ(ReadPixels(sa)[5], 0x01010101u);
  EXPECT_EQ(ReadPixels(sb)[5], 0x01010101u);
  IDirect3DSurface9* floats = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_R32F, D3DPOOL_SYSTEMMEM,
                                                 &floats, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->GetRenderTargetData(sc, floats), D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(floats->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(locked.Pitch, INT(kWidth * 4));
  EXPECT_NEAR(static_cast<const float*>(locked.pBits)[7], 1.0f / 255.0f, 1e-6f);
  floats->UnlockRect();
  // Unbinding 1 and 2 leaves 0; the viewport follows target 0 only.
  device_->SetRenderTarget(1, nullptr);
  device_->SetRenderTarget(2, nullptr);
  IDirect3DSurface9* got = nullptr;
  EXPECT_EQ(device_->GetRenderTarget(2, &got), D3DERR_NOTFOUND);
  floats->Release();
  IDirect3DSurface9* back = nullptr;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  device_->SetRenderTarget(0, back);
  back->Release();
  for (IUnknown* object : {static_cast<IUnknown*>(sa), static_cast<IUnknown*>(sb),
                           static_cast<IUnknown*>(sc)})
    object->Release();
  EXPECT_EQ(a->Release(), 0u);
  EXPECT_EQ(b->Release(), 0u);
  EXPECT_EQ(c->Release(), 0u);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(DeviceTest, ResourcesMadeOnASecondThreadDrawOnTheMainThread) {
  // Something drawn first, so that its GL texture exists; released on the loader thread.
  IDirect3DTexture9* old = MakeTexture(1, 1, {0xFFFFFFFF});
  device_->SetTexture(0, old);
  FillRect(0, 0, 4, 4, 0xFFFFFFFF);
  device_->SetTexture(0, nullptr);

  IDirect3DTexture9* texture = nullptr;
  IDirect3DVertexBuffer9* vertices = nullptr;
  IDirect3DTexture9* target = nullptr;
  std::thread loader([&] {
    old->Release();
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0, -1, 0};
    device_->SetLight(0, &light);
    if (device_->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                               nullptr) == D3D_OK) {
      D3DLOCKED_RECT locked;
      if (texture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
        static_cast<DWORD*>(locked.pBits)[0] = 0xFFFF0000;
        static_cast<DWORD*>(locked.pBits)[1] = 0xFF00FF00;
        texture->UnlockRect(0);
      }
    }
    if (device_->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED,
                                    &vertices, nullptr) == D3D_OK) {
      ScreenVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                              {40, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                              {0, 20, 0, 1, 0xFFFFFFFF, 0, 1},
                              {40, 20, 0, 1, 0xFFFFFFFF, 1, 1}};
      void* data = nullptr;
      if (vertices->Lock(0, 0, &data, 0) == D3D_OK) {
        std::memcpy(data, quad, sizeof quad);
        vertices->Unlock();
      }
    }
    device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                           D3DPOOL_DEFAULT, &target, nullptr);
    // No GL context here: drawing is refused, not attempted.
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  });
  loader.join();
  ASSERT_NE(texture, nullptr);
  ASSERT_NE(vertices, nullptr);
  ASSERT_NE(target, nullptr);
  D3DLIGHT9 light;
  ASSERT_EQ(device_->GetLight(0, &light), D3D_OK);
  EXPECT_EQ(light.Direction.y, -1.0f);

  IDirect3DSurface9* surface = nullptr;
  target->GetSurfaceLevel(0, &surface);
  device_->SetRenderTarget(0, surface);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTexture(0, texture);
  device_->SetFVF(kScreenFvf);
  device_->SetStreamSource(0, vertices, 0, sizeof(ScreenVertex));
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  auto pixels = ReadPixels(surface);
  EXPECT_TRUE(Near(At(pixels, kWidth, 5, 10), 255, 0, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 35, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(pixels, kWidth, 35, 30), 0, 0, 0));
  device_->SetTexture(0, nullptr);
  device_->SetStreamSource(0, nullptr, 0, 0);
  IDirect3DSurface9* back = nullptr;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  device_->SetRenderTarget(0, back);
  back->Release();
  surface->Release();
  // Released on another thread after being drawn with: deleted by the main thread later.
  std::thread([&] {
    texture->Release();
    vertices->Release();
    target->Release();
  }).join();
  FillRect(0, 0, 4, 4, 0xFFFFFFFF);
  EXPECT_TRUE(Near(BackBufferAt(1, 1), 255, 255, 255));
}

TEST_F(DeviceTest, CubeTextureFacesLockSeparately) {
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(device_->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr),
            D3D_OK);
  for (int face = 0; face < 6; ++face) {
    D3DLOCKED_RECT locked;
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    for (int i = 0; i < 16; ++i) static_cast<DWORD*>(locked.pBits)[i] = 0xFF000000u + DWORD(face);
    ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACES(face), 0), D3D_OK);
  }
  D3DLOCKED_RECT locked;
  EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACES(6), 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* face3 = nullptr;
  ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &face3), D3D_OK);
  ASSERT_EQ(face3->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<DWORD*>(locked.pBits)[5], 0xFF000003u);
  face3->UnlockRect();
  face3->Release();
  EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
  ASSERT_EQ(device_->SetTexture(1, cube), D3D_OK);
  FillRect(0, 0, 8, 8, 0xFFFFFFFF);  // uploads the six faces on the way
  device_->SetTexture(1, nullptr);
  EXPECT_EQ(cube->Release(), 0u);
}

}  // namespace
}  // namespace glomp::test
