// A moving block: glides back and forth between its stage-file place and that
// place plus its move vector, forever. A non-zero number ties it to the
// checkpoint of that number, and it only starts once that one is reached.
// While it moves, a dashed red line marks its path.
#pragma once
#include "stage/MapObjectStruct.h"

class MOS_Move : public MapObjectStruct {
 public:
  MOS_Move(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
           const D3DXVECTOR3& moveVector, int number);

  void Update() override;
  void DrawOverlay() override;

  // The path marks: pairs of points 1 unit apart, every other unit along the
  // move vector from the block's place, centred when the length is odd.
  void BuildDashPoints();

  D3DXMATRIX baseWorld;   // the world matrix of the stage row
  D3DXMATRIX offset;      // translation by the current displacement
  D3DXVECTOR3 moveVector;
  std::vector<D3DXVECTOR3> dashPoints;
  int phaseCounter;

 private:
  // Whether the checkpoint of this block's number has been reached.
  bool LinkReached() const;
};
