// A checkpoint: a flag pole whose cloth waves beside it. Touching it marks it
// reached for good and releases the moving blocks of its number; number 0 is
// the goal. Not solid, so it has no face normals.
//
// What is here is the checkpoint as the stage file builds it. Reaching it and
// drawing the cloth need the characters and the game scene and arrive with them;
// until then a checkpoint stays unreached and draws its pole only.
#pragma once
#include "stage/MapObjectStruct.h"

class CTexture;

class MOS_CheckPoint : public MapObjectStruct {
 public:
  MOS_CheckPoint(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                 int number);

  float radius;  // the reach: the x scale of the stage row
  CTexture* reachedTexture;
  CTexture* waitingTexture;
  CTexture* currentTexture;
  float wave[10];  // depth offset of the cloth at its ten vertical edges
  float pulse;     // strength of the waving; 0.5 at rest
};
