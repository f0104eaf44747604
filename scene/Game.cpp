#include "scene/Game.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/SoundManager.h"
#include "camera/ClearCamera.h"
#include "camera/GameCamera.h"
#include "camera/StartCamera.h"
#include "chara/Player.h"
#include "message/ClearMessage.h"
#include "message/StartMessage.h"
#include "scene/SceneManager.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace {

constexpr int kEscapeSlot = 0;
constexpr int kGameMusic = 1;
constexpr int kRestart = 1;
constexpr float kShadowEyeDistance = 50.0f;
// The start camera's glide speed when it turns back.
constexpr float kStartCameraReturnSpeed = 0.021f;

}  // namespace

SGame::SGame()
    : player(nullptr),
      startMessage(nullptr),
      clearMessage(nullptr),
      phase(0),
      fallOutHeight(0),
      returnSpot(Player::kStart),
      returnFade(0),
      returns(0) {
  player = new Player();
  // The scene is built before it runs, so the player cannot ask it for the
  // colour yet: the manager's pick is handed over here.
  player->colour = PlayerColour();
  stage = new CStage(STAGE_FILE_GAME);
  startMessage = new CStartMessage();
  clearMessage = new CClearMessage();
  camera = new StartCamera();
  phase = kPhaseOpening;
  fallOutHeight = stage->objects->LowestSurface() - kFallOutDepth;
  reached.assign(stage->objects->Objects().size(), false);
  RequestSound(kGameMusic, kRestart);
}

SGame::~SGame() { SGame::Release(); }

void SGame::Release() {
  delete player;
  player = nullptr;
  delete startMessage;
  startMessage = nullptr;
  delete clearMessage;
  clearMessage = nullptr;
  if (g_soundManager) g_soundManager->Stop(kGameMusic);
}

void SGame::SetPhase(int p) {
  if (p == phase) return;
  phase = p;
  frameCount = 0;
  delete camera;
  camera = nullptr;
  switch (p) {
    case kPhaseOpening:
      camera = new StartCamera();
      break;
    case kPhasePlay:
      camera = new GameCamera();
      camera->Update();
      break;
    case kPhaseClear:
    default:
      camera = new ClearCamera();
      if (g_soundManager) g_soundManager->Stop(kGameMusic);
      break;
  }
}

void SGame::Update() {
  // The frame goes on after the request; the change comes at full white.
  if (SlotPressed(kEscapeSlot)) ChangeScene(kSceneTitle);
  stage->Update();
  player->Update();
  FollowCheckpoints();
  ReturnFallenPlayer();
  startMessage->Update();
  clearMessage->Update();
  camera->Update();
}

void SGame::DrawShadow() {
  CApplication& application = CApplication::GetInstance();
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  D3DLIGHT9 light{};
  if (device) device->GetLight(0, &light);
  const D3DXVECTOR3 focus = phase == kPhasePlay
                                ? player->position
                                : D3DXVECTOR3(camera->world._41, camera->world._42,
                                              camera->world._43);
  const D3DXVECTOR3 direction(light.Direction.x, light.Direction.y, light.Direction.z);
  const D3DXVECTOR3 eye = focus - kShadowEyeDistance * direction;
  application.shadowMap.BeginShadowPass(&eye);
  DrawShadowCasters();
  application.shadowMap.EndShadowPass();
}

void SGame::DrawShadowCasters() {
  stage->DrawShadows();
  player->DrawShadow();
}

void SGame::Draw3D() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (device) {
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }
  stage->DrawObjects();  // and the sky behind them
  player->Draw();
  // Water after the opaque world and the player, so the player shows through it.
  stage->objects->DrawWater();
  player->DrawEffects();
  CountFrame();
}

void SGame::Draw2D() {
  startMessage->Draw();
  clearMessage->Draw();
  if (returnFade > 0 && g_sceneManager && g_sceneManager->fadeTexture) {
    // A short white flash after a fall, drawn like the scene manager's fade.
    const int alpha = 255 * returnFade / kReturnFadeFrames;
    CGraphicsDevice::GetInstance().DrawTexture(g_sceneManager->fadeTexture,
                                               (D3DCOLOR(alpha) << 24) | 0xFFFFFF,
                                               &g_sceneManager->fadeTransform);
  }
}

void SGame::FollowCheckpoints() {
  const std::vector<MapObjectStruct*> objects = stage->objects->Objects();
  for (size_t i = 0; i < objects.size() && i < reached.size(); ++i) {
    const MapObjectStruct* object = objects[i];
    if (object->kind != MAP_OBJECT_CHECKPOINT || !object->state || reached[i]) continue;
    reached[i] = true;
    returnSpot = StandingSpotBelow(D3DXVECTOR3(object->world._41, object->world._42,
                                               object->world._43));
  }
}

void SGame::ReturnFallenPlayer() {
  if (returnFade > 0) --returnFade;
  if (phase != kPhasePlay || player->position.y >= fallOutHeight) return;
  player->ReturnTo(returnSpot);
  delete camera;  // a fresh game camera behind the player
  camera = new GameCamera();
  camera->Update();
  returnFade = kReturnFadeFrames;
  ++returns;
}

D3DXVECTOR3 SGame::StandingSpotBelow(const D3DXVECTOR3& point) const {
  // A checkpoint stands on its ledge: look for the surface from a little above it.
  const D3DXVECTOR3 origin = point + D3DXVECTOR3(0, 5.0f, 0);
  const D3DXVECTOR3 down(0, -1, 0);
  const MapObjectList& objects = *stage->objects;
  float nearest = -1;
  for (int candidate : objects.NearbyObjects(origin, CSlime::kNearbyRadius)) {
    float distance = 0;
    if (objects.RayTest(candidate, origin, down, &distance, nullptr) &&
        (nearest < 0 || distance < nearest)) {
      nearest = distance;
    }
  }
  if (nearest < 0) return point;
  return D3DXVECTOR3(point.x, origin.y - nearest - 0.5f, point.z);
}

CSlime* SGame::Slime() const { return player; }

void SGame::RaiseStartMessage() { startMessage->active = true; }

void SGame::SendStartCameraBack() {
  StartCamera* startCamera = dynamic_cast<StartCamera*>(camera);
  if (startCamera && startCamera->forward) {
    startCamera->forward = false;
    startCamera->speed = kStartCameraReturnSpeed;
  }
}

bool SGame::GateMayOpen() const { return clearMessage->gateMayOpen; }

void SGame::LetGatesOpen() { clearMessage->gateMayOpen = true; }

bool SGame::ClearMessageShown() const { return clearMessage->shown; }

void SGame::ShowClearMessage() { clearMessage->shown = true; }
