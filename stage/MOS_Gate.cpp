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

void Play(int id, int mode) {
  if (g_soundManager) g_soundManager->Play(id, mode);
}

}  // namespace

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
    Play(kOpeningSound, kContinue);
    return;
  }
  if (g_soundManager) g_soundManager->Stop(kOpeningSound);
  if (wobbleFrames > 0) {
    if (wobbleFrames % kFramesPerGateSound == 0) Play(kGateSound, kOverlap);
    // The wobble's turns add up, with an amplitude shrinking from 3 degrees to 0.1.
    const float amplitude = static_cast<float>(wobbleFrames) / 10.0f;
    Turn(Wave(amplitude, kWobbleRate, scene->FrameCount()));
    --wobbleFrames;
  } else if (!scene->ClearMessageShown()) {
    // The first wing to finish shows the clear picture; the others find it shown.
    scene->ShowClearMessage();
    Play(kClearSound, kRestart);
  }
}
