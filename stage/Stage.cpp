#include "stage/Stage.h"

#include "app/GraphicsDevice.h"
#include "render/ResourceCache.h"
#include "render/StaticMesh.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"

namespace {

constexpr char kSkyModel[] = "./data/model/Map/Sky.x";
constexpr float kSkyScale = 10.0f;
constexpr float kSkyTurnDegreesPerFrame = 0.01f;
constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace

CStage::CStage(int stageFile)
    : objects(new MapObjectList(stageFile)),
      skyModel(g_resourceCache ? g_resourceCache->GetStaticMesh(kSkyModel) : nullptr) {}

CStage::CStage(MapObjectList* adopted)
    : objects(adopted ? adopted : new MapObjectList(-1)), skyModel(nullptr) {}

CStage::~CStage() {
  delete objects;
  for (CheckEffect* effect : effects) delete effect;
}

void CStage::Update() {
  objects->UpdateAll();
  for (CheckEffect* effect : effects) effect->Update();
  effects.remove_if([](CheckEffect* effect) {
    if (effect->alpha > 0) return false;
    delete effect;
    return true;
  });
}

void CStage::DrawShadows() { objects->DrawShadows(); }

void CStage::DrawSky() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (device && skyModel) {
    const float turn =
        kSkyTurnDegreesPerFrame * float(SceneFrameCount()) * kDegreesToRadians;
    D3DXMATRIX scaling, rotation, world;
    D3DXMatrixScaling(&scaling, kSkyScale, kSkyScale, kSkyScale);
    D3DXMatrixRotationY(&rotation, turn);
    world = scaling * rotation;
    device->SetTransform(D3DTS_WORLD, &world);
    skyModel->Draw();
  }
  objects->DrawOverlays();
}

// The sky comes after the opaque objects although it lies behind them: the
// depth test then turns its hidden pixels away before they are shaded, and in
// software drawing that saves most of a full-screen draw every frame. Every
// object is opaque where it is drawn, so the picture is the same. The sparks
// blend over both and come last.
void CStage::DrawObjects() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DDevice9* device = graphics.device;
  if (device) device->SetRenderState(D3DRS_LIGHTING, TRUE);
  objects->DrawOpaque();
  if (!device) return;
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawSky();
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  graphics.Begin2D();
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  for (CheckEffect* effect : effects) effect->Draw();
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  graphics.End2D();
}

void CStage::AddEffect(const D3DXMATRIX& m) { effects.push_back(new CheckEffect(m)); }

CStage* RunningStage() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->Stage() : nullptr;
}
