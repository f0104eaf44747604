// A headless device set up the way the game's drawing frame uses it (back buffer,
// depth surface and sprite held by CGraphicsDevice, the application's client size),
// the effect files of assets/shaders copied to a scratch folder's Shader/, models
// written as X text, and pixels read back from render targets.
#pragma once
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "support/headless_device.h"
#include "glomp/headless.h"
#include "platform/tex/tex_files.h"

namespace shading {

namespace fs = std::filesystem;

// The effect sources, next to this test's sources in the repository.
inline fs::path EffectSources() {
  return fs::path(GLOMP_TESTS_DIR) / ".." / "assets" / "shaders";
}

struct Rgb {
  int r, g, b, a;
};
inline Rgb Split(std::uint32_t argb) {
  return {int(argb >> 16 & 255), int(argb >> 8 & 255), int(argb & 255), int(argb >> 24)};
}

// X text of an axis-aligned box centred at (cx, cy, cz) with half sizes (hx, hy, hz),
// 24 vertices with face normals, one material.
inline std::string BoxModel(float cx, float cy, float cz, float hx, float hy, float hz,
                            const char* material = "1;1;1;1;; 10; 0;0;0;; 0;0;0;;") {
  struct Face {
    float n[3];
    float u[3];
    float v[3];
  };
  const Face faces[6] = {
      {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
      {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
  };
  const float h[3] = {hx, hy, hz};
  const float c[3] = {cx, cy, cz};
  std::ostringstream positions, normals, indices;
  const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
  for (int f = 0; f < 6; ++f) {
    for (int k = 0; k < 4; ++k) {
      for (int a = 0; a < 3; ++a) {
        const float p = c[a] + h[a] * (faces[f].n[a] + corners[k][0] * faces[f].u[a] +
                                       corners[k][1] * faces[f].v[a]);
        positions << p << (a < 2 ? ";" : ";");
      }
      positions << (f == 5 && k == 3 ? ";\n" : ",\n");
      normals << faces[f].n[0] << ";" << faces[f].n[1] << ";" << faces[f].n[2] << ";"
              << (f == 5 && k == 3 ? ";\n" : ",\n");
    }
    // (-1,-1), (-1,1), (1,1), (1,-1) in (u, v) with u x v = -n runs clockwise seen
    // from outside: Direct3D's front faces.
    indices << "4;" << 4 * f << "," << 4 * f + 1 << "," << 4 * f + 2 << "," << 4 * f + 3
            << ";" << (f == 5 ? ";\n" : ",\n");
  }
  return "xof 0303txt 0032\nMesh box {\n24;\n" + positions.str() + "6;\n" + indices.str() +
         "MeshNormals {\n24;\n" + normals.str() + "6;\n" + indices.str() +
         "}\nMeshMaterialList { 1; 6; 0,0,0,0,0,0; Material { " + material + " } }\n}\n";
}

// X text of a UV sphere of the given radius at the origin, normals pointing out.
inline std::string SphereModel(float radius, int slices = 32, int stacks = 16) {
  std::ostringstream positions, normals, faces;
  const int columns = slices + 1;
  const int vertexCount = columns * (stacks + 1);
  const float pi = 3.14159265f;
  for (int i = 0; i <= stacks; ++i) {
    const float theta = pi * i / stacks;
    for (int j = 0; j <= slices; ++j) {
      const float phi = 2 * pi * j / slices;
      const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta),
                          std::sin(theta) * std::sin(phi)};
      const bool last = i == stacks && j == slices;
      positions << radius * n[0] << ";" << radius * n[1] << ";" << radius * n[2] << ";"
                << (last ? ";\n" : ",\n");
      normals << n[0] << ";" << n[1] << ";" << n[2] << ";" << (last ? ";\n" : ",\n");
    }
  }
  const int faceCount = stacks * slices;
  int written = 0;
  for (int i = 0; i < stacks; ++i) {
    for (int j = 0; j < slices; ++j) {
      const int a = i * columns + j, b = a + 1, c = a + columns, d = c + 1;
      // Clockwise from outside.
      faces << "4;" << a << "," << b << "," << d << "," << c << ";"
            << (++written == faceCount ? ";\n" : ",\n");
    }
  }
  std::ostringstream out;
  out << "xof 0303txt 0032\nMesh sphere {\n" << vertexCount << ";\n" << positions.str()
      << faceCount << ";\n" << faces.str() << "MeshNormals {\n" << vertexCount << ";\n"
      << normals.str() << faceCount << ";\n" << faces.str() << "}\n"
      << "MeshMaterialList { 1; " << faceCount << "; ";
  for (int f = 0; f < faceCount; ++f) out << 0 << (f + 1 == faceCount ? ";" : ",");
  out << " Material { 1;1;1;1;; 10; 0;0;0;; 0;0;0;; } }\n}\n";
  return out.str();
}

class ShadingTest : public ::testing::Test {
 protected:
  static constexpr int kW = 640;
  static constexpr int kH = 360;

