#include "stage/StageLinks.h"

#include <atomic>

#include "app/GraphicsDevice.h"
#include "render/StaticMesh.h"

namespace {

std::atomic<StageSceneSource> sceneSource{nullptr};

// Until the effect objects exist the lit draw is the fixed-function one and
// nothing reaches a shadow map.
void DrawFixedFunction(CStaticMesh* model, const D3DXMATRIX& world) {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (!model || !device) return;
  device->SetTransform(D3DTS_WORLD, &world);
  model->Draw();
}

void DrawNoShadow(CStaticMesh*, const D3DXMATRIX&) {}

std::atomic<StageMeshDraw> litDraw{DrawFixedFunction};
std::atomic<StageMeshDraw> shadowDraw{DrawNoShadow};

}  // namespace

void SetStageSceneSource(StageSceneSource source) {
  sceneSource.store(source, std::memory_order_release);
}

StageSceneView CurrentStageScene() {
  const StageSceneSource source = sceneSource.load(std::memory_order_acquire);
  return source ? source() : StageSceneView{};
}

void SetStageMeshDrawing(const StageMeshDrawing& drawing) {
  litDraw.store(drawing.lit ? drawing.lit : DrawFixedFunction);
  shadowDraw.store(drawing.shadow ? drawing.shadow : DrawNoShadow);
}

void DrawStageMeshLit(CStaticMesh* model, const D3DXMATRIX& world) { litDraw.load()(model, world); }

void DrawStageMeshShadow(CStaticMesh* model, const D3DXMATRIX& world) {
  shadowDraw.load()(model, world);
}
