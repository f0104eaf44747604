#include "render/Texture.h"

#include "app/GraphicsDevice.h"

namespace {

// Whether every texel of every level has an alpha of at least 128 (0.5). Formats
// without alpha are opaque; any other format with alpha counts as not.
bool EveryTexelHalfOpaque(IDirect3DTexture9* texture) {
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(level, &desc))) return false;
    if (desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_R5G6B5 ||
        desc.Format == D3DFMT_X1R5G5B5 || desc.Format == D3DFMT_L8) {
      continue;
    }
    if (desc.Format != D3DFMT_A8R8G8B8) return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return false;
    bool halfOpaque = true;
    const auto* row = static_cast<const BYTE*>(locked.pBits);
    for (UINT y = 0; y < desc.Height && halfOpaque; ++y, row += locked.Pitch) {
      const auto* texels = reinterpret_cast<const DWORD*>(row);
      for (UINT x = 0; x < desc.Width; ++x) {
        if ((texels[x] >> 24) < 0x80) {
          halfOpaque = false;
          break;
        }
      }
    }
    texture->UnlockRect(level);
    if (!halfOpaque) return false;
  }
  return true;
}

}  // namespace

CTexture::CTexture() : texture(nullptr), surface(nullptr), info{}, rect{}, opaque(false) {}

CTexture::~CTexture() { Release(); }

void CTexture::Release() {
  if (surface) surface->Release();
  if (texture) texture->Release();
  surface = nullptr;
  texture = nullptr;
  fileName.clear();
  info = D3DXIMAGE_INFO{};
  rect = RECT{};
  opaque = false;
}

bool CTexture::LoadFromFile(const std::string& name, bool keepSize) {
  Release();
  fileName = name;
  const UINT size = keepSize ? D3DX_DEFAULT_NONPOW2 : D3DX_DEFAULT;
  if (FAILED(D3DXCreateTextureFromFileExA(CGraphicsDevice::GetInstance().device, name.c_str(),
                                          size, size, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                          D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                          nullptr, &texture))) {
    texture = nullptr;
    info = D3DXIMAGE_INFO{};
    return false;
  }
  if (FAILED(texture->GetSurfaceLevel(0, &surface))) {
    surface = nullptr;
    return false;
  }
  rect = RECT{0, 0, static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
  opaque = EveryTexelHalfOpaque(texture);
  return true;
}

bool CTexture::Create(UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool) {
  Release();
  if (FAILED(D3DXCreateTexture(CGraphicsDevice::GetInstance().device, width, height, mipLevels,
                               usage, format, pool, &texture))) {
    texture = nullptr;
    return false;
  }
  if (FAILED(texture->GetSurfaceLevel(0, &surface))) {
    surface = nullptr;
    return false;
  }
  D3DSURFACE_DESC desc{};
  surface->GetDesc(&desc);
  info.Width = desc.Width;
  info.Height = desc.Height;
  info.Format = desc.Format;
  info.MipLevels = texture->GetLevelCount();
  rect = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  return true;
}

bool CTexture::Fill(DWORD colour, DWORD lockFlags) {
  if (!texture) return false;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, lockFlags))) return false;
  auto* row = static_cast<BYTE*>(locked.pBits);
  for (UINT y = 0; y < info.Height; ++y, row += locked.Pitch) {
    auto* pixels = reinterpret_cast<DWORD*>(row);
    for (UINT x = 0; x < info.Width; ++x) pixels[x] = colour;
  }
  texture->UnlockRect(0);
  return true;
}

void CTexture::SetAsRenderTarget(DWORD index) {
  CGraphicsDevice::GetInstance().device->SetRenderTarget(index, surface);
}
