#include "scene/SceneManager.h"

#include <cstdlib>
#include <ctime>
#include <thread>

#include <mmsystem.h>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/SoundManager.h"
#include "render/ResourceCache.h"
#include "render/Texture.h"
#include "scene/Game.h"
#include "scene/LoadFlag.h"
#include "scene/Result.h"
#include "scene/Scene.h"
#include "scene/Title.h"

CSceneManager* g_sceneManager = nullptr;
CSceneManager::SceneBuilder CSceneManager::sceneBuilder = nullptr;

namespace {

constexpr char kFadePicture[] = "./data/texture/white.png";
constexpr int kOpaque = 255;
constexpr DWORD kFrameMilliseconds = 16;
constexpr D3DCOLOR kLoadingClearWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kWhiteRgb = 0x00FFFFFF;

CScene* BuildScene(int id) {
  switch (id) {
    case SCENE_TITLE: return new STitle();
    case SCENE_GAME: return new SGame();
    case SCENE_RESULT: return new SResult();
    default: return nullptr;
  }
}

}  // namespace

CSceneManager::CSceneManager()
    : current(nullptr),
      pendingId(SCENE_TITLE),
      fadeTexture(nullptr),
      fading(true),
      fadeAlpha(kOpaque),
      changing(false),
      // The slime's own colour until the title hands over its pick.
      slimeColour(0.0f, 1.0f, 1.0f, 1.0f),
      currentId(-1),
      loadingFrames(0) {
  D3DXMatrixIdentity(&fadeTransform);
  if (g_resourceCache) fadeTexture = g_resourceCache->GetTexture(kFadePicture);
  const CApplication& application = CApplication::GetInstance();
  if (fadeTexture && fadeTexture->rect.right > 0 && fadeTexture->rect.bottom > 0) {
    // Stretched so that the white picture covers the client area.
    D3DXMatrixScaling(&fadeTransform,
                      static_cast<float>(application.clientWidth) / fadeTexture->rect.right,
                      static_cast<float>(application.clientHeight) / fadeTexture->rect.bottom,
                      1.0f);
  }
}

CSceneManager::~CSceneManager() {
  SetRunningScene(nullptr);
  delete current;
  current = nullptr;
  currentId = -1;
}

bool CSceneManager::ChangeScene(int id) {
  if (fading || !IsSceneId(id)) return false;
  fading = true;
  pendingId = id;
  changing = true;
  return true;
}

void CSceneManager::Update() {
  loadingFrames = 0;
  if (fading) {
    if (changing) {
      if (fadeAlpha == kOpaque) {
        if (g_soundManager) g_soundManager->StopAll();
        changing = false;
        SetRunningScene(nullptr);
        delete current;
        current = nullptr;
        currentId = -1;
        LoadScene();
      }
      fadeAlpha += kFadeOutStep;
      if (fadeAlpha > kOpaque) fadeAlpha = kOpaque;
    } else {
      fadeAlpha -= kFadeInStep;
      if (fadeAlpha <= 0) {
        fadeAlpha = 0;
        fading = false;
      }
    }
  }
  if (current) current->Update();
}

void CSceneManager::Draw() {
  if (current) current->Render();
}

void CSceneManager::LoadScene() {
  std::thread loader(&CSceneManager::CreateScene, this);
  loadingScreen.Reset();
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DDevice9* device = graphics.device;
  DWORD start = timeGetTime();
  // Window messages wait until the scene is built.
  while (!g_loadFlag->Get()) {
    if (device) {
      device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                    kLoadingClearWhite, 1.0f, 0);
      device->SetRenderTarget(0, graphics.backBuffer);
      device->SetDepthStencilSurface(graphics.depthSurface);
      device->BeginScene();
      if (graphics.sprite) graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
      loadingScreen.Draw();
      if (graphics.sprite) graphics.sprite->End();
      device->EndScene();
      device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    ++loadingFrames;
    const DWORD elapsed = timeGetTime() - start;
    if (elapsed < kFrameMilliseconds) Sleep(kFrameMilliseconds - elapsed);
    start = timeGetTime();
  }
  g_loadFlag->Set(false);
  loader.join();
  // The old scene was freed here and the new one built on the loader's thread; the
  // pages both left free go back to the system now, or every change would keep a
  // few more of them.
  _heapmin();
  // Only now, on the main thread, do the parts below the scenes see the new scene.
  SetRunningScene(current);
}

void CSceneManager::CreateScene() {
  // Random numbers drawn while building come from this thread's own sequence.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::rand();
  const int id = pendingId;
  current = sceneBuilder ? sceneBuilder(id) : BuildScene(id);
  if (current) current->sceneId = id;
  currentId = current ? id : -1;
  g_loadFlag->Set(true);
}

void CSceneManager::DrawFade() {
  if (!fading || fadeTexture == nullptr || fadeTexture->texture == nullptr) return;
  const D3DCOLOR colour = (static_cast<D3DCOLOR>(fadeAlpha) << 24) | kWhiteRgb;
  CGraphicsDevice::GetInstance().DrawTexture(fadeTexture, colour, &fadeTransform);
}
