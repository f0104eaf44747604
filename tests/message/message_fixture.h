// The world the two messages run in during a test: a headless device of the
// client size in a scratch folder with pictures the test writes, the sprite,
// the resource cache, a keyboard whose Enter slot the test sets, the sound
// requests, and a fake game scene whose clock the test advances.
#pragma once
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "common/Helpers.h"
#include "platform/tex/tex_files.h"
#include "render/ResourceCache.h"
#include "support/fake_scene.h"
#include "support/headless_device.h"
#include "support/sound_requests.h"

namespace message_test {

constexpr int kEnterSlot = 10;
constexpr int kButtonSound = 3;

// Pictures of one flat colour (RGBA), written as PNG.
inline void WritePicture(const std::string& path, int width, int height, std::uint32_t rgba) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  texfiles::WriteFile(path, texfiles::Png(width, height, 4, [rgba](int, int) { return rgba; }));
}

class MessageTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 720;

  void SetUp() override {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("glomp_msg_" + std::to_string(::getpid()) + "_" +
                                         test->test_suite_name() + "_" + test->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::current_path(root_);

    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    device_ = glomp::test::CreateHeadlessDevice(d3d_, kWidth, kHeight);
    ASSERT_NE(device_, nullptr);
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    graphics.device = device_;
    ASSERT_EQ(D3DXCreateSprite(device_, &graphics.sprite), D3D_OK);
    CApplication& application = CApplication::GetInstance();
    savedWidth_ = application.clientWidth;
    savedHeight_ = application.clientHeight;
    application.clientWidth = kWidth;
    application.clientHeight = kHeight;
    g_resourceCache = new CResourceCache;
    g_keyboard = new CKeyboard;
    sounds_ = std::make_unique<glomp::test::SoundRequests>();
    scene_.frameCount = 0;
  }

  void TearDown() override {
    sounds_.reset();
    delete g_keyboard;
    g_keyboard = nullptr;
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CApplication& application = CApplication::GetInstance();
    application.clientWidth = savedWidth_;
    application.clientHeight = savedHeight_;
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    if (graphics.sprite) graphics.sprite->Release();
    graphics.sprite = nullptr;
    graphics.device = nullptr;
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(root_);
  }

  void SetEnter(int keyState) { g_keyboard->state[kEnterSlot] = keyState; }

  // The end of a frame: sound requests carried out, the scene clock advanced,
  // and a held key stays held.
  void EndFrame() {
    glomp::test::SoundRequests::EndFrame();
    ++scene_.frameCount;
    if (g_keyboard->state[kEnterSlot] == KEY_PRESSED) SetEnter(KEY_HELD);
  }

  // Clears to `background` (XRGB), runs `draw` inside a sprite batch as the
  // drawing frame does, and reads the frame back.
  template <typename Draw>
  std::vector<std::uint32_t> DrawFrame(D3DCOLOR background, Draw draw) {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, background,
                   1.0f, 0);
    device_->BeginScene();
    graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
    draw();
    graphics.sprite->End();
    device_->EndScene();
    return glomp::test::ReadSurfacePixels(device_);
  }

  static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y) {
    return pixels.at(std::size_t(y) * kWidth + std::size_t(x)) & 0xFFFFFF;
  }
  static int Red(std::uint32_t c) { return int(c >> 16) & 255; }
  static int Green(std::uint32_t c) { return int(c >> 8) & 255; }
  static int Blue(std::uint32_t c) { return int(c) & 255; }

  FakeScene scene_;
  std::filesystem::path root_, previous_;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  std::unique_ptr<glomp::test::SoundRequests> sounds_;
  int savedWidth_ = 0, savedHeight_ = 0;
};

}  // namespace message_test
