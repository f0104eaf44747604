// Checkpoint sparks: their life of 51 updates, size and speed on the title and
// in the game, the spark sound, and how they are drawn over the scenery.
#include <cstdlib>
#include <memory>
#include <set>

#include "app/Sound.h"
#include "app/SoundManager.h"
#include "camera/Camera.h"
#include "glomp/soundmix.h"
#include "platform/tex/tex_files.h"
#include "render/Polygon.h"
#include "stage_fixture.h"
#include "support/wav_writer.h"

namespace {

using stagetest::StageTest;

class SparkTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (HasFatalFailure()) return;
    SetUpDataFolders();
    // 200 × 100 pixels, opaque white.
    texfiles::WriteFile("data/texture/checkeffect.png",
                        texfiles::Png(200, 100, 4, [](int, int) {
                          return texfiles::Rgba(255, 255, 255, 255);
                        }));
    stage_.reset(MakeStage({"tri.x,0,0,0,1,1,1,0,0,0,Map"}));
    stagetest::Scene().stage = stage_.get();
  }
  void TearDown() override {
    stagetest::Scene().stage = nullptr;
    stagetest::Scene().camera = nullptr;
    stage_.reset();
    if (g_soundManager) {
      delete g_soundManager;
      g_soundManager = nullptr;
      glomp::UseMemorySoundDevice(false);
    }
    StageTest::TearDown();
  }

  static D3DXMATRIX At(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
  }

  void StartSound() {
    for (int id = 0; id < kSoundCount; ++id) {
      testwav::Write(CSound::FileName(id),
                     testwav::PcmWav(1, 44100, 16, testwav::Sine16(440, 44100, 2205)));
    }
    glomp::UseMemorySoundDevice(true);
    g_soundManager = new CSoundManager(nullptr);
    g_soundManager->Load();
  }

  std::unique_ptr<CStage> stage_;
};

TEST_F(SparkTest, SparkIsUpdatedFromItsBirthFrameAndRemovedInItsFiftyFirstUpdate) {
  std::srand(3);
  stage_->AddEffect(At(1, 2, 3));
  stage_->AddEffect(At(1, 2, 3));
  CheckEffect* moving = stage_->effects.front();
  CheckEffect* still = stage_->effects.back();
  moving->velocity = D3DXVECTOR3(1.0f, -0.2f, 0.0f);
  still->velocity = D3DXVECTOR3(0, 0, 0);
  EXPECT_EQ(moving->alpha, 255);
  EXPECT_EQ(moving->polygon->position, D3DXVECTOR3(1, 2, 3));

  // Each frame: the stage's update (the burst happens inside the first), then
  // the frame is drawn if any spark is left.
  int framesDrawn = 0, removedInUpdate = 0;
  for (int update = 1; update <= 60; ++update) {
    stage_->Update();
    if (stage_->effects.empty()) {
      if (!removedInUpdate) removedInUpdate = update;
      continue;
    }
    ++framesDrawn;
    EXPECT_EQ(moving->alpha, 255 - 5 * update);
    EXPECT_NEAR(moving->travel._41, 1.0f * update, 1e-4f);
    EXPECT_NEAR(moving->travel._42, -0.2f * update, 1e-4f);
    EXPECT_EQ(moving->travel._43, 0.0f);
    EXPECT_EQ(still->travel._41, 0.0f);  // fades where it was born
    EXPECT_EQ(still->travel._42, 0.0f);
  }
  EXPECT_EQ(removedInUpdate, 51);
  EXPECT_EQ(framesDrawn, 50);
}

TEST_F(SparkTest, VelocitiesLieOnTheElevenStepGrid) {
  std::srand(11);
  std::set<int> seen[3];
  for (int i = 0; i < 500; ++i) {
    CheckEffect spark(At(0, 0, 0));
    const float v[3] = {spark.velocity.x, spark.velocity.y, spark.velocity.z};
    for (int axis = 0; axis < 3; ++axis) {
      const int step = int(std::lround(v[axis] * 5.0f));
      EXPECT_FLOAT_EQ(v[axis], float(step) / 5.0f);
      seen[axis].insert(step);
    }
  }
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(seen[axis].size(), 11u);
    EXPECT_EQ(*seen[axis].begin(), -5);
    EXPECT_EQ(*seen[axis].rbegin(), 5);
  }
}

