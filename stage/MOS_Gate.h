// A gate wing: solid like the scenery when the slime is near. In the clear
// phase, once the clear camera lets the gates open, it swings 90 degrees about
// its own vertical axis (180 frames, with the opening sound), wobbles for 30
// frames (the gate sound every 5), and the first wing to finish shows the clear
// picture with the clear sound. Its face normals stay as built: the slime
// collides with the closed orientation.
#pragma once
#include "stage/MapObjectStruct.h"

class MOS_Gate : public MapObjectStruct {
 public:
  MOS_Gate(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
           int direction);

  void Update() override;

  // Degrees the wing turns each frame of its swing.
  float SwingStep() const { return reverse ? -0.5f : 0.5f; }
  bool Open() const { return wobbleFrames <= 0; }

  bool reverse;      // the number column was above 0: swing the other way
  float turned;      // degrees swung so far
  int wobbleFrames;  // frames of wobble left once swung

 private:
  void Turn(float degrees);
};
