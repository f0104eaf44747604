// The result scene: a plain camera and nothing else. A frame of it shows the
// clear colour, the composite of the empty scene targets and the fade; no
// input leaves it.
#pragma once
#include "scene/Scene.h"

class SResult : public CScene {
 public:
  SResult();
  // The camera goes with the scene's base part.
  ~SResult() override;
  // The result scene keeps everything until it is deleted.
  void Release() override;
};
