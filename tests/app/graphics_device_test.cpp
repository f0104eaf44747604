// The graphics device on an offscreen window: its start-up states and its
// sprite drawing, read back from the back buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>

#include "app/GraphicsDevice.h"
#include "glomp/headless.h"

namespace {

// Stands in for the render library's texture: what the device's drawing reads.
struct TestTexture {
  IDirect3DTexture9* texture;
  RECT rect;
};

constexpr D3DCOLOR kBlue = 0xFF0000FF;

class GraphicsDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "DeviceTest";
    ASSERT_NE(RegisterClassExA(&c), 0);
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT r = {0, 0, 1280, 720};
    AdjustWindowRect(&r, style, FALSE);
    window = CreateWindowExA(0, "DeviceTest", "t", style, 0, 0, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(graphics().Create(window, 1280, 720, D3DFMT_X8R8G8B8, false));
    graphics().SetDefaultStates();
  }
  void TearDown() override {
    if (white.texture) white.texture->Release();
    graphics().Release();
    DestroyWindow(window);
    UnregisterClassA("DeviceTest", nullptr);
  }
  static CGraphicsDevice& graphics() { return CGraphicsDevice::GetInstance(); }

  // A white 128 x 128 texture.
  void MakeWhiteTexture() {
    ASSERT_EQ(graphics().device->CreateTexture(128, 128, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                               &white.texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(white.texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 128; ++y) {
      auto* row = reinterpret_cast<DWORD*>(static_cast<char*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < 128; ++x) row[x] = 0xFFFFFFFF;
    }
    white.texture->UnlockRect(0);
    white.rect = {0, 0, 128, 128};
  }

  void BeginFrame() {
    graphics().device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                             kBlue, 1.0f, 0);
    graphics().device->BeginScene();
    graphics().sprite->Begin(D3DXSPRITE_ALPHABLEND);
  }
  void EndFrame() {
    graphics().sprite->End();
    graphics().device->EndScene();
  }

  // The back buffer's pixel at (x, y), as 0xRRGGBB.
  DWORD Pixel(int x, int y) {
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(graphics().device->CreateOffscreenPlainSurface(1280, 720, D3DFMT_X8R8G8B8,
                                                             D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    graphics().device->GetRenderTargetData(graphics().backBuffer, copy);
    D3DLOCKED_RECT locked;
    copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    const DWORD value = static_cast<const DWORD*>(locked.pBits)[y * locked.Pitch / 4 + x];
    copy->UnlockRect();
    copy->Release();
    return value & 0x00FFFFFF;
  }

  HWND window = nullptr;
  TestTexture white = {nullptr, {}};
};

TEST_F(GraphicsDeviceTest, StartUpStatesAndLightReadBack) {
  IDirect3DDevice9* device = graphics().device;
  DWORD value = 0;
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
  device->GetRenderState(D3DRS_SRCBLENDALPHA, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
  device->GetRenderState(D3DRS_STENCILENABLE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(TRUE));
  device->GetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, &value);
  float bias;
  std::memcpy(&bias, &value, sizeof bias);
  EXPECT_EQ(bias, -1.0f);
  D3DLIGHT9 light;
  ASSERT_EQ(graphics().GetLight(&light, 0), &light);
  EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
  const float length = std::sqrt(0.25f + 1.0f + 0.09f);
  EXPECT_NEAR(light.Direction.x, 0.5f / length, 1e-6);
  EXPECT_NEAR(light.Direction.y, -1.0f / length, 1e-6);
  EXPECT_NEAR(light.Direction.z, 0.3f / length, 1e-6);
  EXPECT_EQ(light.Ambient.r, 0.0f);
  EXPECT_EQ(light.Ambient.a, 1.0f);
  EXPECT_EQ(light.Specular.g, 1.0f);
  BOOL enabled = FALSE;
  device->GetLightEnable(0, &enabled);
  EXPECT_TRUE(enabled);
  D3DXFONT_DESCA& font = graphics().fontDesc;
  EXPECT_EQ(font.Height, 12);
  EXPECT_EQ(font.MipLevels, 1u);
}

TEST_F(GraphicsDeviceTest, Begin2DAndEnd2DSwitchDepthLightingAndAddressing) {
  IDirect3DDevice9* device = graphics().device;
  DWORD z = 1, address = 0;
  graphics().Begin2D();
  device->GetRenderState(D3DRS_ZENABLE, &z);
  device->GetSamplerState(0, D3DSAMP_ADDRESSV, &address);
  EXPECT_EQ(z, static_cast<DWORD>(FALSE));
  EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_CLAMP));
  graphics().End2D();
  device->GetRenderState(D3DRS_ZENABLE, &z);
  device->GetSamplerState(0, D3DSAMP_ADDRESSV, &address);
  EXPECT_EQ(z, static_cast<DWORD>(TRUE));
  EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_WRAP));
}

TEST_F(GraphicsDeviceTest, AStretchedRegionFillsExactlyTheRequestedSize) {
  MakeWhiteTexture();
  const RECT region = {0, 0, 100, 50};
  BeginFrame();
  graphics().DrawTextureStretched(&white, 200, 100, 100, 80, 0xFFFFFFFF, &region);
  D3DXMATRIX transform;
  graphics().sprite->GetTransform(&transform);
  EndFrame();
  // 100 wide stays 100 wide; 50 high becomes 80 high.
  EXPECT_FLOAT_EQ(transform._11, 1.0f);
  EXPECT_FLOAT_EQ(transform._22, 1.6f);
  EXPECT_FLOAT_EQ(transform._41, 200.0f);
  EXPECT_FLOAT_EQ(transform._42, 100.0f);
  EXPECT_EQ(Pixel(202, 102), 0xFFFFFFu);
  EXPECT_EQ(Pixel(297, 177), 0xFFFFFFu);
  EXPECT_EQ(Pixel(303, 140), 0x0000FFu);  // right of the picture
  EXPECT_EQ(Pixel(250, 183), 0x0000FFu);  // below it
  EXPECT_EQ(Pixel(197, 140), 0x0000FFu);
}

TEST_F(GraphicsDeviceTest, DrawTextureWithoutATransformKeepsTheSpritesLastOne) {
  MakeWhiteTexture();
  D3DXMATRIX placed;
  D3DXMatrixTranslation(&placed, 400.0f, 300.0f, 0.0f);
  BeginFrame();
  graphics().DrawTexture(&white, 0xFFFFFFFF, &placed);
  graphics().sprite->Flush();
  graphics().DrawTexture(&white, 0xFFFFFFFF, nullptr);
  D3DXMATRIX after;
  graphics().sprite->GetTransform(&after);
  const TestTexture* none = nullptr;
  graphics().DrawTexture(none, 0xFFFFFFFF, nullptr);  // nothing, no crash
  EndFrame();
  EXPECT_EQ(std::memcmp(&after, &placed, sizeof placed), 0);
  EXPECT_EQ(Pixel(402, 302), 0xFFFFFFu);
  EXPECT_EQ(Pixel(525, 425), 0xFFFFFFu);
  EXPECT_EQ(Pixel(531, 431), 0x0000FFu);
  EXPECT_EQ(Pixel(5, 5), 0x0000FFu);  // nothing drawn at the origin
}

}  // namespace
