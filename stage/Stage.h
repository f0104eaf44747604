// What a scene owns of its stage: the objects of one stage file, the sky dome
// turning slowly around everything, and the sparks of checkpoint bursts.
#pragma once
#include <d3dx9math.h>

#include <list>

#include "stage/CheckEffect.h"
#include "stage/MapObjectList.h"

class CStaticMesh;

class CStage {
 public:
  // Loads the stage file of that number (0 title, 1 game) and the sky.
  explicit CStage(int stageFile);
  // A stage around objects loaded elsewhere (tests and tools), with no sky;
  // it owns them from now on.
  explicit CStage(MapObjectList* adopted);
  ~CStage();
  CStage(const CStage&) = delete;
  CStage& operator=(const CStage&) = delete;

  // The objects first, then the sparks (so a spark born this frame is updated
  // this frame); spent sparks are removed.
  void Update();
  void DrawShadows();
  // With lighting off: the sky, then the moving blocks' path lines.
  void DrawSky();
  // Every object but water (lit), then the sky behind them (DrawSky, unlit),
  // then the sparks, additively.
  void DrawObjects();
  void AddEffect(const D3DXMATRIX& m);

  MapObjectList* objects;
  CStaticMesh* skyModel;          // from the cache, not owned
  std::list<CheckEffect*> effects;  // oldest first
};

// The stage of the running scene, or null while there is none.
CStage* RunningStage();
