// Small helpers shared across the game: the common sine pulse, the pose blend
// used by cameras and the clear walk, and the sphere contact test.
#pragma once
#include <d3dx9math.h>

// amplitude × sin(rate × t). A negative t stands for the current scene's frame
// counter, so animations driven by the default time follow the scene's clock
// (and pause while that clock pauses, e.g. during a fade).
float Wave(float amplitude, float rate, int t = -1);

// The running scene's frame counter as Wave reads it (0 while no scene runs).
int SceneFrameCount();

// The pose between A (t = 0) and B (t = 1): the rotations of A and B blended
// along the shorter arc (D3DXQuaternionSlerp), the translations blended
// linearly; any scale in A or B is dropped from the result.
D3DXMATRIX InterpolatePose(const D3DXMATRIX& a, const D3DXMATRIX& b, float t);

// Whether two spheres overlap: rA + rB > |cA − cB|. Spheres that only touch
// at one point do not count.
bool Touches(float rA, const D3DXVECTOR3& cA, float rB, const D3DXVECTOR3& cB);
