// Moving blocks: the path marks, the link to a checkpoint, the back-and-forth
// run, the motion matrix the slime rides on, and the dashed path on screen.
#include <algorithm>
#include <memory>

#include "stage/MOS_CheckPoint.h"
#include "stage/MOS_Move.h"
#include "stage_fixture.h"

namespace {

using stagetest::StageTest;

class MoveTest : public StageTest {
 protected:
  // A stage of these rows, made the current scene's stage.
  CStage& Build(const std::vector<std::string>& rows) {
    stage_.reset(MakeStage(rows));
    stagetest::Scene().stage = stage_.get();
    return *stage_;
  }
  MOS_Move* Block(int index) {
    return dynamic_cast<MOS_Move*>(stage_->objects->Objects().at(std::size_t(index)));
  }
  void TearDown() override {
    stagetest::Scene().stage = nullptr;
    stage_.reset();
    StageTest::TearDown();
  }

  // Red pixels after drawing the stage's overlays with identity transforms.
  int RedPixelsOfOverlays() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device_->SetTransform(D3DTS_VIEW, &identity);
    device_->SetTransform(D3DTS_PROJECTION, &identity);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    stage_->objects->DrawOverlays();
    device_->EndScene();
    const auto pixels = ReadPixels();
    return int(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) {
      return ((p >> 16) & 255) > 200 && ((p >> 8) & 255) < 50 && (p & 255) < 50;
    }));
  }

  std::unique_ptr<CStage> stage_;
};

TEST_F(MoveTest, DashPointsMarkEveryOtherUnitOfThePath) {
  Build({"tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,4,0,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,5,0,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,0.5,0,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,-3,0,0"});
  const auto expectPoints = [](const MOS_Move* block, std::vector<float> ys) {
    ASSERT_EQ(block->dashPoints.size(), ys.size());
    for (std::size_t i = 0; i < ys.size(); ++i) {
      EXPECT_FLOAT_EQ(block->dashPoints[i].x, 1.0f);
      EXPECT_FLOAT_EQ(block->dashPoints[i].y, ys[i]) << i;
      EXPECT_FLOAT_EQ(block->dashPoints[i].z, 3.0f);
    }
  };
  expectPoints(Block(0), {2, 3, 4, 5});          // two dashes from the block's place
  expectPoints(Block(1), {2.5f, 3.5f, 4.5f, 5.5f});  // odd length: centred
  expectPoints(Block(2), {});                    // shorter than a dash
  expectPoints(Block(3), {1.5f, 0.5f});          // downwards, odd
}

// Found by the fuzzer: a move vector of 1e38 has a length no float holds, and its
// conversion to a count of points was undefined. A path whose length is not a
// number is not marked; a huge one only along its first stretch, not with
// millions of points.
TEST_F(MoveTest, EndlessOrHugePathsAreMarkedWithinBounds) {
  Build({"tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,1e38,0,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,1e30,1e30,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,0,1e9,0,0",
         "tri.x,1,2,3,1,1,1,0,0,0,MoveObject,nan,0,0,0"});
  EXPECT_LE(Block(0)->dashPoints.size(), 4096u);
  EXPECT_LE(Block(1)->dashPoints.size(), 4096u);
  EXPECT_TRUE(Block(3)->dashPoints.empty());
  const std::vector<D3DXVECTOR3>& huge = Block(2)->dashPoints;
  ASSERT_EQ(huge.size(), 4096u);
  EXPECT_FLOAT_EQ(huge.front().y, 2.0f);
  EXPECT_FLOAT_EQ(huge.back().y, 2.0f + 4095.0f);
}

TEST_F(MoveTest, LinkedBlockWaitsForItsCheckpointThenStartsFromItsPlace) {
  Build({"tri.x,9,9,9,1,1,1,0,0,0,CheckPoint,0,0,0,3",
         "tri.x,0,-0.5,0.5,1,1,1,0,0,0,MoveObject,0,2,0,3"});
  auto* checkpoint = dynamic_cast<MOS_CheckPoint*>(stage_->objects->Objects()[0]);
  MOS_Move* block = Block(1);
  ASSERT_NE(checkpoint, nullptr);
  ASSERT_NE(block, nullptr);
  const D3DXMATRIX placed = block->world;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);

  for (int frame = 0; frame < 20; ++frame) stage_->Update();
  EXPECT_FALSE(block->state);
  EXPECT_EQ(block->phaseCounter, 0);
  EXPECT_EQ(block->world, placed);
  EXPECT_EQ(block->motion, identity);
  EXPECT_EQ(RedPixelsOfOverlays(), 0);

  checkpoint->state = true;  // reached
  stage_->Update();
  EXPECT_TRUE(block->state);
  EXPECT_EQ(block->phaseCounter, 1);
  stagetest::ExpectMatrixNear(block->world, placed, 1e-5f);  // sin(1.57) ≈ 1: no step yet
  EXPECT_GT(RedPixelsOfOverlays(), 10);

  for (int frame = 0; frame < 100; ++frame) stage_->Update();
  EXPECT_GT(block->world._42, placed._42 + 0.4f);  // 1 − sin(2.58) ≈ 0.47
}

TEST_F(MoveTest, BlockWhoseNumberNoCheckpointCarriesStandsStill) {
  Build({"tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,2,0,4",
         "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,2,0,4"});
  for (int frame = 0; frame < 10; ++frame) stage_->Update();
  EXPECT_FALSE(Block(0)->state);
  EXPECT_FALSE(Block(1)->state);
  EXPECT_EQ(Block(0)->phaseCounter, 0);
}

