// The title stage as the title scene holds it, without the scene: a headless
// device in the run folder (where data/ is), the resource cache, a keyboard
// whose slots the test sets, the title stage file, and the scene through which
// the stage objects and the characters see "the running scene".
#pragma once
#include <d3d9.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "chara/TitleSlime.h"
#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"
#include "support/fake_scene.h"

namespace title_world {

// The title scene as the stage objects and the title slime see it.
inline std::optional<FakeScene>& Holder() {
  static std::optional<FakeScene> scene;
  return scene;
}
inline FakeScene& Current() { return *Holder(); }

class TitleWorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 64;
    params.BackBufferHeight = 48;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
                                 &params, &device_),
              D3D_OK);
    CGraphicsDevice::GetInstance().device = device_;
    g_resourceCache = new CResourceCache;
    g_keyboard = new CKeyboard;
    Holder().emplace();
    Current().sceneId = kSceneTitle;
    stage_ = std::make_unique<CStage>(STAGE_FILE_TITLE);
    Current().stage = stage_.get();
    ASSERT_FALSE(stage_->objects->Objects().empty()) << "the title stage did not load";
  }

  void TearDown() override {
    slime_.reset();
    stage_.reset();
    Holder().reset();
    delete g_keyboard;
    g_keyboard = nullptr;
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CGraphicsDevice::GetInstance().device = nullptr;
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
  }

  TitleSlime& MakeSlime() {
    slime_ = std::make_unique<TitleSlime>();
    Current().slime = slime_.get();
    return *slime_;
  }

  // One title frame as the scene runs it: the stage, then the slime, then the clock.
  void Step() {
    stage_->Update();
    if (slime_) slime_->Update();
    ++Current().frameCount;
  }

  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  std::unique_ptr<CStage> stage_;
  std::unique_ptr<TitleSlime> slime_;
};

}  // namespace title_world

