// The base of every character: where it is, how it moves and its world matrix.
#pragma once
#include <d3dx9math.h>

class CharaBase {
 public:
  // Position, velocity and angles zero; world identity.
  CharaBase();
  virtual ~CharaBase() = default;

  // One frame of behaviour.
  virtual void Update() = 0;
  // Into the shadow map.
  virtual void DrawShadow() = 0;
  // On screen.
  virtual void Draw() = 0;
  // Gives up the model resources.
  virtual void Release() = 0;

  D3DXVECTOR3 position;  // the translation row of world after every move
  D3DXVECTOR3 velocity;  // per frame, in the character's own axes (x right, y up, z forward)
  D3DXVECTOR3 angles;    // degrees; the second is the yaw
  D3DXMATRIX world;
};