TEST_F(MoveTest, BlocksRunOutAlongTheirVectorAndBack) {
  Build({"tri.x,5,0,0,1,1,1,0,0,0,MoveObject,2,0,0,0",
         "tri.x,5,0,0,1,1,1,0,0,0,MoveObject,-2,0,0,0"});
  float low[2] = {1e9f, 1e9f}, high[2] = {-1e9f, -1e9f};
  int peakFrame = 0;
  for (int frame = 1; frame <= 628; ++frame) {
    stage_->Update();
    for (int b = 0; b < 2; ++b) {
      const float x = Block(b)->offset._41;
      EXPECT_FLOAT_EQ(Block(b)->world._41, 5.0f + x);
      low[b] = std::min(low[b], x);
      high[b] = std::max(high[b], x);
      if (b == 0 && x == high[0]) peakFrame = frame;
    }
  }
  EXPECT_NEAR(low[0], 0.0f, 1e-5f);
  EXPECT_NEAR(high[0], 2.0f, 1e-4f);
  EXPECT_NEAR(low[1], -2.0f, 1e-4f);
  EXPECT_NEAR(high[1], 0.0f, 1e-5f);
  EXPECT_NEAR(peakFrame, 315, 2);  // half of the 2π / 0.01 cycle
  EXPECT_NEAR(Block(0)->offset._41, 0.0f, 1e-3f);  // back after a whole cycle
  EXPECT_NEAR(Block(1)->offset._41, 0.0f, 1e-3f);
}

TEST_F(MoveTest, CounterAdvancesOncePerMovingAxis) {
  Build({"tri.x,0,0,0,1,1,1,0,0,0,MoveObject,3,3,0,0",
         "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,0,3,0"});
  for (int frame = 0; frame < 50; ++frame) stage_->Update();
  EXPECT_EQ(Block(0)->phaseCounter, 100);
  EXPECT_EQ(Block(1)->phaseCounter, 50);
  // x takes step 98, y step 99 of the same sine: y is one step ahead.
  const float x = Block(0)->offset._41, y = Block(0)->offset._42;
  EXPECT_NEAR(x, 3.0f * (1.0f - std::sin(0.01f * (98 + 157))) / 2.0f, 1e-5f);
  EXPECT_NEAR(y, 3.0f * (1.0f - std::sin(0.01f * (99 + 157))) / 2.0f, 1e-5f);
  EXPECT_GT(y, x);
  // The two-axis block has run twice as far along its cycle.
  EXPECT_NEAR(Block(1)->offset._43, 3.0f * (1.0f - std::sin(0.01f * (49 + 157))) / 2.0f, 1e-5f);
}

TEST_F(MoveTest, MotionCarriesAPointFromLastFramesPlaceToThisOnes) {
  // Turned and scaled, so that motion is not simply the offset's difference.
  Build({"tri.x,4,5,6,2,1,3,10,30,0,MoveObject,0,-6,2,0",
         "tri.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,1",
         "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,2,0,1"});
  MOS_Move* block = Block(0);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  EXPECT_EQ(block->motion, identity);

  const D3DXVECTOR3 local(0.3f, -0.2f, 0.7f);
  for (int frame = 0; frame < 200; ++frame) {
    D3DXVECTOR3 before, after, carried;
    D3DXVec3TransformCoord(&before, &local, &block->world);
    const D3DXMATRIX oldOffset = block->offset;
    stage_->Update();
    D3DXVec3TransformCoord(&after, &local, &block->world);
    D3DXVec3TransformCoord(&carried, &before, &block->motion);
    EXPECT_NEAR(carried.x, after.x, 1e-4f);
    EXPECT_NEAR(carried.y, after.y, 1e-4f);
    EXPECT_NEAR(carried.z, after.z, 1e-4f);
    if (frame == 0) {
      // The first moving frame: a pure translation by that frame's step.
      D3DXMATRIX step;
      D3DXMatrixTranslation(&step, block->offset._41 - oldOffset._41,
                            block->offset._42 - oldOffset._42, block->offset._43 - oldOffset._43);
      stagetest::ExpectMatrixNear(block->motion, step, 1e-5f);
    }
  }
  // A late frame moves by a visible step, still without turning.
  EXPECT_GT(std::fabs(block->motion._42), 0.01f);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(block->motion.m[r][c], r == c ? 1.0f : 0.0f, 1e-4f);
  }
  // The still block (its checkpoint is not reached) keeps the identity.
  EXPECT_EQ(Block(2)->motion, identity);
}

TEST_F(MoveTest, FlattenedBlockCarriesRidersByItsStep) {
  Build({"tri.x,0,0,0,1,0,1,0,0,0,MoveObject,0,4,0,0"});
  for (int frame = 0; frame < 100; ++frame) {
    const float before = Block(0)->world._42;
    stage_->Update();
    EXPECT_FLOAT_EQ(Block(0)->motion._42, Block(0)->world._42 - before);
    EXPECT_EQ(Block(0)->motion._11, 1.0f);
  }
}

TEST_F(MoveTest, MovingBlocksCollideWithTheirNormalsFromTheStageRow) {
  Build({"floor.x,0,0,0,1,1,1,0,0,0,MoveObject,0,3,0,0"});
  for (int frame = 0; frame < 300; ++frame) stage_->Update();
  ASSERT_EQ(Block(0)->faceNormals.size(), 2u);
  EXPECT_NEAR(Block(0)->faceNormals[0].y, 1.0f, 1e-6f);
  // The ray test follows the block where it is now.
  float distance = 0;
  EXPECT_TRUE(stage_->objects->RayTest(0, D3DXVECTOR3(0.5f, 10, 0), D3DXVECTOR3(0, -1, 0),
                                       &distance, nullptr));
  EXPECT_NEAR(distance, 10.0f - Block(0)->world._42, 1e-4f);
  EXPECT_GT(Block(0)->world._42, 1.0f);
}

}  // namespace