TEST_F(SparkTest, TitleSparksAreFiveTimesSmallerAndSlower) {
  std::srand(5);
  CheckEffect game(At(0, 0, 0));
  stagetest::Scene().sceneId = kSceneTitle;
  std::srand(5);
  CheckEffect title(At(0, 0, 0));

  // 0.002 world units per pixel in the game: 200 × 100 pixels → 0.4 × 0.2.
  EXPECT_FLOAT_EQ(game.polygon->vertices[1].x, 0.2f);
  EXPECT_FLOAT_EQ(game.polygon->vertices[1].y, 0.1f);
  EXPECT_FLOAT_EQ(game.polygon->vertices[3].x, -0.2f);
  EXPECT_FLOAT_EQ(game.polygon->vertices[3].y, -0.1f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(title.polygon->vertices[i].x, game.polygon->vertices[i].x * 0.2f);
    EXPECT_FLOAT_EQ(title.polygon->vertices[i].y, game.polygon->vertices[i].y * 0.2f);
    EXPECT_EQ(title.polygon->vertices[i].u, game.polygon->vertices[i].u);
    EXPECT_EQ(title.polygon->vertices[i].v, game.polygon->vertices[i].v);
  }
  EXPECT_FLOAT_EQ(title.velocity.x, game.velocity.x * 0.2f);
  EXPECT_FLOAT_EQ(title.velocity.y, game.velocity.y * 0.2f);
  EXPECT_FLOAT_EQ(title.velocity.z, game.velocity.z * 0.2f);
}

TEST_F(SparkTest, SparkSoundIsAskedForInModeTwoEveryFrameWhileASparkLives) {
  StartSound();
  for (int i = 0; i < 100; ++i) stage_->AddEffect(At(0, 0, 0));
  const CSound& sound = *g_soundManager->GetSound(7);
  ASSERT_TRUE(sound.IsLoaded());
  ASSERT_TRUE(std::string(CSound::FileName(7)).ends_with("/flag_effect.wav"));

  int frames = 0;
  while (!stage_->effects.empty()) {
    stage_->Update();
    // The 51st update, which removes the sparks, still asks.
    EXPECT_EQ(sound.Request(), SOUND_REQUEST_PLAY);
    g_soundManager->Update();  // no time passes: every overlapping copy keeps playing
    ++frames;
    EXPECT_EQ(sound.DuplicateCount(), frames) << "one overlapping copy per frame";
  }
  EXPECT_EQ(frames, 51);
  // No spark, no request.
  stage_->Update();
  EXPECT_EQ(sound.Request(), SOUND_REQUEST_IDLE);
  g_soundManager->Update();
  EXPECT_EQ(sound.DuplicateCount(), frames);
}

TEST_F(SparkTest, SparksFaceTheCameraAndAddLightOverEverything) {
  D3DXMATRIX identity, turn, move;
  D3DXMatrixIdentity(&identity);
  device_->SetTransform(D3DTS_VIEW, &identity);
  device_->SetTransform(D3DTS_PROJECTION, &identity);
  CGraphicsDevice::GetInstance().SetDefaultStates();  // the game's blend and stage states
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  SetStageMeshDrawing({[](CStaticMesh*, const D3DXMATRIX&) {}, nullptr});

  // The camera is rolled 90° and stands far away: only its turn counts.
  CCamera camera;
  D3DXMatrixRotationZ(&turn, 90.0f * 0.017453292f);
  D3DXMatrixTranslation(&move, 50, 50, 0);
  camera.world = turn * move;
  stagetest::Scene().camera = &camera;

  stage_->AddEffect(At(0, 0, 0.5f));
  stage_->effects.front()->velocity = D3DXVECTOR3(0, 0, 0);
  for (int i = 0; i < 26; ++i) stage_->Update();
  ASSERT_EQ(stage_->effects.front()->alpha, 125);

  // Depth cleared to 0: anything depth-tested would be hidden.
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF404040, 0.0f, 0);
  device_->BeginScene();
  stage_->DrawObjects();
  device_->EndScene();

  // Additive: 0x40 + 255 × 125 / 255 ≈ 189 (a plain blend would give about 158).
  const auto level = [&](int x, int y) { return int((BackBufferAt(x, y) >> 8) & 255); };
  EXPECT_NEAR(level(32, 24), 189, 3);
  // Rolled: 0.2 wide and 0.4 tall on screen, not 0.4 wide and 0.2 tall.
  EXPECT_NEAR(level(32, 20), 189, 3);
  EXPECT_EQ(level(36, 24), 0x40);
  EXPECT_EQ(level(5, 5), 0x40);

  DWORD value = 0;
  device_->GetRenderState(D3DRS_DESTBLEND, &value);
  EXPECT_EQ(value, DWORD(D3DBLEND_INVSRCALPHA));
  device_->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, DWORD(TRUE));
  device_->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, DWORD(TRUE));
}

}  // namespace
