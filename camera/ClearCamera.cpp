#include "camera/ClearCamera.h"

#include <algorithm>

#include "app/SoundManager.h"
#include "chara/Player.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"

namespace {
constexpr float kSpeedDecay = 0.98f;
constexpr float kSlowest = 0.001f;
constexpr float kSwingSpeed = 0.02f;
constexpr float kQuarterTurn = -1.57077f;
constexpr int kRestart = 1;
}  // namespace

ClearCamera::ClearCamera()
    : startPose(Pose(D3DXVECTOR3(128.5f, 100.0f, 138.5f), -0.1116992f, kQuarterTurn)),
      finalPose(Pose(D3DXVECTOR3(149.0f, -14.0f, -51.0f), 0.5480242f, -2.4102595f)),
      middlePose(Pose(D3DXVECTOR3(127.0f, 118.0f, 76.0f), 0.4642498f, kQuarterTurn)) {
  from = startPose;
  to = middlePose;
}

void ClearCamera::Update() {
  world = InterpolatePose(from, to, t);
  if (waitFrames < kHoldFrames) {
    ++waitFrames;
    return;
  }
  RunningScene* scene = CurrentScene();
  Player* player = scene ? scene->GamePlayer() : nullptr;
  if (!player || player->clearState < 1 || scene->GateMayOpen()) return;
  t += speed;
  speed = std::max(speed * kSpeedDecay, kSlowest);
  if (t <= 1.0f) return;
  t = 1.0f;
  if (player->clearState == 1) player->clearState = 2;
  if (player->clearCount == kSecondSwingCount) {
    from = middlePose;
    to = finalPose;
    t = 0;
    speed = kSwingSpeed;
  }
  if (player->clearCount > kSecondSwingCount) {
    scene->LetGatesOpen();
    RequestSound(kGateSound, kRestart);
  }
}
