// Scene id 0 until the title scene exists: the title's light, camera and sky,
// with the title's Enter (start the game) and Escape (ask to quit) keys, so
// that the scene flow can be run and watched. Replaced by STitle.
#pragma once
#include "scene/Scene.h"

class CStaticMesh;

class STitlePlaceholder : public CScene {
 public:
  STitlePlaceholder();
  ~STitlePlaceholder() override;

  void Update() override;
  // The sky dome, unlit, turning slowly; then the scene's clock advances.
  void Draw3D() override;

  CStaticMesh* sky;  // from the resource cache, not owned
};
