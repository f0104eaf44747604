#include "scene/Title.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/SoundManager.h"
#include "camera/Camera.h"
#include "chara/TitleSlime.h"
#include "render/PulsingPicture.h"
#include "scene/SceneManager.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace {

constexpr char kPressEnterPicture[] = "data/texture/message/press_enter_key.png";
constexpr int kEscapeSlot = 0;
constexpr int kEnterSlot = 10;
constexpr int kSpaceSlot = 17;  // the second Space slot
constexpr int kTitleMusic = 0;
constexpr int kStartSound = 3;
constexpr int kRestart = 1;

}  // namespace

STitle::STitle() : pressEnter(nullptr), titleSlime(nullptr) {
  // The title's light comes from above and behind the camera.
  const D3DXVECTOR3 direction(0.0f, -1.0f, 1.0f);
  const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1.0f);
  const D3DXCOLOR ambient(0.6f, 0.6f, 0.6f, 0.0f);
  const D3DXCOLOR specular(1.0f, 1.0f, 1.0f, 0.0f);
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (graphics.device) graphics.SetDirectionalLight(0, &direction, &diffuse, &ambient, &specular);

  camera = new CCamera();
  stage = new CStage(STAGE_FILE_TITLE);
  titleSlime = new TitleSlime();

  pressEnter = new CPulsingPicture(kPressEnterPicture);
  const CApplication& application = CApplication::GetInstance();
  pressEnter->x = static_cast<float>(application.clientWidth - pressEnter->Width()) * 0.5f;
  pressEnter->y = static_cast<float>(application.clientHeight - pressEnter->Height());
  pressEnter->z = 0.0f;

  RequestSound(kTitleMusic, kRestart);
  if (g_sceneManager) g_sceneManager->slimeColour = titleSlime->colour;
}

STitle::~STitle() {
  STitle::Release();
  if (g_soundManager) g_soundManager->Stop(kTitleMusic);
}

void STitle::Release() {
  delete pressEnter;
  pressEnter = nullptr;
  delete titleSlime;
  titleSlime = nullptr;
}

void STitle::Update() {
  if (SlotPressed(kEscapeSlot)) {
    // The main loop asks the quit question before the next frame.
    CApplication::GetInstance().quitRequested = true;
    return;
  }
  // A request while the screen fades is dropped by the manager; the sound
  // plays either way. Enter keeps the colour the title started with.
  if (SlotPressed(kEnterSlot)) {
    if (g_sceneManager) g_sceneManager->ChangeScene(SCENE_GAME);
    RequestSound(kStartSound, kRestart);
  }
  if (SlotPressed(kSpaceSlot)) {
    if (g_sceneManager) {
      g_sceneManager->ChangeScene(SCENE_GAME);
      g_sceneManager->slimeColour = titleSlime->colour;
    }
    RequestSound(kStartSound, kRestart);
  }
  stage->Update();
  titleSlime->Update();
  camera->Update();
  pressEnter->Update();
}

void STitle::DrawShadow() {
  CShadowMap& shadowMap = CApplication::GetInstance().shadowMap;
  shadowMap.BeginShadowPass(nullptr);
  shadowMap.EndShadowPass();
}

void STitle::Draw3D() {
  stage->DrawObjects();  // and the sky behind them
  titleSlime->Draw();
  CountFrame();
}

void STitle::Draw2D() { pressEnter->Draw(); }


CSlime* STitle::Slime() const { return titleSlime; }
