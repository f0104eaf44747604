// The slime against small stages: landing, walls, sliding, riding and the bones.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/GraphicsDevice.h"
#include "app/Sound.h"
#include "app/SoundManager.h"
#include "chara/Slime.h"
#include "platform/tex/test_device.h"
#include "render/ResourceCache.h"
#include "slime_fixture.h"
#include "small_stage.h"
#include "stage/MOS_Move.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace chara_test {
namespace {

class CollisionTest : public restest::DeviceTest {
 protected:
  void SetUp() override {
    // The scratch folder borrows the run directory's data (the slime, the sounds).
    const std::filesystem::path runDirectory = std::filesystem::current_path();
    restest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directory_symlink(runDirectory / "data", "data");
    CGraphicsDevice::GetInstance().device = device_;
    g_resourceCache = new CResourceCache;
    WriteSquares();
    g_soundManager = new CSoundManager(nullptr);
    g_soundManager->Load();
  }
  void TearDown() override {
    scene_.stage = nullptr;
    stage_.reset();
    delete g_soundManager;
    g_soundManager = nullptr;
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CGraphicsDevice::GetInstance().device = nullptr;
    restest::DeviceTest::TearDown();
  }

  // Builds the stage and makes it the running scene's.
  MapObjectList& Stage(const std::vector<std::string>& rows) {
    stage_ = LoadSmallStage(rows);
    scene_.stage = stage_.get();
    return *stage_->objects;
  }

  // One frame of a slime as its owners run it.
  static void Step(CSlime& slime) {
    slime.RideObject();
    slime.Move();
    slime.Update();
  }

  static int StampRequest() { return g_soundManager->GetSound(CSlime::kStampSound)->Request(); }
  static void EndFrame() { g_soundManager->Update(); }

