// The base of every scene: the camera and stage it owns, the projection and
// view it draws with, its frame counter, and the drawing frame that calls the
// scene's drawing slots in a fixed order around the shader passes.
#pragma once
#include <d3d9.h>
#include <d3dx9math.h>

class CCamera;
class CStage;

class CScene {
 public:
  // Identity matrices, light 0 for the scene, the perspective projection; the
  // derived constructor creates camera and stage.
  CScene();
  virtual ~CScene();
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  virtual void Update() {}
  // Fills the shadow map; scenes open and close the shadow pass themselves.
  virtual void DrawShadow() {}
  virtual void DrawShadowCasters() {}
  // Draws into the toon effect's scene targets.
  virtual void Draw3D() {}
  // Draws onto the back buffer, inside the frame's sprite batch.
  virtual void Draw2D() {}
  // Deletes camera and stage.
  virtual void Release();

  // The drawing frame: clear, view, shadow pass, 3D pass, composite, 2D, fade.
  void Render();
  // One more frame of the scene's clock, except while the screen is fading.
  void CountFrame();

  int frameCount;
  CCamera* camera;  // owned
  CStage* stage;    // owned
  D3DXMATRIX projection;
  D3DXMATRIX view;
};
