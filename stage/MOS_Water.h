// A decorative water surface: drawn after everything opaque (and after the
// player), so that partly transparent materials show what lies behind; not
// solid, casts no shadow, has no face normals.
#pragma once
#include "stage/MapObjectStruct.h"

class MOS_Water : public MapObjectStruct {
 public:
  MOS_Water(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText)
      : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}) {}
};
