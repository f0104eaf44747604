// The cameras of the game scene with a scene made by the test: a fake running
// scene in the game, and for the game and clear cameras the scene's player.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "camera/Camera.h"
#include "chara/Player.h"
#include "support/fake_scene.h"

namespace camera_test {

inline void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected,
                             float eps = 1e-4f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual(r, c), expected(r, c), eps) << "element (" << r << ", " << c << ")";
}

inline D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

// A point of the world in a camera's own axes (x right, y up, z forward),
// relative to `origin`.
inline D3DXVECTOR3 InCameraAxes(const D3DXMATRIX& camera, const D3DXVECTOR3& point,
                                const D3DXVECTOR3& origin) {
  const D3DXVECTOR3 d = point - origin;
  return D3DXVECTOR3(d.x * camera._11 + d.y * camera._12 + d.z * camera._13,
                     d.x * camera._21 + d.y * camera._22 + d.z * camera._23,
                     d.x * camera._31 + d.y * camera._32 + d.z * camera._33);
}

class CameraWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_.sceneId = kSceneGame;
    scene_.phase = kPhasePlay;
  }
  void TearDown() override {
    scene_.player = nullptr;
    scene_.slime = nullptr;
    player_.reset();
  }

  Player& MakePlayer() {
    player_ = std::make_unique<Player>();
    scene_.player = player_.get();
    scene_.slime = player_.get();
    return *player_;
  }

  // The first bone's live place, which the game camera chases.
  D3DXVECTOR3 Body() const { return TranslationOf(player_->meshObject.nodes.at(0)->combinedMatrix); }

  // Moves the slime's body by `step` in world axes, as riding or jumping would.
  void MoveBody(const D3DXVECTOR3& step) { player_->PlaceAt(player_->position + step); }

  FakeScene scene_;
  std::unique_ptr<Player> player_;
};

}  // namespace camera_test
