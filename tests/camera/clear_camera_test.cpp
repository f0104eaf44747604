// The clear camera: its hold of 120 frames, the first swing once the player is
// placed, the second swing on the player's count of 60, and the gates let open
// once with the gate sound.
#include "camera/ClearCamera.h"

#include "camera/StartCamera.h"
#include "camera/camera_world.h"
#include "support/sound_requests.h"

namespace camera_test {
namespace {

constexpr int kGateSound = 9;

struct CountingScene : FakeScene {
  void LetGatesOpen() override {
    FakeScene::LetGatesOpen();
    ++gatesLetOpen;
  }
  int gatesLetOpen = 0;
};

class ClearCameraTest : public CameraWorld {
 protected:
  void SetUp() override {
    CameraWorld::SetUp();
    scene_.phase = kPhaseClear;
    counting_.phase = kPhaseClear;  // registered last: the running scene
  }
  void TearDown() override {
    counting_.player = nullptr;
    CameraWorld::TearDown();
  }

  // The player's side of the clear sequence as the camera sees it: the walk of
  // state 2 ends after 51 frames, state 3 counts a frame each. Then the camera.
  void Frame(ClearCamera& camera, Player& player) {
    glomp::test::SoundRequests::EndFrame();
    if (player.clearState == 2 && ++walkFrames_ >= 51) {
      player.clearState = 3;
    } else if (player.clearState == 3) {
      ++player.clearCount;
    }
    camera.Update();
  }

  Player& ScenePlayer() {
    Player& player = MakePlayer();
    counting_.player = &player;
    return player;
  }

  CountingScene counting_;
  glomp::test::SoundRequests sounds_;
  int walkFrames_ = 0;
};

TEST_F(ClearCameraTest, StartsWhereTheStartCameraEnded) {
  const ClearCamera camera;
  const StartCamera start;
  EXPECT_EQ(camera.startPose, start.endPose);
  EXPECT_EQ(camera.from, camera.startPose);
  EXPECT_EQ(camera.to, camera.middlePose);
  EXPECT_EQ(camera.t, 0.0f);
  EXPECT_EQ(camera.speed, 0.02f);
  EXPECT_EQ(camera.waitFrames, 0);
}

TEST_F(ClearCameraTest, APlayerPlacedLateKeepsTheFirstPoseUntilThen) {
  Player& player = ScenePlayer();
  ClearCamera camera;
  for (int i = 0; i < 200; ++i) {
    Frame(camera, player);
    ExpectMatrixNear(camera.world, camera.startPose);
    ASSERT_EQ(camera.t, 0.0f);
  }
  EXPECT_EQ(camera.waitFrames, 120);
  player.clearState = 1;
  Frame(camera, player);
  EXPECT_EQ(camera.t, 0.02f);
  ExpectMatrixNear(camera.world, camera.startPose);
  Frame(camera, player);
  EXPECT_GT(std::fabs(camera.world._43 - camera.startPose._43), 0.01f);
}

TEST_F(ClearCameraTest, APlayerPlacedAtOnceStillWaits120Frames) {
  Player& player = ScenePlayer();
  player.clearState = 1;
  ClearCamera camera;
  for (int i = 0; i < 120; ++i) {
    Frame(camera, player);
    ASSERT_EQ(camera.t, 0.0f) << "frame " << i;
  }
  Frame(camera, player);
  EXPECT_EQ(camera.t, 0.02f);
}

TEST_F(ClearCameraTest, SwingsToTheGoalThenOnCount60ToTheGatesAndLetsThemOpenOnce) {
  Player& player = ScenePlayer();
  player.clearState = 1;
  ClearCamera camera;
  for (int i = 0; i < 120; ++i) Frame(camera, player);

  // The first swing; it ends by starting the player's walk.
  int swing = 0;
  while (player.clearState == 1 && swing < 400) {
    Frame(camera, player);
    ++swing;
  }
  EXPECT_NEAR(swing, 199, 3);
  EXPECT_EQ(player.clearState, 2);
  EXPECT_EQ(camera.t, 1.0f);

  // Held over the goal, t clamped to 1 every frame, until the count is 60.
  while (player.clearCount < 59) {
    Frame(camera, player);
    ASSERT_EQ(camera.t, 1.0f);
    ExpectMatrixNear(camera.world, camera.middlePose);
    ASSERT_EQ(camera.from, camera.startPose);
  }
  Frame(camera, player);
  ASSERT_EQ(player.clearCount, 60);
  EXPECT_EQ(camera.from, camera.middlePose);
  EXPECT_EQ(camera.to, camera.finalPose);
  EXPECT_EQ(camera.t, 0.0f);
  EXPECT_EQ(camera.speed, 0.02f);

  // The second swing, then the gates and their sound, once.
  int gateSounds = 0;
  int openedAt = -1;
  for (int frame = 0; frame < 600; ++frame) {
    Frame(camera, player);
    if (glomp::test::SoundRequests::Played(kGateSound, 1)) ++gateSounds;
    if (openedAt < 0 && counting_.gatesLetOpen > 0) openedAt = frame;
  }
  EXPECT_NEAR(openedAt, 199, 3);
  EXPECT_EQ(counting_.gatesLetOpen, 1);
  EXPECT_EQ(gateSounds, 1);
  EXPECT_TRUE(counting_.GateMayOpen());
  ExpectMatrixNear(camera.world, camera.finalPose);
}

}  // namespace
}  // namespace camera_test
