#include "camera/StartCamera.h"

#include <algorithm>

#include "common/Helpers.h"
#include "common/RunningScene.h"

namespace {
constexpr float kSpeedDecay = 0.98f;
constexpr float kSlowest = 0.0001f;
constexpr float kQuarterTurn = -1.57077f;  // a hair short of π/2
}  // namespace

StartCamera::StartCamera()
    : startPose(Pose(D3DXVECTOR3(145.0f, 1.0f, -7.0f), 0.17453f, kQuarterTurn)),
      endPose(Pose(D3DXVECTOR3(128.5f, 100.0f, 138.5f), -0.1116992f, kQuarterTurn)) {}

void StartCamera::Update() {
  const int n = SceneFrameCount();
  world = InterpolatePose(startPose, endPose, t);
  if (forward) {
    if (n > kStillFrames) t = std::min(t + speed, 1.0f);
  } else {
    t = std::max(t - speed, 0.0f);
  }
  if (n > kStillFrames) speed = std::max(speed * kSpeedDecay, kSlowest);

  RunningScene* scene = CurrentScene();
  if (forward && t == 1.0f) {
    if (holdFrames >= kHoldFrames) {
      if (scene) scene->RaiseStartMessage();
    } else {
      ++holdFrames;
    }
  }
  if (!forward && t == 0.0f) {
    if (holdFrames <= 0) {
      // Replaces (deletes) this camera: nothing may touch it after this call.
      if (scene) scene->SetPhase(kPhasePlay);
      return;
    }
    --holdFrames;
  }
}
