// The game camera: the chase of the look point, the place behind and above the
// slime, riding blocks, and the pull-back and tilt of a jump.
#include "camera/GameCamera.h"

#include <cmath>

#include "camera/camera_world.h"
#include "stage/MapObjectStruct.h"

namespace camera_test {
namespace {

constexpr double kDegree = 3.14159265358979 / 180.0;

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  const D3DXVECTOR3 d = a - b;
  return D3DXVec3Length(&d);
}

using GameCameraTest = CameraWorld;

TEST_F(GameCameraTest, StartsOnThePlayerAndTheTiltRestsWhileItIsHome) {
  Player& player = MakePlayer();
  GameCamera camera;
  EXPECT_EQ(camera.homePoint, player.position);
  EXPECT_EQ(camera.lookPoint, player.position);
  EXPECT_EQ(camera.tilt, 0.0f);
  EXPECT_EQ(camera.pullBack, 0.0f);
  camera.tilt = 5;
  camera.Update();
  EXPECT_EQ(camera.tilt, 0.0f) << "at its home point the tilt is put back";
}

TEST_F(GameCameraTest, AStillSlimeIsCaughtUpWithAndSeenFrom7Behind1Above) {
  Player& player = MakePlayer();
  GameCamera camera;
  player.angles.x = 5;  // the player's pitch; the camera looks 10° further down
  MoveBody(D3DXVECTOR3(-10, 0, 0));
  player.anchor = Body();  // standing: the ground height is the body's

  const D3DXVECTOR3 start = camera.lookPoint;
  const float gap = Distance(Body(), start);
  camera.Update();
  EXPECT_NEAR(Distance(camera.lookPoint, start), 0.08f * gap, 1e-4f) << "8 % of the way";

  int frames = 1;
  float previous = Distance(Body(), camera.lookPoint);
  while (previous > 0 && frames < 200) {
    camera.Update();
    ++frames;
    const float now = Distance(Body(), camera.lookPoint);
    if (previous <= 0.1f) {
      EXPECT_LT(now, 1e-5f) << "within 0.1 it snaps onto the body";
      break;
    }
    // Never less than 0.1 a frame while farther away.
    EXPECT_GE(previous - now, std::fmin(0.1f, previous) - 1e-5f);
    previous = now;
  }
  EXPECT_LT(frames, 200);
  EXPECT_EQ(camera.pullBack, 0.0f);
  EXPECT_EQ(camera.tilt, 0.0f);

  // 7 behind and 1 above the look point in the camera's own axes ...
  camera.Update();
  const D3DXVECTOR3 offset =
      InCameraAxes(camera.world, TranslationOf(camera.world), camera.lookPoint);
  EXPECT_NEAR(offset.x, 0.0f, 1e-4f);
  EXPECT_NEAR(offset.y, 1.0f, 1e-4f);
  EXPECT_NEAR(offset.z, -7.0f, 1e-4f);
  // ... looking along the player's facing (−x), 15° down.
  EXPECT_NEAR(camera.world._31, -std::cos(15 * kDegree), 1e-4);
  EXPECT_NEAR(camera.world._32, -std::sin(15 * kDegree), 1e-4);
  EXPECT_NEAR(camera.world._33, 0.0, 1e-4);
  EXPECT_EQ(camera.angleX, 15.0f);
  EXPECT_EQ(camera.angleY, -90.0f);
}

// A block carries the slime 0.3 a frame: with the block's step added first the
// look point stays on the body; without it (not riding) it would fall behind.
TEST_F(GameCameraTest, RidingABlockTheCameraDoesNotLag) {
  Player& player = MakePlayer();
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  MapObjectStruct block(nullptr, identity, "MoveObject");
  const D3DXVECTOR3 step(0.3f, 0.05f, -0.2f);
  D3DXMatrixTranslation(&block.motion, step.x, step.y, step.z);

  for (const bool riding : {true, false}) {
    player.Reset();
    player.standingOn = nullptr;
    player.anchor = Body();
    GameCamera camera;
    for (int i = 0; i < 100; ++i) camera.Update();
    ASSERT_LT(Distance(camera.lookPoint, Body()), 1e-5f);
    player.standingOn = riding ? &block : nullptr;  // from now on the block moves
    float worst = 0;
    for (int frame = 0; frame < 60; ++frame) {
      MoveBody(step);
      player.anchor = Body();
      camera.Update();
      worst = std::fmax(worst, Distance(camera.lookPoint, Body()));
    }
    if (riding) {
      EXPECT_LT(worst, 1e-4f);
    } else {
      EXPECT_GT(worst, 0.1f) << "the test would not see a lag";
    }
  }
}

TEST_F(GameCameraTest, AJumpOfHeightHPullsBackByHAndTiltsByHDegrees) {
  Player& player = MakePlayer();
  GameCamera camera;
  MoveBody(D3DXVECTOR3(-3, 0, 0));  // away from home, so the tilt is kept
  player.anchor = Body();
  for (int i = 0; i < 100; ++i) camera.Update();
  ASSERT_EQ(camera.tilt, 0.0f);

  const float h = 4.0f;
  const D3DXVECTOR3 ground = Body();
  MoveBody(D3DXVECTOR3(0, h, 0));  // the anchor stays on the ground
  for (int i = 0; i < 300; ++i) camera.Update();
  EXPECT_NEAR(camera.pullBack, -h, 1e-4f);
  EXPECT_NEAR(camera.tilt, h, 1e-4f);
  // The look point rises only half as far.
  EXPECT_NEAR(camera.lookPoint.y, ground.y + h / 2, 1e-4f);
  // The camera has moved back along its own z.
  const D3DXVECTOR3 offset =
      InCameraAxes(camera.world, TranslationOf(camera.world), camera.lookPoint);
  EXPECT_NEAR(offset.z, -7.0f - h, 1e-3f);

  // Back on the ground both ease back to nothing.
  MoveBody(D3DXVECTOR3(0, -h, 0));
  for (int i = 0; i < 300; ++i) camera.Update();
  EXPECT_NEAR(camera.pullBack, 0.0f, 1e-4f);
  EXPECT_NEAR(camera.tilt, 0.0f, 1e-4f);
}

TEST_F(GameCameraTest, TheTiltIsClampedAt80OnlyInTheMatrix) {
  Player& player = MakePlayer();
  GameCamera camera;
  MoveBody(D3DXVECTOR3(-3, 0, 0));
  player.anchor = Body();
  MoveBody(D3DXVECTOR3(0, 100, 0));
  for (int i = 0; i < 600; ++i) camera.Update();
  EXPECT_NEAR(camera.tilt, 100.0f, 1e-3f) << "the stored tilt goes on";
  // 80° of tilt and the 10° pitch: the camera looks straight down.
  EXPECT_NEAR(camera.world._32, -1.0f, 1e-4f);
}

}  // namespace
}  // namespace camera_test
