// What the stage reads of the running scene and how it reaches the effects.
// Scenes sit above the stage, so the stage does not include them: the scene
// manager registers a function that describes the current scene, and the
// drawing of stage meshes goes through two replaceable functions.
#pragma once
#include <d3dx9math.h>

class CCamera;
class CStage;
class CStaticMesh;

// The current scene as the stage objects see it.
struct StageSceneView {
  int sceneId = -1;               // 0 title, 1 game, 2 result; -1 while there is none
  int frameCount = 0;             // the scene's frame counter
  bool changing = false;          // fading out towards a scene change
  CStage* stage = nullptr;        // the scene's stage (null while it is being built)
  const CCamera* camera = nullptr;
};

using StageSceneSource = StageSceneView (*)();
// Registered by the scene manager; null (the default) describes no scene at all.
void SetStageSceneSource(StageSceneSource source);
StageSceneView CurrentStageScene();

// Scene ids the stage compares against.
constexpr int kStageSceneTitle = 0;
constexpr int kStageSceneGame = 1;

// A stage mesh drawn lit (the toon effect's "Tech" with "mW" = world) and into
// the shadow map (its "Tech" with "mW" = world).
using StageMeshDraw = void (*)(CStaticMesh* model, const D3DXMATRIX& world);
struct StageMeshDrawing {
  StageMeshDraw lit;
  StageMeshDraw shadow;
};
// Replaces the two draws (tests watch them this way); null members restore
// the game's own.
void SetStageMeshDrawing(const StageMeshDrawing& drawing);
void DrawStageMeshLit(CStaticMesh* model, const D3DXMATRIX& world);
void DrawStageMeshShadow(CStaticMesh* model, const D3DXMATRIX& world);
