// A gate wing: solid like the scenery when the slime is near, it swings open
// about its own vertical axis during the clear sequence.
//
// What is here is the gate as the stage file builds it, collided with and
// drawn closed; the swing reads the game scene's phase and its clear message
// and arrives with them.
#pragma once
#include "stage/MapObjectStruct.h"

class MOS_Gate : public MapObjectStruct {
 public:
  MOS_Gate(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
           int direction);

  bool reverse;      // the number column was above 0: swing the other way
  float turned;      // degrees swung so far
  int wobbleFrames;  // frames of wobble left once open
};
