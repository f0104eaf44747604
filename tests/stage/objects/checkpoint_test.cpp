// Checkpoints: the reach (x scale + the player's 1.0), one burst of sparks,
// nothing while fading towards a scene change, the moving blocks of its number
// and no others, and the goal's clear phase in the game scene only.
#include <gtest/gtest.h>

#include <cmath>

#include "objects_fixture.h"

namespace objects_test {
namespace {

class CheckpointTest : public ObjectsTest {
 protected:
  // Checkpoint 3 scaled 2 in x at (10, 0, 0), two blocks of 3, checkpoint 4
  // with its block, a block of no number, and the goal.
  void BuildCourse() {
    Build({"tri.x,10,0,0,2,1,1,0,0,0,CheckPoint,0,0,0,3",
           "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,4,0,3",
           "tri.x,5,0,0,1,1,1,0,0,0,MoveObject,4,0,0,3",
           "tri.x,50,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,4",
           "tri.x,0,0,5,1,1,1,0,0,0,MoveObject,4,0,0,4",
           "tri.x,0,0,-5,1,1,1,0,0,0,MoveObject,0,0,4,0",
           "tri.x,100,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,0"});
  }
  MOS_CheckPoint* Three() const { return At<MOS_CheckPoint>(0); }
  MOS_CheckPoint* Goal() const { return At<MOS_CheckPoint>(6); }
};

TEST_F(CheckpointTest, ScaledTwoInXItIsReachedWithinThreeAndBurstsOnce) {
  BuildCourse();
  MOS_CheckPoint* checkpoint = Three();
  ASSERT_NE(checkpoint, nullptr);
  EXPECT_FLOAT_EQ(checkpoint->radius, 2.0f);
  EXPECT_FALSE(checkpoint->state);
  EXPECT_TRUE(checkpoint->faceNormals.empty()) << "not solid";

  PutBodyAt(D3DXVECTOR3(13.01f, 0, 0));
  Frame();
  EXPECT_FALSE(checkpoint->state);
  PutBodyAt(D3DXVECTOR3(10, 0, 3.0f));  // exactly 2 + 1.0 away: not inside
  Frame();
  EXPECT_FALSE(checkpoint->state);
  EXPECT_EQ(checkpoint->currentTexture, checkpoint->waitingTexture);
  EXPECT_TRUE(stage_->effects.empty());

  PutBodyAt(D3DXVECTOR3(10, 2.99f, 0));
  Frame();
  ASSERT_TRUE(checkpoint->state);
  EXPECT_EQ(checkpoint->currentTexture, checkpoint->reachedTexture);
  EXPECT_NE(checkpoint->reachedTexture, checkpoint->waitingTexture);
  EXPECT_EQ(stage_->effects.size(), 100u);
  EXPECT_NEAR(checkpoint->pulse, 1.5f * 0.99f, 1e-6f);
  EXPECT_EQ(Scene().phaseChanges, 0) << "not the goal";

  // Still touching: no new sparks, and the pulse goes on calming.
  const float pulse = checkpoint->pulse;
  Frame();
  EXPECT_EQ(stage_->effects.size(), 100u);
  EXPECT_NEAR(checkpoint->pulse, pulse * 0.99f, 1e-6f);
  // Calm after about 110 frames, and still reached.
  for (int frame = 0; frame < 150; ++frame) Frame();
  EXPECT_FLOAT_EQ(checkpoint->pulse, 0.5f);
  EXPECT_TRUE(checkpoint->state);
  EXPECT_TRUE(stage_->effects.empty());
  EXPECT_EQ(checkpoint->currentTexture, checkpoint->reachedTexture);
}

TEST_F(CheckpointTest, NothingIsReachedWhileFadingTowardsASceneChange) {
  BuildCourse();
  PutBodyAt(D3DXVECTOR3(10, 0, 0));
  Scene().changing = true;
  Scene().fading = true;
  for (int frame = 0; frame < 10; ++frame) Frame();
  EXPECT_FALSE(Three()->state);
  EXPECT_TRUE(stage_->effects.empty());
  PutBodyAt(D3DXVECTOR3(100, 0, 0));
  Frame();
  EXPECT_FALSE(Goal()->state);
  EXPECT_EQ(Scene().phaseChanges, 0);
  Scene().changing = false;
  Scene().fading = false;
  Frame();
  EXPECT_TRUE(Goal()->state);
}

TEST_F(CheckpointTest, ANumberedCheckpointSetsExactlyItsOwnBlocksGoing) {
  BuildCourse();
  PutBodyAt(D3DXVECTOR3(-200, 0, 0));  // far from everything
  std::vector<D3DXMATRIX> start;
  for (MapObjectStruct* object : stage_->objects->Objects()) start.push_back(object->world);
  for (int frame = 0; frame < 5; ++frame) Frame();
  for (int index : {1, 2, 4}) {
    EXPECT_FALSE(At<MOS_Move>(index)->state) << index;
    EXPECT_EQ(At<MOS_Move>(index)->phaseCounter, 0) << index;
  }
  EXPECT_TRUE(At<MOS_Move>(5)->state) << "a block of no number always runs";

  PutBodyAt(D3DXVECTOR3(11, 0, 0));
  for (int frame = 0; frame < 60; ++frame) Frame();
  EXPECT_TRUE(Three()->state);
  EXPECT_FALSE(At<MOS_CheckPoint>(3)->state);
  // Both blocks of 3 started in the frame of the touch (the checkpoint comes first).
  EXPECT_TRUE(At<MOS_Move>(1)->state);
  EXPECT_TRUE(At<MOS_Move>(2)->state);
  EXPECT_EQ(At<MOS_Move>(1)->phaseCounter, 60);
  EXPECT_GT(At<MOS_Move>(1)->world._42, start[1]._42 + 0.01f);
  EXPECT_GT(At<MOS_Move>(2)->world._41, start[2]._41 + 0.01f);
  // The block of 4 stays where the stage file put it.
  EXPECT_FALSE(At<MOS_Move>(4)->state);
  stagetest::ExpectMatrixNear(At<MOS_Move>(4)->world, start[4], 0.0f);
  EXPECT_EQ(Scene().phaseChanges, 0);
}

TEST_F(CheckpointTest, TheGoalStartsTheClearPhaseOnceAndInTheGameSceneOnly) {
  BuildCourse();
  Scene().sceneId = kSceneTitle;
  Scene().phase = kPhaseOpening;
  PutBodyAt(D3DXVECTOR3(100.5f, 0, 0));
  slime_->size = 1.0f;  // another scene's slime counts its size
  Frame();
  EXPECT_TRUE(Goal()->state) << "reached on the title too";
  EXPECT_EQ(stage_->effects.size(), 100u);
  EXPECT_EQ(Scene().phaseChanges, 0);

  Build({"tri.x,100,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,0",
         "tri.x,110,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,2"});
  Scene().sceneId = kSceneGame;
  Scene().phase = kPhasePlay;
  slime_->size = 0.01f;  // the player's body counts 1.0 whatever its size
  PutBodyAt(D3DXVECTOR3(110.5f, 0, 0));
  Frame();
  EXPECT_TRUE(At<MOS_CheckPoint>(1)->state);
  EXPECT_EQ(Scene().phaseChanges, 0) << "number 2 is not the goal";
  PutBodyAt(D3DXVECTOR3(101.9f, 0, 0));
  Frame();
  EXPECT_TRUE(At<MOS_CheckPoint>(0)->state);
  EXPECT_EQ(Scene().phase, kPhaseClear);
  EXPECT_EQ(Scene().phaseChanges, 1);
  for (int frame = 0; frame < 20; ++frame) Frame();
  EXPECT_EQ(Scene().phaseChanges, 1);
}

TEST_F(CheckpointTest, TheClothWavesWithTheSceneClockWiderAtTheOuterEdge) {
  Build({"tri.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,1"});
  MOS_CheckPoint* checkpoint = At<MOS_CheckPoint>(0);
  float widest = 0.0f;
  for (int frame = 0; frame < 200; ++frame) {
    Frame();
    EXPECT_EQ(checkpoint->wave[0], 0.0f);
    const float t = float(Scene().frameCount - 1);
    EXPECT_NEAR(checkpoint->wave[9], 0.5f * 0.02f * 9 * std::sin(0.5f / 9 * t), 1e-6f);
    widest = std::max(widest, std::fabs(checkpoint->wave[9]));
  }
  EXPECT_LE(widest, 0.09f + 1e-6f);
  EXPECT_GT(widest, 0.085f);
  // No scene: the checkpoint stays unreached and its cloth stands at time 0.
  SetRunningScene(nullptr);
  checkpoint->Update();
  EXPECT_FALSE(checkpoint->state);
  EXPECT_EQ(checkpoint->wave[9], 0.0f);
  SetRunningScene(&Scene());
}

}  // namespace
}  // namespace objects_test
