#include "screenshot.h"

#include <vector>

#include "app/GraphicsDevice.h"
#include "glomp/headless.h"

bool SaveBackBuffer(const std::string& path, std::string* error) {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (graphics.device == nullptr || graphics.backBuffer == nullptr) {
    *error = "no device";
    return false;
  }
  D3DSURFACE_DESC desc;
  if (FAILED(graphics.backBuffer->GetDesc(&desc))) {
    *error = "cannot describe the back buffer";
    return false;
  }
  if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) {
    *error = "the back buffer is not a 32-bit RGB format";
    return false;
  }
  IDirect3DSurface9* copy = nullptr;
  if (FAILED(graphics.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                          D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
    *error = "cannot create an offscreen surface";
    return false;
  }
  bool saved = false;
  D3DLOCKED_RECT locked;
  if (FAILED(graphics.device->GetRenderTargetData(graphics.backBuffer, copy))) {
    *error = "cannot read the back buffer";
  } else if (FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
    *error = "cannot lock the copy";
  } else {
    // X8R8G8B8 / A8R8G8B8: bytes B, G, R, A in memory.
    std::vector<unsigned char> rgb(static_cast<size_t>(desc.Width) * desc.Height * 3);
    for (UINT y = 0; y < desc.Height; ++y) {
      const auto* row = static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch;
      for (UINT x = 0; x < desc.Width; ++x) {
        unsigned char* out = &rgb[(static_cast<size_t>(y) * desc.Width + x) * 3];
        out[0] = row[x * 4 + 2], out[1] = row[x * 4 + 1], out[2] = row[x * 4 + 0];
      }
    }
    copy->UnlockRect();
    saved = glomp::headless::WritePngRgb(path, desc.Width, desc.Height, rgb.data());
    if (!saved) *error = "cannot write " + path;
  }
  copy->Release();
  return saved;
}
