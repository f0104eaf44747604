// The flag pole of the title stage: waves like a checkpoint and takes the
// title slime's colour when the slime hops against it. Not solid. A touch
// bursts into 100 sparks and waves the cloth hard; once the waving has calmed
// down (about 110 frames) the flag can be touched again.
#pragma once
#include "stage/FlagPole.h"

class MOS_Flag : public FlagPole {
 public:
  MOS_Flag(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText);

  // The touch by the scene's slime (not while fading towards a scene change),
  // the cloth's wave, and the calming of the pulse, which re-arms the flag.
  void Update() override;
  // The cloth's nine strips turned with the camera's yaw, then the pole.
  void Draw() override;

  float colour[4];  // cloth tint (r, g, b, a)
};
