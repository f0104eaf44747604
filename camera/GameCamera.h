// The camera of play: it chases a smoothed look point on the player's body,
// sits 7 behind and 1 above it along the player's yaw, pitched 10° more than
// the player, and backs off and tilts down, smoothly, while the body is away
// from the height of the ground it last stood on.
#pragma once
#include "camera/Camera.h"

class Player;

class GameCamera : public CCamera {
 public:
  // Starts at the running game's player (at the origin without one).
  GameCamera();
  void Update() override;

  D3DXVECTOR3 homePoint;  // the player's position when the camera was built
  D3DXVECTOR3 lookPoint;  // the smoothed point the camera is placed around
  float tilt = 0;         // extra pitch in degrees
  float pullBack = 0;     // extra offset along the camera's own z; never positive

  static constexpr float kChaseShare = 0.08f;  // of the remaining distance a frame
  static constexpr float kMinimumStep = 0.1f;
  static constexpr float kTiltLimit = 80.0f;
};
