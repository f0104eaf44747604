#include "app/GraphicsDevice.h"

#include <cstring>

#include <windows.h>

namespace {

// "Direct3Dの初期化に失敗" and "Direct3D初期化" in Shift-JIS.
constexpr char kDeviceFailedText[] = "Direct3D\x82\xCC\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94\x73";
constexpr char kDeviceFailedCaption[] = "Direct3D\x8F\x89\x8A\xFA\x89\xBB";
// "ＭＳ Ｐゴシック" in Shift-JIS: the face name as the font was designed with.
constexpr char kFontFace[] = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

struct ScreenVertex {
  float x, y, z, rhw;
  float u, v;
};
static_assert(sizeof(ScreenVertex) == 24);

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object == nullptr) return;
  object->Release();
  object = nullptr;
}

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

CGraphicsDevice& CGraphicsDevice::GetInstance() {
  static CGraphicsDevice instance{};
  return instance;
}

bool CGraphicsDevice::Create(HWND window, int width, int height, D3DFORMAT fullScreenFormat,
                             bool fullScreen) {
  d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (d3d == nullptr) return false;
  D3DDISPLAYMODE mode;
  if (FAILED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return false;

  std::memset(&presentParams, 0, sizeof presentParams);
  presentParams.BackBufferCount = 2;
  if (fullScreen) {
    presentParams.BackBufferWidth = width;
    presentParams.BackBufferHeight = height;
    presentParams.BackBufferFormat = fullScreenFormat;
    presentParams.Windowed = FALSE;
  } else {
    // Zero size: Direct3D takes the window's client size.
    presentParams.BackBufferWidth = 0;
    presentParams.BackBufferHeight = 0;
    presentParams.BackBufferFormat = mode.Format;
    presentParams.Windowed = TRUE;
  }
  presentParams.MultiSampleType = D3DMULTISAMPLE_NONE;
  presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParams.hDeviceWindow = window;
  presentParams.EnableAutoDepthStencil = TRUE;
  presentParams.AutoDepthStencilFormat = D3DFMT_D24S8;
  // No wait for the vertical retrace: the main loop's 16 ms pace is the only limiter.
  presentParams.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  presentParams.FullScreen_RefreshRateInHz = 0;
  presentParams.Flags = 0;

  // Scenes are built on a loader thread while the main thread draws, hence MULTITHREADED.
  const DWORD common = D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
  const struct {
    D3DDEVTYPE type;
    DWORD flags;
  } attempts[] = {
      {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING | common},
      {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING | common},
      {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING | common},
  };
  bool created = false;
  for (const auto& attempt : attempts) {
    if (SUCCEEDED(d3d->CreateDevice(D3DADAPTER_DEFAULT, attempt.type, window, attempt.flags,
                                    &presentParams, &device))) {
      created = true;
      break;
    }
  }
  if (!created) {
    MessageBoxA(window, kDeviceFailedText, kDeviceFailedCaption, MB_ICONERROR);
    return false;
  }

  device->GetDeviceCaps(&caps);
  D3DXCreateSprite(device, &sprite);
  D3DXCreateFontA(device, 12, 0, 0, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace, &font);
  if (font) font->GetDescA(&fontDesc);
  device->GetRenderTarget(0, &backBuffer);
  device->GetDepthStencilSurface(&depthSurface);
  return true;
}

void CGraphicsDevice::SetDefaultStates() {
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);

  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  device->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, FloatBits(-1.0f));

  const D3DXVECTOR3 direction(0.5f, -1.0f, 0.3f);
  const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
  const D3DXCOLOR black(0.0f, 0.0f, 0.0f, 1.0f);
  SetDirectionalLight(0, &direction, &white, &black, &white);

  device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void CGraphicsDevice::Release() {
  ReleaseAndClear(backBuffer);
  ReleaseAndClear(depthSurface);
  ReleaseAndClear(sprite);
  ReleaseAndClear(font);
  ReleaseAndClear(device);
  ReleaseAndClear(d3d);
}

void CGraphicsDevice::DrawSprite(IDirect3DTexture9* texture, const RECT& whole, D3DCOLOR color,
                                 const D3DXMATRIX* transform) {
  if (sprite == nullptr) return;
  if (transform) sprite->SetTransform(transform);
  sprite->Draw(texture, &whole, nullptr, nullptr, color);
}

void CGraphicsDevice::DrawSpriteStretched(IDirect3DTexture9* texture, const RECT& source, int x,
                                          int y, int width, int height, D3DCOLOR color) {
  if (sprite == nullptr) return;
  const float sourceWidth = static_cast<float>(source.right - source.left);
  const float sourceHeight = static_cast<float>(source.bottom - source.top);
  if (sourceWidth == 0.0f || sourceHeight == 0.0f) return;  // an empty region draws nothing
  D3DXMATRIX scaling, translation, transform;
  D3DXMatrixScaling(&scaling, width / sourceWidth, height / sourceHeight, 0.0f);
  D3DXMatrixTranslation(&translation, static_cast<float>(x), static_cast<float>(y), 0.0f);
  D3DXMatrixMultiply(&transform, &scaling, &translation);
  sprite->SetTransform(&transform);
  sprite->Draw(texture, &source, nullptr, nullptr, color);
}

void CGraphicsDevice::DrawString(const char* text, D3DCOLOR color, const D3DXMATRIX* transform) {
  if (text == nullptr || font == nullptr) return;
  if (transform && sprite) sprite->SetTransform(transform);
  RECT rect = {0, 0, 0, 0};
  font->DrawTextA(sprite, text, -1, &rect, DT_CALCRECT, color);
  font->DrawTextA(sprite, text, -1, &rect, 0, color);
}

void CGraphicsDevice::DrawScreenQuad(float x, float y, float width, float height, float uMax,
                                     float vMax) {
  const ScreenVertex quad[4] = {
      {x, y, 0.0f, 1.0f, 0.0f, 0.0f},
      {x + width, y, 0.0f, 1.0f, uMax, 0.0f},
      {x, y + height, 0.0f, 1.0f, 0.0f, vMax},
      {x + width, y + height, 0.0f, 1.0f, uMax, vMax},
  };
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
}

void CGraphicsDevice::SetDirectionalLight(DWORD index, const D3DXVECTOR3* direction,
                                          const D3DXCOLOR* diffuse, const D3DXCOLOR* ambient,
                                          const D3DXCOLOR* specular) {
  D3DLIGHT9 light;
  std::memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = *diffuse;
  light.Ambient = *ambient;
  light.Specular = *specular;
  D3DXVECTOR3 normalised;
  D3DXVec3Normalize(&normalised, direction);
  light.Direction = normalised;
  device->SetLight(index, &light);
  device->LightEnable(index, TRUE);
}

D3DLIGHT9* CGraphicsDevice::GetLight(D3DLIGHT9* out, DWORD index) {
  device->GetLight(index, out);
  return out;
}

void CGraphicsDevice::Begin2D() {
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

void CGraphicsDevice::End2D() {
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
}
