// Inside the platform layer: the one decoder of flexible vertex formats, shared
// by the device's draws and by D3DX's meshes (their sizes, clones and skinning).
#pragma once
#include <d3d9.h>

namespace glomp::d3d9 {

// Where each element of a flexible vertex format sits in a vertex.
struct FvfLayout {
  bool valid = false;
  UINT stride = 0;
  UINT positionOffset = 0;
  UINT positionComponents = 0;  // 3 for XYZ, 4 for XYZRHW / XYZW
  bool pretransformed = false;
  int blendWeights = 0;  // float weights after the position (XYZB5 without indices: 5)
  UINT blendWeightOffset = 0;
  bool blendIndices = false;  // last "weight" is four bytes of indices
  UINT blendIndexOffset = 0;
  int normalOffset = -1;
  int pointSizeOffset = -1;
  int diffuseOffset = -1;
  int specularOffset = -1;
  UINT texCoordCount = 0;
  UINT texCoordOffset[8] = {};
  UINT texCoordSize[8] = {};

  // The position with its blend weights and indices: what comes before the normal.
  UINT PositionBytes() const {
    return positionComponents * 4 + static_cast<UINT>(blendWeights) * 4 + (blendIndices ? 4 : 0);
  }
};

// The layout of a format, or one that is not valid (no position, more than eight
// texture coordinates).
FvfLayout DescribeFvf(DWORD fvf);

}  // namespace glomp::d3d9
