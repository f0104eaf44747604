// The camera every scene owns: a camera-to-world matrix that the scene's drawing
// frame turns into the view transform. The base camera builds that matrix from a
// position and two angles; derived cameras replace Update with their own motion.
#pragma once
#include <d3d9.h>
#include <d3dx9math.h>

class CCamera {
 public:
  CCamera();
  // Virtual so that a scene can delete whichever camera it holds through CCamera*.
  virtual ~CCamera() = default;

  // world = translation(position) × rotationX(angleX°) × rotationY(angleY°):
  // moved first, then turned about the world's X axis, then about its Y axis.
  virtual void Update();

  // view = inverse of world, then set as the device's D3DTS_VIEW transform (when
  // a device is given). A world matrix without an inverse leaves view as it was,
  // and that is what the device gets.
  void SetView(D3DXMATRIX* view, IDirect3DDevice9* device);

  // translation(place) × rotationX(pitch) × rotationY(yaw), angles in radians:
  // the fixed poses of the start and clear cameras.
  static D3DXMATRIX Pose(const D3DXVECTOR3& place, float pitch, float yaw);

  // Degrees to radians with the single-precision factor the game uses throughout.
  static constexpr float kDegreesToRadians = 0.017453292f;

  D3DXMATRIX world;      // camera-to-world; identity until the first Update
  D3DXVECTOR3 position;  // applied before the rotations
  float angleX;          // degrees about X
  float angleY;          // degrees about Y
};
