// The start camera: still while the scene clock has not passed 30, the glide
// out to the overview, the start band raised, the glide back and the handover
// to play, which deletes the camera from inside its own update.
#include "camera/StartCamera.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <new>

#include "camera/camera_world.h"

namespace camera_test {
namespace {

// The pose translation(p) × rotationX(a) × rotationY(b) puts the camera at
// p turned about x, then about y, around the world's origin.
D3DXVECTOR3 PlaceOfPose(double x, double y, double z, double a, double b) {
  const double y1 = y * std::cos(a) - z * std::sin(a);
  const double z1 = y * std::sin(a) + z * std::cos(a);
  return D3DXVECTOR3(static_cast<float>(x * std::cos(b) + z1 * std::sin(b)),
                     static_cast<float>(y1),
                     static_cast<float>(-x * std::sin(b) + z1 * std::cos(b)));
}

void ExpectPlace(const D3DXMATRIX& m, const D3DXVECTOR3& p) {
  EXPECT_NEAR(m._41, p.x, 1e-3f);
  EXPECT_NEAR(m._42, p.y, 1e-3f);
  EXPECT_NEAR(m._43, p.z, 1e-3f);
}

// A game scene whose phase change deletes the start camera, as the game scene
// does; the camera lives in storage that is scribbled over once it is deleted,
// so any write after the call shows.
struct HandingOverScene : FakeScene {
  void SetPhase(int p) override {
    FakeScene::SetPhase(p);
    if (onPhase) onPhase();
  }
  std::function<void()> onPhase;
};

class StartCameraTest : public ::testing::Test {
 protected:
  // One frame of the opening: the camera's update, then the scene clock.
  void Frame(StartCamera& camera) {
    camera.Update();
    ++scene_.frameCount;
  }
  // Frames until t reaches `end`; how many.
  int GlideTo(StartCamera& camera, float end) {
    int frames = 0;
    while (camera.t != end && frames < 1000) {
      Frame(camera);
      ++frames;
    }
    return frames;
  }

  HandingOverScene scene_;
};

TEST_F(StartCameraTest, PosesLookAtTheStartAndOverTheStage) {
  scene_.phase = kPhaseOpening;
  StartCamera camera;
  EXPECT_EQ(camera.t, 0.0f);
  EXPECT_EQ(camera.speed, 0.021f);
  EXPECT_EQ(camera.holdFrames, 0);
  EXPECT_TRUE(camera.forward);
  // Just behind the start pad (0, 0, 145), which the player faces away from ...
  ExpectPlace(camera.startPose, PlaceOfPose(145, 1, -7, 0.17453, -1.57077));
  EXPECT_NEAR(camera.startPose._41, 6.72f, 0.01f);
  EXPECT_NEAR(camera.startPose._43, 145.0f, 0.01f);
  // ... and high over the stage.
  ExpectPlace(camera.endPose, PlaceOfPose(128.5, 100, 138.5, -0.1116992, -1.57077));
  EXPECT_GT(camera.endPose._42, 110.0f);
}

// The clock stands still during the fade-in: the glide begins only once 31
// frames have been counted, whatever the camera saw before.
TEST_F(StartCameraTest, TheGlideStartsAfter31CountedFrames) {
  scene_.phase = kPhaseOpening;
  StartCamera camera;
  for (int i = 0; i < 40; ++i) camera.Update();  // fading in: the clock reads 0
  EXPECT_EQ(camera.t, 0.0f);
  EXPECT_EQ(camera.speed, 0.021f);
  ExpectMatrixNear(camera.world, camera.startPose, 1e-4f);
  for (int n = 0; n <= 30; ++n) {
    Frame(camera);
    EXPECT_EQ(camera.t, 0.0f) << "clock " << n;
  }
  Frame(camera);  // the clock reads 31
  EXPECT_EQ(camera.t, 0.021f);
  EXPECT_FLOAT_EQ(camera.speed, 0.021f * 0.98f);
  // The pose lags a frame behind t.
  ExpectMatrixNear(camera.world, camera.startPose, 1e-4f);
  Frame(camera);
  EXPECT_GT(std::fabs(camera.world._42 - camera.startPose._42), 0.01f);
}

TEST_F(StartCameraTest, ReachesTheOverviewAfterAbout151FramesAndRaisesTheBand30FramesLater) {
  scene_.phase = kPhaseOpening;
  StartCamera camera;
  for (int n = 0; n <= 30; ++n) Frame(camera);
  const int glide = GlideTo(camera, 1.0f);
  EXPECT_NEAR(glide, 151, 1);
  EXPECT_EQ(camera.holdFrames, 1) << "the frame that arrives counts as held";
  for (int i = 1; i < 30; ++i) {
    Frame(camera);
    EXPECT_FALSE(scene_.startMessageRaised) << "held " << i;
  }
  Frame(camera);
  EXPECT_TRUE(scene_.startMessageRaised);
  ExpectMatrixNear(camera.world, camera.endPose, 1e-4f);

  // Nobody sends it back: it stays over the stage, its speed at the floor.
  for (int i = 0; i < 1000; ++i) Frame(camera);
  ExpectMatrixNear(camera.world, camera.endPose, 1e-4f);
  EXPECT_EQ(camera.speed, 0.0001f);
  EXPECT_EQ(scene_.phaseChanges, 0);
}

TEST_F(StartCameraTest, FliesBackWaits30FramesAndHandsOverWithoutTouchingItselfAfterwards) {
  scene_.phase = kPhaseOpening;
  alignas(StartCamera) unsigned char storage[sizeof(StartCamera)];
  StartCamera* camera = new (storage) StartCamera;
  bool deleted = false;
  scene_.onPhase = [&] {
    camera->~StartCamera();
    std::memset(storage, 0xCD, sizeof storage);
    deleted = true;
  };
  for (int n = 0; n <= 30; ++n) Frame(*camera);
  GlideTo(*camera, 1.0f);
  for (int i = 0; i < 40; ++i) Frame(*camera);
  ASSERT_TRUE(scene_.startMessageRaised);

  // What the game scene does when the start band has closed.
  camera->forward = false;
  camera->speed = 0.021f;
  const int back = GlideTo(*camera, 0.0f);
  EXPECT_NEAR(back, 151, 1);
  for (int i = 1; i < 30; ++i) {
    Frame(*camera);
    ASSERT_EQ(scene_.phaseChanges, 0) << "held " << i;
    ExpectMatrixNear(camera->world, camera->startPose, 1e-4f);
  }
  camera->Update();
  ASSERT_TRUE(deleted);
  EXPECT_EQ(scene_.phaseChanges, 1);
  EXPECT_EQ(scene_.phase, kPhasePlay);
  for (const unsigned char byte : storage) ASSERT_EQ(byte, 0xCD) << "written after deletion";
}

}  // namespace
}  // namespace camera_test
