// The slime the user steers through the game stage: turns with the arrows and
// the mouse, walks with W A S D, jumps and wall-jumps with Space, leaves rings
// and trails, and is walked to the goal during the clear sequence. Its colour
// is the one picked on the title.
#pragma once
#include <d3dx9math.h>

#include "chara/CharaEffects.h"
#include "chara/Slime.h"

class Player : public CSlime {
 public:
  // The slime body, its effects, the two poses of the walk to the goal, then Reset.
  Player();
  ~Player() override;

  // Ride, steer (in play only), move (until the clear walk), the clear steps,
  // collide and relax the body, then the effects.
  void Update() override;
  void Release() override;
  // At the start pad facing −x, in the title's colour, nothing of the clear
  // sequence done. The rotation and scale in world are replaced.
  void Reset() override;

  // The arrows turn one degree a frame, the mouse one degree per 20 pixels.
  void Turn();
  // W S forward and back, A D sideways: full speed at once, a glide to a stop.
  void Walk();
  // Space on the ground jumps; a fresh press while sliding down a wall jumps off it.
  void JumpInput();
  // The clear sequence: placed, waiting, walking to the goal, standing, drifting.
  void ClearStep();
  // Rings while walking and sliding, on landing, trails in the air.
  void SpawnEffects();
  // Back after a fall: standing at `spot` (a surface's height minus the 0.5 a
  // landed slime sinks), at rest, keeping its facing and its clear state.
  void ReturnTo(const D3DXVECTOR3& spot);
  // Drawn after the body by the game scene.
  void DrawEffects();

  CharaEffects effects;
  D3DXMATRIX clearFrom;  // start pose of the walk to the goal
  D3DXMATRIX clearTo;    // end pose of that walk
  float clearBlend = 0;  // progress of the walk, 0 to 1
  int clearState = 0;    // 0 not placed, 1 placed, 2 walking to the goal, 3 walked
  int clearCount = 0;    // frames counted in clear state 3
  bool wasOnGround = false;

  static constexpr float kWalkSpeed = 0.2f;
  static constexpr float kJumpSpeed = 0.6f;
  static constexpr float kClearPlaceHeight = 93.0f;  // 63 + 30
  static const D3DXVECTOR3 kStart;
  static const D3DXVECTOR3 kClearFrom;
  static const D3DXVECTOR3 kClearTo;
};
