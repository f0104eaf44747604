#include "common/Helpers.h"

#include "common/RunningScene.h"

#include <cmath>

namespace {

// The rotation of a pose as a quaternion. A rotation matrix goes straight into
// D3DXQuaternionRotationMatrix; rows that carry a scale are first brought back
// to unit length, since that function expects a pure rotation and would
// otherwise mix the scale into the angle.
D3DXQUATERNION RotationOf(const D3DXMATRIX& pose) {
  D3DXMATRIX rotation = pose;
  for (int row = 0; row < 3; ++row) {
    D3DXVECTOR3 axis(rotation.m[row][0], rotation.m[row][1], rotation.m[row][2]);
    const float length = D3DXVec3Length(&axis);
    if (length > 0.0f && std::fabs(length - 1.0f) > 1e-5f) {
      for (int col = 0; col < 3; ++col) rotation.m[row][col] /= length;
    }
  }
  D3DXQUATERNION q;
  D3DXQuaternionRotationMatrix(&q, &rotation);
  return q;
}

}  // namespace

float Wave(float amplitude, float rate, int t) {
  if (t < 0) t = SceneFrameCount();
  return amplitude * std::sin(rate * static_cast<float>(t));
}

int SceneFrameCount() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->FrameCount() : 0;
}

D3DXMATRIX InterpolatePose(const D3DXMATRIX& a, const D3DXMATRIX& b, float t) {
  const D3DXQUATERNION qa = RotationOf(a);
  const D3DXQUATERNION qb = RotationOf(b);
  D3DXQUATERNION blended;
  D3DXQuaternionSlerp(&blended, &qa, &qb, t);

  D3DXMATRIX pose;
  D3DXMatrixRotationQuaternion(&pose, &blended);
  pose._41 = a._41 + (b._41 - a._41) * t;
  pose._42 = a._42 + (b._42 - a._42) * t;
  pose._43 = a._43 + (b._43 - a._43) * t;
  return pose;
}

bool Touches(float rA, const D3DXVECTOR3& cA, float rB, const D3DXVECTOR3& cB) {
  const D3DXVECTOR3 between = cA - cB;
  return rA + rB > D3DXVec3Length(&between);
}
