// The base of every scene: the camera and stage it owns, the projection and
// view it draws with, its frame counter, and the drawing frame that calls the
// scene's drawing slots in a fixed order around the shader passes.
#pragma once
#include <d3d9.h>
#include <d3dx9math.h>

#include "common/RunningScene.h"

class CCamera;
class CStage;

// Every scene is also the running scene that the parts below the scenes read
// (common/RunningScene.h); the scene manager registers the current one.
class CScene : public RunningScene {
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
  // The composite step of the frame: the 3D image (the colour target with the
  // edges over it) laid onto the back buffer, inside a begun sprite batch.
  static void DrawComposite();
  // One more frame of the scene's clock, except while the screen is fading.
  void CountFrame();

  // What the parts below the scenes read of it; the fade, the change requests
  // and the player's colour are the scene manager's.
  int SceneId() const override { return sceneId; }
  int FrameCount() const override { return frameCount; }
  bool Fading() const override;
  bool Changing() const override;
  CStage* Stage() const override { return stage; }
  CCamera* Camera() const override { return camera; }
  CSlime* Slime() const override { return nullptr; }
  D3DXCOLOR PlayerColour() const override;
  void ChangeScene(int id) override;

  int sceneId;  // set by the scene manager when it builds the scene; -1 before

  int frameCount;
  CCamera* camera;  // owned
  CStage* stage;    // owned
  D3DXMATRIX projection;
  D3DXMATRIX view;
};
