// Checkpoints and gates on a small stage the test writes, in a fake game scene
// with a slime whose body point the test puts where it wants, and the sound
// requests of each frame.
#pragma once
#include <filesystem>
#include <memory>

#include "chara/Slime.h"
#include "stage/MOS_CheckPoint.h"
#include "stage/MOS_Gate.h"
#include "stage/MOS_Move.h"
#include "stage/stage_fixture.h"
#include "support/fake_scene.h"
#include "support/sound_requests.h"

namespace objects_test {

class ObjectsTest : public stagetest::StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (HasFatalFailure()) return;
    // The slime's model from the run folder, so that the slime has its bones.
    namespace fs = std::filesystem;
    const fs::path model = fs::path(kSlimeModelPath).relative_path();
    fs::create_directories(model.parent_path());
    fs::copy_file(previous_ / model, model);
    sounds_ = std::make_unique<glomp::test::SoundRequests>();
  }
  void TearDown() override {
    Scene().stage = nullptr;
    Scene().slime = nullptr;
    slime_.reset();
    stage_.reset();
    sounds_.reset();
    StageTest::TearDown();
  }

  void Build(const std::vector<std::string>& rows) {
    stage_.reset(MakeStage(rows));
    ASSERT_EQ(stage_->objects->Objects().size(), rows.size());
    Scene().stage = stage_.get();
  }

  template <typename Object>
  Object* At(int index) const {
    return dynamic_cast<Object*>(stage_->objects->Objects().at(index));
  }

  // A slime of the running scene with its body point (its first bone) at `point`.
  void PutBodyAt(const D3DXVECTOR3& point) {
    if (!slime_) {
      slime_ = std::make_unique<CSlime>();
      Scene().slime = slime_.get();
    }
    ASSERT_FALSE(slime_->meshObject.nodes.empty()) << "the slime model did not load";
    D3DXMATRIX& body = slime_->meshObject.nodes[0]->combinedMatrix;
    body._41 = point.x;
    body._42 = point.y;
    body._43 = point.z;
  }

  // One frame as the game scene runs its stage: objects, then sparks; then the
  // sound requests are carried out and the scene clock moves on.
  void Frame() {
    stage_->Update();
    EndFrame();
  }
  void EndFrame() {
    glomp::test::SoundRequests::EndFrame();
    ++Scene().frameCount;
  }

  // The fake game scene of the stage fixture (in play at first).
  static FakeScene& Scene() { return stagetest::Scene(); }
  std::unique_ptr<CStage> stage_;
  std::unique_ptr<CSlime> slime_;
  std::unique_ptr<glomp::test::SoundRequests> sounds_;
};

}  // namespace objects_test