  FakeScene scene_;  // the game scene in play
  std::unique_ptr<CStage> stage_;
};

TEST_F(CollisionTest, FallingSlimeLandsOnTheNearestObjectUnderIt) {
  MapObjectList& stage = Stage({
      "floor.x,30,5,0,2,1,2,0,0,0,Map",   // first in the list, not under the slime
      "floor.x,0,-6,0,4,1,4,0,0,0,Map",   // under it, farther down
      "floor.x,0,-2,0,4,1,4,0,0,0,Map",   // under it, nearest
  });
  CSlime slime;
  slime.PlaceAt(D3DXVECTOR3(0, 3, 0));
  for (int i = 0; i < 200 && !slime.onGround; ++i) Step(slime);
  ASSERT_TRUE(slime.onGround);
  EXPECT_EQ(slime.standingOn, stage.Objects()[2]);
  EXPECT_NEAR(slime.groundNormal.y, 1.0f, 1e-5f);
  // It rests half its size below the face, and stays there.
  EXPECT_NEAR(slime.position.y, -2.5f, 1e-4f);
  for (int i = 0; i < 30; ++i) Step(slime);
  EXPECT_TRUE(slime.onGround);
  EXPECT_NEAR(slime.position.y, -2.5f, 1e-4f);
  EXPECT_EQ(slime.velocity.y, 0.0f);  // every frame's gravity is undone by its landing
}

TEST_F(CollisionTest, ASmallSlimeRestsHalfItsSizeBelowTheFace) {
  Stage({"floor.x,0,1,0,4,1,4,0,0,0,Map"});
  CSlime slime;
  slime.size = 0.05f;
  slime.PlaceAt(D3DXVECTOR3(0, 1.2f, 0));
  for (int i = 0; i < 100 && !slime.onGround; ++i) Step(slime);
  ASSERT_TRUE(slime.onGround);
  EXPECT_NEAR(slime.position.y, 1.0f - 0.025f, 1e-4f);
}

TEST_F(CollisionTest, LandingAsksForTheStampOnceAndStandingStillStopsIt) {
  Stage({"floor.x,0,0,0,4,1,4,0,0,0,Map"});
  CSlime slime;
  slime.PlaceAt(D3DXVECTOR3(0, 0.5f, 0));
  EndFrame();
  int plays = 0;
  for (int i = 0; i < 60 && !slime.onGround; ++i) {
    Step(slime);
    plays += StampRequest() == SOUND_REQUEST_PLAY;
    EndFrame();
  }
  ASSERT_TRUE(slime.onGround);
  EXPECT_EQ(plays, 1);
  // Landed and still: every frame the velocity normalises to zero and the stamp
  // is asked to stop; the landing of every frame does not play it again.
  for (int i = 0; i < 5; ++i) {
    Step(slime);
    EXPECT_EQ(StampRequest(), SOUND_REQUEST_STOP);
    EndFrame();
  }
  // Walking: neither played nor stopped (a stop request stays until the next one).
  g_soundManager->Play(CSlime::kStampSound, 2);
  EndFrame();
  ASSERT_EQ(StampRequest(), SOUND_REQUEST_IDLE);
  slime.velocity.x = 0.1f;
  Step(slime);
  EXPECT_EQ(StampRequest(), SOUND_REQUEST_IDLE);
}

TEST_F(CollisionTest, NearWallsPushBackAndCountAsTouches) {
  struct Case {
    float wallX;      // the wall's distance from the wall-ray origin, along +x
    float expectedX;  // slime x after the test
    float expectedVx;
    bool touch;
  } cases[] = {
      {0.45f, -0.05f, 0.0f, true},   // pushed back to half its size
      {0.54f, 0.0f, 0.1f, true},     // 0.54 reads 0.5: a touch, no push
      {0.56f, 0.0f, 0.1f, false},    // 0.56 reads 0.6: nothing
      {-0.45f, 0.05f, 0.0f, true},   // the -x ray pushes the other way
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wallX);
    Stage({"wallx.x," + std::to_string(c.wallX) + ",1,0,1,3,3,0,0,0,Map"});
    CSlime slime;
    slime.velocity = D3DXVECTOR3(0.1f, 0, 0.1f);
    EndFrame();
    slime.CollideWalls();
    EXPECT_NEAR(slime.world._41, c.expectedX, 1e-5f);
    EXPECT_EQ(slime.velocity.x, c.expectedVx);
    EXPECT_EQ(slime.velocity.z, 0.1f);
    EXPECT_EQ(slime.wallTouch, c.touch);
    EXPECT_EQ(slime.wallStick, c.touch);  // in the air: it sticks at once
    EXPECT_EQ(slime.wallStickFrames, c.touch ? 100 : 0);
    EXPECT_EQ(StampRequest(), c.touch ? SOUND_REQUEST_PLAY : SOUND_REQUEST_IDLE);
    if (c.touch) {
      EXPECT_NEAR(std::fabs(slime.wallNormal.x), 1.0f, 1e-5f);
    }
  }
  // A wall ahead along z zeroes the forward speed only.
  Stage({"wallz.x,0,1,0.3,3,3,1,0,0,0,Map"});
  CSlime slime;
  slime.velocity = D3DXVECTOR3(0.1f, 0, 0.1f);
  slime.CollideWalls();
  EXPECT_NEAR(slime.world._43, -0.2f, 1e-5f);
  EXPECT_EQ(slime.velocity.z, 0.0f);
  EXPECT_EQ(slime.velocity.x, 0.1f);
}

TEST_F(CollisionTest, AFallingSlimeSlidesDownAWallForAHundredFramesOnly) {
  Stage({"wallx.x,0.5,-50,0,1,60,3,0,0,0,Map"});
  CSlime slime;
  EndFrame();
  Step(slime);  // first frame: falls, touches and sticks
  ASSERT_TRUE(slime.wallStick);
  EXPECT_EQ(StampRequest(), SOUND_REQUEST_PLAY);
  EndFrame();
  for (int i = 0; i < 100; ++i) {
    const float before = slime.position.y;
    Step(slime);
    EXPECT_EQ(slime.velocity.y, -0.02f) << "frame " << i;
    EXPECT_NEAR(slime.position.y - before, -0.02f, 1e-4f) << "frame " << i;
    EXPECT_NE(StampRequest(), SOUND_REQUEST_PLAY);
    EndFrame();
  }
  EXPECT_EQ(slime.wallStickFrames, 0);
  // Then it falls freely, still touching, without sticking again.
  for (int i = 0; i < 10; ++i) {
    Step(slime);
    EXPECT_TRUE(slime.wallTouch);
    EXPECT_EQ(slime.wallStickFrames, 0);
    EXPECT_NE(StampRequest(), SOUND_REQUEST_PLAY);
    EndFrame();
  }
  EXPECT_NEAR(slime.velocity.y, -0.02f * 11, 1e-5f);
}

