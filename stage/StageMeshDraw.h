// How the stage objects reach the effects: the drawing of stage meshes goes
// through two replaceable functions, so tests can watch what is drawn.
#pragma once
#include <d3dx9math.h>

class CStaticMesh;

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
