// The flag pole of the title stage: waves like a checkpoint and takes the
// title slime's colour when the slime hops against it. Not solid.
//
// What is here is the flag as the stage file builds it; touching it and drawing
// the cloth arrive with the title slime. Until then it draws its pole only.
#pragma once
#include "stage/MapObjectStruct.h"

class CTexture;

class MOS_Flag : public MapObjectStruct {
 public:
  MOS_Flag(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText);

  float radius;
  CTexture* reachedTexture;
  CTexture* waitingTexture;
  CTexture* currentTexture;
  float wave[10];
  float pulse;
  float colour[4];  // cloth tint (r, g, b, a)
};
