#include "common/Helpers.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/fake_scene.h"

namespace {

constexpr float kEps = 1e-5f;

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float eps = kEps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual(r, c), expected(r, c), eps) << "element (" << r << ", " << c << ")";
}

D3DXMATRIX Pose(float yaw, float pitch, float x, float y, float z) {
  D3DXMATRIX rotation, translation;
  D3DXMatrixRotationYawPitchRoll(&rotation, yaw, pitch, 0);
  D3DXMatrixTranslation(&translation, x, y, z);
  return rotation * translation;
}


TEST(Wave, ExplicitTimeIsAmplitudeTimesSine) {
  EXPECT_FLOAT_EQ(Wave(2.0f, 0.1f, 10), 2.0f * std::sin(1.0f));
  EXPECT_FLOAT_EQ(Wave(1.5f, 0.08f, 0), 0.0f);
  EXPECT_NEAR(Wave(255.0f, D3DX_PI / 2, 1), 255.0f, 1e-3f);
}

TEST(Wave, NegativeTimeReadsTheSceneFrameCounter) {
  EXPECT_EQ(Wave(3.0f, 0.5f), 0.0f);  // no scene yet: counter reads 0
  std::optional<FakeScene> scene(std::in_place);
  scene->frameCount = 7;
  EXPECT_FLOAT_EQ(Wave(3.0f, 0.5f), Wave(3.0f, 0.5f, 7));
  EXPECT_FLOAT_EQ(Wave(3.0f, 0.5f, -5), Wave(3.0f, 0.5f, 7));
  scene->frameCount = 8;
  EXPECT_FLOAT_EQ(Wave(3.0f, 0.5f), Wave(3.0f, 0.5f, 8));
  scene.reset();
  EXPECT_EQ(Wave(3.0f, 0.5f), 0.0f);
}

TEST(InterpolatePose, EndsReturnTheTwoPoses) {
  const D3DXMATRIX a = Pose(0.3f, 0.17453f, 145.0f, 1.0f, -7.0f);
  const D3DXMATRIX b = Pose(-1.57077f, -0.1116992f, 128.5f, 100.0f, 138.5f);
  ExpectNear(InterpolatePose(a, b, 0.0f), a, 1e-4f);
  ExpectNear(InterpolatePose(a, b, 1.0f), b, 1e-4f);
}

TEST(InterpolatePose, SlerpsRotationAndLerpsTranslation) {
  const D3DXMATRIX a = Pose(0.0f, 0.0f, -130.2f, 63.0f, 122.3f);
  const D3DXMATRIX b = Pose(D3DX_PI / 2, 0.0f, -127.3f, 63.0f, 127.3f);
  const D3DXMATRIX mid = InterpolatePose(a, b, 0.5f);
  ExpectNear(mid, Pose(D3DX_PI / 4, 0.0f, -128.75f, 63.0f, 124.8f), 1e-4f);
  // A quarter of the way: 22.5° of the 90° turn, a quarter of the way along.
  ExpectNear(InterpolatePose(a, b, 0.25f), Pose(D3DX_PI / 8, 0.0f, -129.475f, 63.0f, 123.55f),
             1e-4f);
  // The result is always a pure rotation plus translation.
  EXPECT_FLOAT_EQ(mid._44, 1.0f);
  EXPECT_FLOAT_EQ(mid._14, 0.0f);
  EXPECT_NEAR(D3DXMatrixDeterminant(&mid), 1.0f, kEps);
}

TEST(InterpolatePose, DropsScale) {
  D3DXMATRIX scaleA, scaleB;
  D3DXMatrixScaling(&scaleA, 3.0f, 3.0f, 3.0f);
  D3DXMatrixScaling(&scaleB, 0.5f, 2.0f, 1.0f);
  const D3DXMATRIX a = scaleA * Pose(0.2f, 0.4f, 1, 2, 3);
  const D3DXMATRIX b = scaleB * Pose(1.0f, -0.3f, 5, 6, 7);
  ExpectNear(InterpolatePose(a, b, 0.0f), Pose(0.2f, 0.4f, 1, 2, 3), 1e-4f);
  ExpectNear(InterpolatePose(a, b, 1.0f), Pose(1.0f, -0.3f, 5, 6, 7), 1e-4f);
  const D3DXMATRIX mid = InterpolatePose(a, b, 0.5f);
  EXPECT_NEAR(D3DXMatrixDeterminant(&mid), 1.0f, 1e-4f);
}

TEST(Touches, StrictOverlapOfSpheres) {
  const D3DXVECTOR3 origin(0, 0, 0);
  EXPECT_TRUE(Touches(1.0f, origin, 1.0f, D3DXVECTOR3(1.5f, 0, 0)));
  EXPECT_FALSE(Touches(1.0f, origin, 1.0f, D3DXVECTOR3(2.0f, 0, 0)));  // exactly touching
  EXPECT_FALSE(Touches(1.0f, origin, 1.0f, D3DXVECTOR3(0, 0, 2.5f)));
  // Distance 5 along a diagonal (3, 4, 0).
  EXPECT_FALSE(Touches(2.0f, D3DXVECTOR3(1, 1, 1), 3.0f, D3DXVECTOR3(4, 5, 1)));
  EXPECT_TRUE(Touches(2.0f, D3DXVECTOR3(1, 1, 1), 3.01f, D3DXVECTOR3(4, 5, 1)));
  EXPECT_TRUE(Touches(0.5f, origin, 0.0f, origin));  // a point inside a sphere
  EXPECT_FALSE(Touches(0.0f, origin, 0.0f, origin));  // two points never overlap
}

}  // namespace