TEST_F(CollisionTest, InTheClearPhaseFacesOfHalfAlphaAreAbsent) {
  Stage({"floorhalf.x,0,-1,0,4,1,4,0,0,0,Map"});
  scene_.phase = kPhaseClear;
  CSlime slime;
  for (int i = 0; i < 40; ++i) Step(slime);
  EXPECT_FALSE(slime.onGround);
  EXPECT_LT(slime.position.y, -2.0f);
  // In play the same floor holds.
  scene_.phase = kPhasePlay;
  CSlime other;
  for (int i = 0; i < 40; ++i) Step(other);
  EXPECT_TRUE(other.onGround);
}

TEST_F(CollisionTest, CeilingsPushDownAndStopTheRise) {
  Stage({"floor.x,0,1.3,0,4,1,4,0,0,0,Map"});
  CSlime slime;
  slime.velocity.y = 0.6f;
  slime.CollideCeiling();  // the face is 0.3 above the ray origin at y 1
  EXPECT_NEAR(slime.world._42, -(0.75f - 0.3f), 1e-5f);
  EXPECT_EQ(slime.velocity.y, 0.0f);
}

TEST_F(CollisionTest, BonesStopAtSurfacesButNotAtInvisibleOnes) {
  // A face cutting through the lower half of the body, a quarter below the core.
  for (const char* model : {"floor.x", "floor0.x"}) {
    SCOPED_TRACE(model);
    CSlime probe;
    probe.UpdateBones();
    const float coreY = WorldOf(Bone(probe, w::kCore)).y;
    const float faceY = coreY - 0.25f;
    Stage({std::string(model) + ",0," + std::to_string(faceY) + ",0,4,1,4,0,0,0,Map"});
    CSlime slime;
    slime.UpdateBones();
    const float lowest = WorldOf(Bone(slime, w::kDown)).y;
    if (std::string(model) == "floor.x") {
      EXPECT_NEAR(lowest, faceY, 1e-4f);
      // The bone's local place agrees with its corrected world place.
      slime.meshObject.Update(slime.world);
      EXPECT_NEAR(WorldOf(Bone(slime, w::kDown)).y - WorldOf(Bone(slime, w::kCore)).y, -0.25f,
                  1e-4f);
    } else {
      EXPECT_LT(lowest, faceY - 0.1f);
    }
  }
}

TEST_F(CollisionTest, ASlimeOnAMovingBlockRidesIt) {
  MapObjectList& stage = Stage({"floor.x,0,0,0,4,1,4,0,0,0,MoveObject,3,0,0,0"});
  CSlime slime;
  slime.PlaceAt(D3DXVECTOR3(0, 0.5f, 0));
  for (int i = 0; i < 30 && !slime.onGround; ++i) {
    stage.UpdateAll();
    Step(slime);
  }
  ASSERT_TRUE(slime.onGround);
  ASSERT_EQ(slime.standingOn, stage.Objects()[0]);
  const float blockStart = stage.Objects()[0]->world._41;
  const float slimeStart = slime.position.x;
  for (int i = 0; i < 50; ++i) {
    stage.UpdateAll();
    Step(slime);
  }
  // The block has moved along x, and the slime with it.
  const float blockMoved = stage.Objects()[0]->world._41 - blockStart;
  EXPECT_GT(blockMoved, 0.05f);
  EXPECT_NEAR(slime.position.x - slimeStart, blockMoved, 1e-4f);
  // The camera's anchor, the first bone as it stood before this frame's bones moved,
  // follows within one frame's step.
  EXPECT_NEAR(slime.anchor.x, slime.meshObject.nodes[0]->combinedMatrix._41, 0.02f);
  EXPECT_GT(slime.anchor.x, slimeStart + blockMoved * 0.5f);
}

TEST_F(CollisionTest, DiagonalWalkingKeepsEachAxisSpeedAlongTheDirection) {
  CSlime slime;
  slime.velocity = D3DXVECTOR3(0.2f, 0, 0.2f);
  slime.Move();
  EXPECT_NEAR(slime.velocity.x, 0.1414f, 1e-4f);
  EXPECT_NEAR(slime.velocity.z, 0.1414f, 1e-4f);
  EXPECT_NEAR(slime.position.x, 0.1414f, 1e-4f);
  EXPECT_EQ(slime.velocity.y, -0.02f);
}

}  // namespace
}  // namespace chara_test
