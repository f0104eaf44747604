// Gates: still outside the clear phase or before the clear camera lets them
// open; the direction from column 14; 180 frames of swing with the opening
// sound, 30 of wobble with the gate sound every 5; one clear sound for two
// wings; the face normals of the closed gate.
#include <gtest/gtest.h>

#include <cmath>

#include "objects_fixture.h"

namespace objects_test {
namespace {

using glomp::test::SoundRequests;

constexpr int kClearSound = 8;
constexpr int kGateSound = 9;
constexpr int kOpeningSound = 10;
constexpr float kRadians = 0.017453292f;

class GateTest : public ObjectsTest {
 protected:
  void SetUp() override {
    ObjectsTest::SetUp();
    if (HasFatalFailure()) return;
    // A wall triangle facing −z, so that a turn about y shows in its normal.
    WriteText("wall.x",
              "xof 0303txt 0032\n"
              "Mesh wall {\n"
              "  3; 0;0;0;, 0;1;0;, 1;0;0;;\n"
              "  1; 3;0,1,2;;\n"
              "  MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 5; 0;0;0;; 0;0;0;; } }\n"
              "}\n");
    Scene().phase = kPhaseClear;
  }

  static D3DXMATRIX TurnedY(const D3DXMATRIX& world, float degrees) {
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, degrees * kRadians);
    return turn * world;
  }
};

TEST_F(GateTest, AGateNeverMovesInPhasesZeroAndOneNorBeforeTheGatesMayOpen) {
  Build({"wall.x,3,0,4,1,2,1,0,30,0,Gate,0,0,0,0"});
  MOS_Gate* gate = At<MOS_Gate>(0);
  const D3DXMATRIX closed = gate->world;
  for (int phase : {kPhaseOpening, kPhasePlay}) {
    Scene().phase = phase;
    Scene().gateMayOpen = true;
    for (int frame = 0; frame < 300; ++frame) {
      Frame();
      ASSERT_FALSE(SoundRequests::Played(kOpeningSound, 0));
    }
    EXPECT_EQ(gate->turned, 0.0f) << phase;
    EXPECT_EQ(gate->wobbleFrames, 30);
    stagetest::ExpectMatrixNear(gate->world, closed, 0.0f);
  }
  Scene().phase = kPhaseClear;
  Scene().gateMayOpen = false;
  for (int frame = 0; frame < 300; ++frame) Frame();
  EXPECT_EQ(gate->turned, 0.0f);
  EXPECT_FALSE(Scene().clearShown);
  Scene().gateMayOpen = true;
  Frame();
  EXPECT_EQ(gate->turned, 0.5f);
}

TEST_F(GateTest, ColumnOneOrMoreSwingsMinusHalfADegreeZeroOrLessPlusHalf) {
  Build({"wall.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,1",
         "wall.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,7",
         "wall.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,0",
         "wall.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,-2"});
  const float expected[] = {-0.5f, -0.5f, 0.5f, 0.5f};
  std::vector<D3DXMATRIX> closed;
  for (int i = 0; i < 4; ++i) closed.push_back(At<MOS_Gate>(i)->world);
  Scene().gateMayOpen = true;
  stage_->Update();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(At<MOS_Gate>(i)->turned, expected[i]) << i;
    stagetest::ExpectMatrixNear(At<MOS_Gate>(i)->world, TurnedY(closed[i], expected[i]), 1e-6f);
  }
  EXPECT_TRUE(SoundRequests::Played(kOpeningSound, 0));
}

TEST_F(GateTest, SwingsFor180FramesThenWobbles30WithTheGateSoundEveryFive) {
  Build({"wall.x,3,0,4,1,1,1,0,0,0,Gate,0,0,0,1"});
  MOS_Gate* gate = At<MOS_Gate>(0);
  const D3DXMATRIX closed = gate->world;
  Scene().gateMayOpen = true;
  Scene().frameCount = 500;
  for (int frame = 1; frame <= 180; ++frame) {
    stage_->Update();
    ASSERT_TRUE(SoundRequests::Played(kOpeningSound, 0)) << frame;
    ASSERT_FLOAT_EQ(gate->turned, -0.5f * frame);
    EndFrame();
  }
  stagetest::ExpectMatrixNear(gate->world, TurnedY(closed, -90.0f), 1e-4f);
  // The turn is about the wing's own origin: it stays where it stands.
  EXPECT_NEAR(gate->world._41, 3.0f, 1e-5f);
  EXPECT_NEAR(gate->world._43, 4.0f, 1e-5f);

  std::vector<int> gateSoundAt;
  D3DXMATRIX world = gate->world;
  for (int wobble = 30; wobble >= 1; --wobble) {
    const int clock = Scene().frameCount;
    stage_->Update();
    EXPECT_TRUE(SoundRequests::Stopped(kOpeningSound));
    EXPECT_FALSE(SoundRequests::Played(kOpeningSound, 0));
    if (SoundRequests::Played(kGateSound, 2)) gateSoundAt.push_back(wobble);
    world = TurnedY(world, float(wobble) / 10.0f * std::sin(0.5f * float(clock)));
    stagetest::ExpectMatrixNear(gate->world, world, 1e-4f);
    EXPECT_EQ(gate->wobbleFrames, wobble - 1);
    EXPECT_FALSE(Scene().clearShown);
    EndFrame();
  }
  EXPECT_EQ(gateSoundAt, (std::vector<int>{30, 25, 20, 15, 10, 5}));
  EXPECT_FLOAT_EQ(gate->turned, -90.0f) << "the wobble is not counted as swing";

  stage_->Update();
  EXPECT_TRUE(Scene().clearShown);
  EXPECT_TRUE(SoundRequests::Played(kClearSound, 1));
  stagetest::ExpectMatrixNear(gate->world, world, 0.0f);
}

TEST_F(GateTest, WithTwoWingsTheClearPictureIsShownAndItsSoundPlayedOnce) {
  Build({"wall.x,-2,0,0,1,1,1,0,0,0,Gate,0,0,0,1",
         "wall.x,2,0,0,1,1,1,0,0,0,Gate,0,0,0,0"});
  Scene().gateMayOpen = true;
  int clearSounds = 0;
  for (int frame = 0; frame < 400; ++frame) {
    stage_->Update();
    clearSounds += SoundRequests::Played(kClearSound, 1);
    EndFrame();
  }
  EXPECT_EQ(clearSounds, 1);
  EXPECT_EQ(Scene().clearShownCalls, 1);
  EXPECT_TRUE(At<MOS_Gate>(0)->Open());
  EXPECT_TRUE(At<MOS_Gate>(1)->Open());
}

TEST_F(GateTest, TheFaceNormalsKeepTheClosedOrientationWhileOpen) {
  Build({"wall.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,0"});
  MOS_Gate* gate = At<MOS_Gate>(0);
  ASSERT_EQ(gate->faceNormals.size(), 1u);
  const D3DXVECTOR3 closed = gate->faceNormals[0];
  EXPECT_NEAR(closed.z, -1.0f, 1e-6f);
  Scene().gateMayOpen = true;
  for (int frame = 0; frame < 250; ++frame) Frame();
  ASSERT_TRUE(gate->Open());
  EXPECT_LT(std::fabs(gate->world._11), 0.5f) << "the wing has turned by about 90 degrees";
  EXPECT_EQ(gate->faceNormals[0].x, closed.x);
  EXPECT_EQ(gate->faceNormals[0].y, closed.y);
  EXPECT_EQ(gate->faceNormals[0].z, closed.z);
}

}  // namespace
}  // namespace objects_test
