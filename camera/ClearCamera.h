// The camera of the clear sequence: it holds over the stage, swings to the goal
// once the player is placed there and starts the player's walk, waits for the
// player to have stood a while, swings to its final pose and then lets the
// gates open with the gate sound.
#pragma once
#include "camera/Camera.h"

class ClearCamera : public CCamera {
 public:
  ClearCamera();
  void Update() override;

  int waitFrames = 0;  // frames held before the first swing, up to 120
  float t = 0;         // of the current swing
  float speed = 0.02f;
  D3DXMATRIX from;
  D3DXMATRIX to;
  D3DXMATRIX startPose;   // the start camera's overview
  D3DXMATRIX finalPose;   // low, looking up at the gates
  D3DXMATRIX middlePose;  // over the goal

  static constexpr int kHoldFrames = 120;
  static constexpr int kSecondSwingCount = 60;  // the player's clearCount that starts it
  static constexpr int kGateSound = 9;
};
