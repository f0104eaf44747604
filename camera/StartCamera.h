// The camera of the opening: it shows the start, glides (slowing down) up to an
// overview of the stage, waits and raises the start band; once the band has
// closed it glides back, waits again and hands over to the game camera.
#pragma once
#include "camera/Camera.h"

class StartCamera : public CCamera {
 public:
  StartCamera();
  void Update() override;

  D3DXMATRIX startPose;  // t = 0: behind the start pad
  D3DXMATRIX endPose;    // t = 1: high over the stage
  float t = 0;
  float speed = 0.021f;  // step of t a frame, decaying
  int holdFrames = 0;    // frames waited at the current end
  bool forward = true;   // towards endPose

  static constexpr int kStillFrames = 30;  // frames of the scene clock before the glide
  static constexpr int kHoldFrames = 30;
};
