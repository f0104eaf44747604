// A headless device for drawing tests, with helpers that read pixels back
// through GetRenderTargetData as a screenshot would.
#pragma once
#include <d3d9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace glomp::test {

struct Pixel {
  int r, g, b, a;
};

// One pretransformed, coloured, textured vertex (D3DFVF_XYZRHW | DIFFUSE | TEX1).
struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The game's polygon vertex (D3DFVF_XYZ | DIFFUSE | TEX1, 24 bytes).
struct WorldVertex {
  float x, y, z;
  D3DCOLOR color;
  float u, v;
};
constexpr DWORD kWorldFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class DeviceTest : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 64;
  static constexpr UINT kHeight = 48;

  void SetUp() override;
  void TearDown() override;

  // The pixels of a render-target surface (the back buffer when null).
  std::vector<uint32_t> ReadPixels(IDirect3DSurface9* surface = nullptr);
  Pixel At(const std::vector<uint32_t>& pixels, UINT width, int x, int y);
  Pixel BackBufferAt(int x, int y);
  void SavePng(const std::string& file, IDirect3DSurface9* surface = nullptr);

  // Draws a pretransformed rectangle of one colour (no texture).
  void FillRect(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.0f);
  // A texture of the given A8R8G8B8 pixels, row by row from the top.
  IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<uint32_t>& argb);

  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  D3DPRESENT_PARAMETERS params_ = {};
};

bool Near(const Pixel& p, int r, int g, int b, int tolerance = 2);

}  // namespace glomp::test
