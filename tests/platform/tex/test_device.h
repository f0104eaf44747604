// A headless Direct3D device for the resource tests, a scratch folder to run
// in, and reading pixels back from a render target.
#pragma once
#include <d3d9.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/headless_device.h"

namespace restest {

class DeviceTest : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 64;
  static constexpr UINT kHeight = 48;

  void SetUp() override {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("glomp_res_" + std::to_string(::getpid()) + "_" +
                                         test->test_suite_name() + "_" + test->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::current_path(root_);

    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    device_ = glomp::test::CreateHeadlessDevice(d3d_, kWidth, kHeight);
    ASSERT_NE(device_, nullptr);
  }

  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u) << "something still holds the device";
    }
    if (d3d_) d3d_->Release();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(root_);
  }

  // ARGB pixels of a render-target surface (the back buffer when null).
  std::vector<std::uint32_t> ReadPixels(IDirect3DSurface9* surface = nullptr) {
    return glomp::test::ReadSurfacePixels(device_, surface);
  }

  std::uint32_t BackBufferAt(int x, int y) {
    const auto pixels = ReadPixels();
    return pixels.empty() ? 0 : pixels[std::size_t(y) * kWidth + std::size_t(x)];
  }

  // Level `level` of a texture as ARGB values, row by row.
  static std::vector<std::uint32_t> TexturePixels(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(level, &desc);
    D3DLOCKED_RECT locked{};
    std::vector<std::uint32_t> pixels;
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return pixels;
    pixels.resize(std::size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
      std::memcpy(&pixels[std::size_t(y) * desc.Width],
                  static_cast<const BYTE*>(locked.pBits) + std::size_t(y) * locked.Pitch,
                  desc.Width * 4);
    }
    texture->UnlockRect(level);
    return pixels;
  }

  std::filesystem::path root_, previous_;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

}  // namespace restest
