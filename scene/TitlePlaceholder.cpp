#include "scene/TitlePlaceholder.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/SoundManager.h"
#include "camera/Camera.h"
#include "render/ResourceCache.h"
#include "render/StaticMesh.h"
#include "scene/SceneManager.h"

namespace {
constexpr char kSkyModel[] = "./data/model/Map/Sky.x";
constexpr float kSkyScale = 10.0f;
constexpr float kSkyTurnDegreesPerFrame = 0.01f;
constexpr int kEscapeSlot = 0;
constexpr int kEnterSlot = 10;
constexpr int kPressed = 1;
constexpr int kTitleMusic = 0;
constexpr int kStartSound = 3;
constexpr int kRestart = 1;
}  // namespace

STitlePlaceholder::STitlePlaceholder() : sky(nullptr) {
  // The title's light replaces the one every scene starts with.
  const D3DXVECTOR3 direction(0.0f, -1.0f, 1.0f);
  const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1.0f);
  const D3DXCOLOR ambient(0.6f, 0.6f, 0.6f, 0.0f);
  const D3DXCOLOR specular(1.0f, 1.0f, 1.0f, 0.0f);
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (graphics.device) graphics.SetDirectionalLight(0, &direction, &diffuse, &ambient, &specular);
  camera = new CCamera();
  if (g_resourceCache) sky = g_resourceCache->GetStaticMesh(kSkyModel);
  if (g_soundManager) g_soundManager->Play(kTitleMusic, kRestart);
}

STitlePlaceholder::~STitlePlaceholder() {
  if (g_soundManager) g_soundManager->Stop(kTitleMusic);
}

void STitlePlaceholder::Update() {
  if (g_keyboard && g_keyboard->state[kEscapeSlot] == kPressed) {
    CApplication::GetInstance().quitRequested = true;
    return;
  }
  if (g_keyboard && g_keyboard->state[kEnterSlot] == kPressed) {
    if (g_sceneManager) g_sceneManager->ChangeScene(SCENE_GAME);
    if (g_soundManager) g_soundManager->Play(kStartSound, kRestart);
  }
  camera->Update();
}

void STitlePlaceholder::Draw3D() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (device && sky) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DXMATRIX scaling, turn, world;
    D3DXMatrixScaling(&scaling, kSkyScale, kSkyScale, kSkyScale);
    D3DXMatrixRotationY(&turn, kSkyTurnDegreesPerFrame * CCamera::kDegreesToRadians *
                                   static_cast<float>(frameCount));
    world = scaling * turn;
    device->SetTransform(D3DTS_WORLD, &world);
    sky->Draw();
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
  }
  CountFrame();
}
