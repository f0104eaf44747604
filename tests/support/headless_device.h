// Test support: a headless Direct3D device of a given size, and reading a
// render target's pixels back the way a screenshot does (GetRenderTargetData
// into a system-memory surface, then LockRect).
#pragma once
#include <d3d9.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace glomp::test {

// A windowed X8R8G8B8 device with a D24S8 depth-stencil surface, as the game
// makes it; null when no device can be made.
inline IDirect3DDevice9* CreateHeadlessDevice(IDirect3D9* d3d, UINT width, UINT height,
                                              D3DPRESENT_PARAMETERS* usedParams = nullptr) {
  if (!d3d) return nullptr;
  D3DPRESENT_PARAMETERS params{};
  params.BackBufferWidth = width;
  params.BackBufferHeight = height;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.Windowed = TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = D3DFMT_D24S8;
  params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  IDirect3DDevice9* device = nullptr;
  if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                               D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
                               &params, &device))) {
    return nullptr;
  }
  if (usedParams) *usedParams = params;
  return device;
}

// The 32-bit pixels of a render-target surface, row by row from the top (the
// back buffer when `surface` is null); empty when they cannot be read.
inline std::vector<std::uint32_t> ReadSurfacePixels(IDirect3DDevice9* device,
                                                    IDirect3DSurface9* surface = nullptr) {
  std::vector<std::uint32_t> pixels;
  if (!device) return pixels;
  IDirect3DSurface9* source = surface;
  if (!source && FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &source))) {
    return pixels;
  }
  D3DSURFACE_DESC desc{};
  source->GetDesc(&desc);
  IDirect3DSurface9* copy = nullptr;
  if (SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                    D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
      SUCCEEDED(device->GetRenderTargetData(source, copy))) {
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
      pixels.resize(std::size_t(desc.Width) * desc.Height);
      for (UINT y = 0; y < desc.Height; ++y) {
        std::memcpy(&pixels[std::size_t(y) * desc.Width],
                    static_cast<const BYTE*>(locked.pBits) + std::size_t(y) * locked.Pitch,
                    desc.Width * 4);
      }
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  if (!surface) source->Release();
  return pixels;
}

}  // namespace glomp::test
