#include "camera/Camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-5f;

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float eps = kEps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual(r, c), expected(r, c), eps) << "element (" << r << ", " << c << ")";
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  return *D3DXMatrixIdentity(&m);
}

TEST(CCamera, StartsAtItsDefaultPoseWithIdentityWorld) {
  const CCamera camera;
  EXPECT_EQ(camera.world, Identity());
  EXPECT_EQ(camera.position, D3DXVECTOR3(0.0f, 0.1f, -1.8f));
  EXPECT_EQ(camera.angleX, 5.0f);
  EXPECT_EQ(camera.angleY, 0.0f);
}

TEST(CCamera, UntouchedCameraSitsAtPositionTurnedFiveDegreesAboutX) {
  CCamera camera;
  camera.Update();
  // (0, 0.1, −1.8) × rotationX(5°) = (0, 0.1 cos 5° + 1.8 sin 5°, 0.1 sin 5° − 1.8 cos 5°).
  const double a = 5.0 * 3.14159265358979 / 180.0;
  EXPECT_NEAR(camera.world._41, 0.0f, kEps);
  EXPECT_NEAR(camera.world._42, 0.1 * std::cos(a) + 1.8 * std::sin(a), kEps);
  EXPECT_NEAR(camera.world._43, 0.1 * std::sin(a) - 1.8 * std::cos(a), kEps);
  // Its axes are those of a 5° pitch: forward tips down towards −y.
  EXPECT_NEAR(camera.world._32, -std::sin(a), kEps);
  EXPECT_NEAR(camera.world._33, std::cos(a), kEps);
}

TEST(CCamera, UpdateMovesThenTurnsAboutXThenAboutY) {
  CCamera camera;
  camera.position = D3DXVECTOR3(0, 0, 1);
  camera.angleX = 90.0f;
  camera.angleY = 90.0f;
  camera.Update();
  // (0, 0, 1): about X by 90° to (0, −1, 0), about Y leaves it there.
  EXPECT_NEAR(camera.world._41, 0.0f, kEps);
  EXPECT_NEAR(camera.world._42, -1.0f, kEps);
  EXPECT_NEAR(camera.world._43, 0.0f, kEps);
  // The camera's forward axis (0, 0, 1) ends up the same way.
  EXPECT_NEAR(camera.world._32, -1.0f, kEps);

  camera.position = D3DXVECTOR3(1, 0, 0);
  camera.angleX = 0.0f;
  camera.Update();
  // (1, 0, 0) about Y by 90° (left-handed) goes to (0, 0, −1).
  EXPECT_NEAR(camera.world._41, 0.0f, kEps);
  EXPECT_NEAR(camera.world._43, -1.0f, kEps);
}

TEST(CCamera, ViewIsTheInverseOfWorld) {
  CCamera camera;
  camera.position = D3DXVECTOR3(3, -2, 7);
  camera.angleX = -20.0f;
  camera.angleY = 135.0f;
  camera.Update();
  D3DXMATRIX view;
  camera.SetView(&view, nullptr);
  ExpectNear(camera.world * view, Identity());
  // The camera's own position is the view's origin.
  D3DXVECTOR3 eye(camera.world._41, camera.world._42, camera.world._43), inView;
  D3DXVec3TransformCoord(&inView, &eye, &view);
  EXPECT_NEAR(D3DXVec3Length(&inView), 0.0f, 1e-4f);

  // A degenerate world has no inverse: the view stays as it was.
  D3DXMatrixScaling(&camera.world, 0.0f, 1.0f, 1.0f);
  const D3DXMATRIX before = view;
  camera.SetView(&view, nullptr);
  EXPECT_EQ(view, before);
}

class LoggingCamera : public CCamera {
 public:
  explicit LoggingCamera(int* destroyed) : destroyed_(destroyed) {}
  ~LoggingCamera() override { ++*destroyed_; }
  void Update() override { D3DXMatrixTranslation(&world, 1, 2, 3); }

 private:
  int* destroyed_;
};

TEST(CCamera, DerivedCameraIsUpdatedAndDeletedThroughTheBase) {
  int destroyed = 0;
  CCamera* camera = new LoggingCamera(&destroyed);
  camera->Update();
  EXPECT_EQ(camera->world._42, 2.0f);
  delete camera;
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