  void SetUp() override {
    glomp::headless::Enable();
    glomp::headless::Reset();
    previous_ = fs::current_path();
    shotDirectory_ = previous_ / "shots" / "shading";
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("glomp_shading_" + std::to_string(::getpid()) + "_" +
                                         test->test_suite_name() + "_" + test->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::current_path(root_);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    device_ = glomp::test::CreateHeadlessDevice(d3d_, kW, kH);
    ASSERT_NE(device_, nullptr);
    fs::create_directories("Shader");
    for (const auto& entry : fs::directory_iterator(EffectSources())) {
      if (entry.path().extension() == ".fx") {
        fs::copy_file(entry.path(), fs::path("Shader") / entry.path().filename());
      }
    }
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    graphics.device = device_;
    device_->GetRenderTarget(0, &graphics.backBuffer);
    device_->GetDepthStencilSurface(&graphics.depthSurface);
    ASSERT_EQ(D3DXCreateSprite(device_, &graphics.sprite), D3D_OK);
    graphics.SetDefaultStates();
    CApplication& application = CApplication::GetInstance();
    application.clientWidth = kW;
    application.clientHeight = kH;
  }

  void TearDown() override {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    if (graphics.sprite) graphics.sprite->Release();
    if (graphics.backBuffer) graphics.backBuffer->Release();
    if (graphics.depthSurface) graphics.depthSurface->Release();
    graphics.sprite = nullptr;
    graphics.backBuffer = graphics.depthSurface = nullptr;
    graphics.device = nullptr;
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u) << "something still holds the device";
    }
    if (d3d_) d3d_->Release();
    fs::current_path(previous_);
    fs::remove_all(root_);
  }

  // ARGB (or raw 32-bit) pixels of a render-target surface; the back buffer when null.
  std::vector<std::uint32_t> ReadPixels(IDirect3DSurface9* surface = nullptr) {
    return glomp::test::ReadSurfacePixels(device_, surface);
  }

  static void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path().empty() ? fs::path(".")
                                                                : fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  // A ramp of three bands: dark below a third, middle below two thirds, white above.
  static void WriteThreeBandRamp(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    // 64 texels wide: a power of two, so loading does not resample the bands.
    texfiles::WriteFile(path, texfiles::Png(64, 4, 4, [](int x, int) {
      const int level = x < 21 ? kBandDark : x < 42 ? kBandMiddle : 255;
      return texfiles::Rgba(level, level, level, 255);
    }));
  }
  static constexpr int kBandDark = 60;
  static constexpr int kBandMiddle = 150;

  // Camera at `eye` looking at `at`, 60 degrees, the game's near and far planes.
  void SetCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& at) {
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&view_, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection_, 1.0471976f, float(kW) / kH, 0.01f, 2000.0f);
    device_->SetTransform(D3DTS_VIEW, &view_);
    device_->SetTransform(D3DTS_PROJECTION, &projection_);
  }

  // The pixel a world point lands on.
  void Project(const D3DXVECTOR3& point, int* x, int* y) const {
    D3DXVECTOR4 clip;
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &view_, &projection_);
    D3DXVec3Transform(&clip, &point, &viewProjection);
    *x = int((clip.x / clip.w * 0.5f + 0.5f) * kW);
    *y = int((0.5f - clip.y / clip.w * 0.5f) * kH);
  }

  std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y) const {
    return pixels[std::size_t(y) * kW + x];
  }

  // Saves a picture for a person to look at (build/shots/shading/NAME.png).
  void Save(const std::string& name, const std::vector<std::uint32_t>& pixels, int width,
            int height) {
    fs::create_directories(shotDirectory_);
    std::vector<unsigned char> rgb;
    for (std::uint32_t p : pixels) {
      rgb.push_back(p >> 16 & 255);
      rgb.push_back(p >> 8 & 255);
      rgb.push_back(p & 255);
    }
    glomp::headless::WritePngRgb((shotDirectory_ / (name + ".png")).string(), width, height,
                                 rgb.data());
  }

  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  D3DXMATRIX view_, projection_;
  fs::path previous_, root_, shotDirectory_;
};

}  // namespace shading
