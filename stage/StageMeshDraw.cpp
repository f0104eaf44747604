#include "stage/StageMeshDraw.h"

#include <atomic>

#include "app/Application.h"
#include "render/ShadowMap.h"
#include "render/StaticMesh.h"
#include "render/ToonShader.h"

namespace {

// The game's draws: "mW" = world on the effect, then its static-mesh draw.
void DrawWithToonEffect(CStaticMesh* model, const D3DXMATRIX& world) {
  CToonShader& toonShader = CApplication::GetInstance().toonShader;
  if (toonShader.effect) toonShader.effect->SetMatrix("mW", &world);
  toonShader.DrawStaticMesh(model);
}

void DrawIntoShadowMap(CStaticMesh* model, const D3DXMATRIX& world) {
  CShadowMap& shadowMap = CApplication::GetInstance().shadowMap;
  if (shadowMap.effect) shadowMap.effect->SetMatrix("mW", &world);
  shadowMap.DrawStaticMesh(model);
}

std::atomic<StageMeshDraw> litDraw{DrawWithToonEffect};
std::atomic<StageMeshDraw> shadowDraw{DrawIntoShadowMap};

}  // namespace

void SetStageMeshDrawing(const StageMeshDrawing& drawing) {
  litDraw.store(drawing.lit ? drawing.lit : DrawWithToonEffect);
  shadowDraw.store(drawing.shadow ? drawing.shadow : DrawIntoShadowMap);
}

void DrawStageMeshLit(CStaticMesh* model, const D3DXMATRIX& world) { litDraw.load()(model, world); }

void DrawStageMeshShadow(CStaticMesh* model, const D3DXMATRIX& world) {
  shadowDraw.load()(model, world);
}
