// The title flag: a touch by the title slime takes the slime's colour, bursts
// into 100 sparks and waves the cloth hard; once calm again (about 110 frames)
// the flag can be touched anew.
#include <gtest/gtest.h>

#include "chara/title/title_world.h"
#include "stage/MOS_Flag.h"

namespace {

using title_world::TitleWorldTest;

class FlagTest : public TitleWorldTest {
 protected:
  void SetUp() override {
    TitleWorldTest::SetUp();
    if (HasFatalFailure()) return;
    for (MapObjectStruct* object : stage_->objects->Objects()) {
      if (object->kind == MAP_OBJECT_FLAG) flag_ = static_cast<MOS_Flag*>(object);
    }
    ASSERT_NE(flag_, nullptr) << "the title stage has no flag";
    slime_ = std::make_unique<TitleSlime>();
    title_world::Current().slime = slime_.get();
  }

  D3DXVECTOR3 FlagFoot() const { return D3DXVECTOR3(flag_->world._41, flag_->world._42, flag_->world._43); }

  // The slime's body point (its first bone) put at `point`.
  void PutBodyAt(const D3DXVECTOR3& point) {
    slime_->PlaceAt(point);
    const D3DXMATRIX& first = slime_->meshObject.nodes.at(0)->combinedMatrix;
    const D3DXVECTOR3 offset(first._41 - point.x, first._42 - point.y, first._43 - point.z);
    slime_->PlaceAt(point - offset);
  }

  // Stage frames only: the slime stays where the test put it.
  void StageFrame() {
    stage_->Update();
    ++title_world::Current().frameCount;
  }

  MOS_Flag* flag_ = nullptr;
};

TEST_F(FlagTest, StartsWaitingCyanAndIsNeverACollisionCandidate) {
  EXPECT_FALSE(flag_->state);
  EXPECT_FLOAT_EQ(flag_->pulse, 0.5f);
  EXPECT_EQ(flag_->colour[0], 0.0f);
  EXPECT_EQ(flag_->colour[1], 1.0f);
  EXPECT_EQ(flag_->colour[2], 1.0f);
  EXPECT_NEAR(flag_->radius, 0.15f, 1e-5f);
  for (int index : stage_->objects->NearbyObjects(FlagFoot(), 100)) {
    EXPECT_NE(index, flag_->index);
  }
}

TEST_F(FlagTest, TouchTakesTheColourBurstsAndRearmsAfterAbout110Frames) {
  slime_->colour = TitleSlime::HueColour(120);
  // Just inside reach: flag radius 0.15 + slime size 0.05 > 0.199.
  PutBodyAt(FlagFoot() + D3DXVECTOR3(0.199f, 0, 0));
  StageFrame();
  ASSERT_TRUE(flag_->state);
  EXPECT_EQ(flag_->currentTexture, flag_->reachedTexture);
  // Blue, which the untouched cyan is not: green tells them apart.
  EXPECT_FLOAT_EQ(flag_->colour[0], 0.0f);
  EXPECT_FLOAT_EQ(flag_->colour[1], 0.0f);
  EXPECT_FLOAT_EQ(flag_->colour[2], 1.0f);
  EXPECT_EQ(stage_->effects.size(), 100u);
  EXPECT_NEAR(flag_->pulse, 1.5f * 0.99f, 1e-6f);

  // While it waves a new colour and a lasting touch change nothing.
  slime_->colour = TitleSlime::HueColour(240);
  int calmAfter = -1;
  for (int frame = 2; frame < 300 && calmAfter < 0; ++frame) {
    StageFrame();
    if (!flag_->state) calmAfter = frame;
  }
  EXPECT_EQ(calmAfter, 110);
  EXPECT_FLOAT_EQ(flag_->pulse, 0.5f);
  EXPECT_FLOAT_EQ(flag_->colour[2], 1.0f) << "the colour of the first touch";
  EXPECT_EQ(flag_->currentTexture, flag_->reachedTexture) << "the reached picture stays";
  // Sparks live 51 frames: the first burst is gone.
  EXPECT_TRUE(stage_->effects.empty());

  // The slime is still there: the next frame touches again, with the new colour.
  StageFrame();
  EXPECT_TRUE(flag_->state);
  EXPECT_FLOAT_EQ(flag_->colour[1], 1.0f);
  EXPECT_FLOAT_EQ(flag_->colour[2], 0.0f);
  EXPECT_EQ(stage_->effects.size(), 100u);
}

TEST_F(FlagTest, NoTouchOutOfReachOrWhileFadingTowardsAChange) {
  PutBodyAt(FlagFoot() + D3DXVECTOR3(0.205f, 0, 0));  // just beyond 0.15 + 0.05
  StageFrame();
  EXPECT_FALSE(flag_->state);
  PutBodyAt(FlagFoot());
  title_world::Current().changing = true;
  StageFrame();
  EXPECT_FALSE(flag_->state);
  EXPECT_TRUE(stage_->effects.empty());
  title_world::Current().changing = false;
  StageFrame();
  EXPECT_TRUE(flag_->state);
}

TEST_F(FlagTest, ClothWavesWiderAtTheOuterEdge) {
  for (int i = 0; i < 40; ++i) StageFrame();
  EXPECT_EQ(flag_->wave[0], 0.0f);
  // At rest the outer edge swings by at most 0.02 × 0.5 × 9.
  for (int i = 0; i < 200; ++i) {
    StageFrame();
    EXPECT_LE(std::fabs(flag_->wave[9]), 0.09f + 1e-6f);
  }
}

}  // namespace

