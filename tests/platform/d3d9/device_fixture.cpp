#include "platform/d3d9/device_fixture.h"

#include <stb/stb_image_write.h>

#include <cstdlib>
#include <cstring>

#include "support/headless_device.h"

namespace glomp::test {

void DeviceTest::SetUp() {
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  device_ = CreateHeadlessDevice(d3d_, kWidth, kHeight, &params_);
  ASSERT_NE(device_, nullptr);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
}

void DeviceTest::TearDown() {
  if (device_) {
    EXPECT_EQ(device_->Release(), 0u);
  }
  if (d3d_) d3d_->Release();
}

std::vector<uint32_t> DeviceTest::ReadPixels(IDirect3DSurface9* surface) {
  return ReadSurfacePixels(device_, surface);
}

Pixel DeviceTest::At(const std::vector<uint32_t>& pixels, UINT width, int x, int y) {
  uint32_t c = pixels.at(size_t(y) * width + size_t(x));
  return {int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255), int(c >> 24)};
}

Pixel DeviceTest::BackBufferAt(int x, int y) { return At(ReadPixels(), kWidth, x, y); }

void DeviceTest::SavePng(const std::string& file, IDirect3DSurface9* surface) {
  D3DSURFACE_DESC desc;
  if (surface) surface->GetDesc(&desc);
  UINT width = surface ? desc.Width : kWidth, height = surface ? desc.Height : kHeight;
  std::vector<uint32_t> pixels = ReadPixels(surface);
  std::vector<unsigned char> rgba(pixels.size() * 4);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgba[i * 4 + 0] = (pixels[i] >> 16) & 255;
    rgba[i * 4 + 1] = (pixels[i] >> 8) & 255;
    rgba[i * 4 + 2] = pixels[i] & 255;
    rgba[i * 4 + 3] = 255;
  }
  stbi_write_png(file.c_str(), int(width), int(height), 4, rgba.data(), int(width) * 4);
}

void DeviceTest::FillRect(float left, float top, float right, float bottom, D3DCOLOR color,
                          float z) {
  ScreenVertex quad[4] = {{left, top, z, 1, color, 0, 0},
                          {right, top, z, 1, color, 1, 0},
                          {left, bottom, z, 1, color, 0, 1},
                          {right, bottom, z, 1, color, 1, 1}};
  device_->SetFVF(kScreenFvf);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
}

IDirect3DTexture9* DeviceTest::MakeTexture(UINT width, UINT height,
                                           const std::vector<uint32_t>& argb) {
  IDirect3DTexture9* texture = nullptr;
  if (device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                             nullptr) != D3D_OK)
    return nullptr;
  D3DLOCKED_RECT locked;
  if (texture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
    for (UINT y = 0; y < height; ++y)
      std::memcpy(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch,
                  &argb[size_t{y} * width], width * 4);
    texture->UnlockRect(0);
  }
  return texture;
}

bool Near(const Pixel& p, int r, int g, int b, int tolerance) {
  return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
         std::abs(p.b - b) <= tolerance;
}

}  // namespace glomp::test
