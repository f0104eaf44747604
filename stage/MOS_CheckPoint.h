// A checkpoint: a flag pole whose cloth waves beside it. When the slime's body
// comes within reach it is reached for good: the cloth takes the reached
// picture and the player's colour, it bursts into 100 sparks, and its number
// takes effect — the moving blocks of that number start (they look for it),
// and number 0, the goal, starts the game scene's clear phase. Not solid.
#pragma once
#include "stage/FlagPole.h"

class MOS_CheckPoint : public FlagPole {
 public:
  MOS_CheckPoint(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                 int number);

  // The touch (not while fading towards a scene change), the picture, the
  // cloth's wave and the calming of the pulse.
  void Update() override;
  // The cloth turned with the camera's yaw, tinted by the player's colour once
  // reached, then the pole.
  void Draw() override;
  // The pole, then the unturned cloth.
  void DrawShadow() override;

  // The goal: reaching it in the game scene starts the clear phase.
  bool IsGoal() const { return number == 0; }
};
