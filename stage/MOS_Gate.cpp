#include "stage/MOS_Gate.h"

#include <cmath>

#include "app/SoundManager.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"

namespace {

constexpr float kSwingDegrees = 90.0f;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kWobbleRate = 0.5f;
constexpr int kFramesPerGateSound = 5;
constexpr int kClearSound = 8;     // "clear_effect.wav"
constexpr int kGateSound = 9;      // "gate.wav"
constexpr int kOpeningSound = 10;  // "gate_open.wav"
constexpr int kContinue = 0;
constexpr int kRestart = 1;
constexpr int kOverlap = 2;

}  // namespace

MOS_Gate::MOS_Gate(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                   int direction)
    : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}),
      reverse(direction > 0),
      turned(0.0f),
      wobbleFrames(30) {
  // Built once, closed: the slime collides with the closed wing's faces.
  BuildFaceNormals();
}

void MOS_Gate::Turn(float degrees) {
  D3DXMATRIX turn;
  D3DXMatrixRotationY(&turn, degrees * kDegreesToRadians);
  world = turn * world;  // about the wing's own vertical axis through its origin
}

void MOS_Gate::Update() {
  RunningScene* scene = CurrentScene();
  if (!scene || scene->Phase() != kPhaseClear || !scene->GateMayOpen()) return;

  if (std::fabs(turned) < kSwingDegrees) {
    Turn(SwingStep());
    turned += SwingStep();
    RequestSound(kOpeningSound, kContinue);
    return;
  }
  if (g_soundManager) g_soundManager->Stop(kOpeningSound);
  if (wobbleFrames > 0) {
    if (wobbleFrames % kFramesPerGateSound == 0) RequestSound(kGateSound, kOverlap);
    // The wobble's turns add up, with an amplitude shrinking from 3 degrees to 0.1.
    const float amplitude = static_cast<float>(wobbleFrames) / 10.0f;
    Turn(Wave(amplitude, kWobbleRate, -1));
    --wobbleFrames;
  } else if (!scene->ClearMessageShown()) {
    // The first wing to finish shows the clear picture; the others find it shown.
    scene->ShowClearMessage();
    RequestSound(kClearSound, kRestart);
  }
}
