// The player in a game scene made by the test: a headless device in a scratch
// folder that borrows the run folder's data, the resource cache, a keyboard
// whose keys the test holds down frame by frame, the mouse, the sound requests,
// a small stage, and the fake running scene in its play phase.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/Mouse.h"
#include "chara/Player.h"
#include "chara/small_stage.h"
#include "platform/tex/test_device.h"
#include "render/ResourceCache.h"
#include "support/fake_scene.h"
#include "support/sound_requests.h"

namespace player_test {

// Key slots the player reads.
constexpr int kW = 1, kS = 2, kA = 3, kD = 4, kLeft = 7, kRight = 8, kSpace = 9;
constexpr int kJumpSound = 4, kWalkSound = 6;

class PlayerWorld : public restest::DeviceTest {
 protected:
  void SetUp() override {
    const std::filesystem::path runDirectory = std::filesystem::current_path();
    restest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directory_symlink(runDirectory / "data", "data");
    CGraphicsDevice::GetInstance().device = device_;
    g_resourceCache = new CResourceCache;
    g_keyboard = new CKeyboard;
    g_mouse = new CMouse;
    g_mouse->dx = 0;
    sounds_ = std::make_unique<glomp::test::SoundRequests>();
    chara_test::WriteSquares();
    scene_.sceneId = kSceneGame;
    scene_.phase = kPhasePlay;
  }

  void TearDown() override {
    scene_.player = nullptr;
    scene_.slime = nullptr;
    scene_.stage = nullptr;
    player_.reset();
    stage_.reset();
    sounds_.reset();
    delete g_mouse;
    g_mouse = nullptr;
    delete g_keyboard;
    g_keyboard = nullptr;
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CGraphicsDevice::GetInstance().device = nullptr;
    restest::DeviceTest::TearDown();
  }

  void Stage(const std::vector<std::string>& rows) {
    stage_ = chara_test::LoadSmallStage(rows);
    scene_.stage = stage_.get();
  }

  // A wide floor whose face is at y = 0 under the start pad (0, 0, 145): the
  // player lands resting at y −0.5.
  void FloorUnderStart() { Stage({"floor.x,0,0,145,100,1,100,0,0,0,Map"}); }

  Player& MakePlayer() {
    player_ = std::make_unique<Player>();
    scene_.player = player_.get();
    scene_.slime = player_.get();
    return *player_;
  }

  // Keys held down from the next frame on; the keyboard's edges follow.
  void Hold(int slot, bool down = true) { held_[slot] = down; }

  // One game frame: last frame's sounds carried out, the keys polled, the
  // stage and the player updated; then the scene clock advances. The requests
  // of this frame can be read until the next Step.
  void Step() {
    glomp::test::SoundRequests::EndFrame();
    for (int slot = 0; slot < CKeyboard::kSlotCount; ++slot) {
      int& state = g_keyboard->state[slot];
      const bool wasDown = state == KEY_PRESSED || state == KEY_HELD;
      if (held_[slot]) {
        state = wasDown ? KEY_HELD : KEY_PRESSED;
      } else {
        state = wasDown ? KEY_RELEASED : KEY_UP;
      }
    }
    if (stage_) stage_->Update();
    player_->Update();
    ++scene_.frameCount;
  }

  // Steps until the player stands (at most `limit` frames); whether it does.
  bool Land(int limit = 200) {
    for (int i = 0; i < limit; ++i) {
      Step();
      if (player_->onGround) return true;
    }
    return false;
  }

  static bool Played(int id, int mode) { return glomp::test::SoundRequests::Played(id, mode); }

  FakeScene scene_;
  std::unique_ptr<glomp::test::SoundRequests> sounds_;
  std::unique_ptr<CStage> stage_;
  std::unique_ptr<Player> player_;
  bool held_[CKeyboard::kSlotCount] = {};
};

}  // namespace player_test
