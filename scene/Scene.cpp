#include "scene/Scene.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "scene/SceneManager.h"

#include "stage/Stage.h"

namespace {
constexpr D3DCOLOR kClearBlue = 0xFF0000FF;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;
constexpr float kFieldOfView = 1.0471976f;  // 60 degrees
constexpr float kNearPlane = 0.01f;
constexpr float kFarPlane = 2000.0f;
}  // namespace

CScene::CScene() : sceneId(-1), frameCount(0), camera(nullptr), stage(nullptr) {
  D3DXMatrixIdentity(&projection);
  D3DXMatrixIdentity(&view);

  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  const D3DXVECTOR3 direction(-1.0f, -1.0f, 1.0f);
  const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1.0f);
  const D3DXCOLOR ambient(0.6f, 0.6f, 0.6f, 0.0f);
  const D3DXCOLOR specular(1.0f, 1.0f, 1.0f, 0.0f);
  if (graphics.device) graphics.SetDirectionalLight(0, &direction, &diffuse, &ambient, &specular);

  const UINT width = graphics.presentParams.BackBufferWidth;
  const UINT height = graphics.presentParams.BackBufferHeight;
  const float aspect =
      height ? static_cast<float>(width) / static_cast<float>(height) : 16.0f / 9.0f;
  D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, aspect, kNearPlane, kFarPlane);
  if (graphics.device) graphics.device->SetTransform(D3DTS_PROJECTION, &projection);
}

CScene::~CScene() { CScene::Release(); }

void CScene::Release() {
  delete camera;
  camera = nullptr;
  delete stage;
  stage = nullptr;
}

void CScene::CountFrame() {
  if (g_sceneManager && g_sceneManager->fading) return;  // the scene's clock stands still
  ++frameCount;
}

bool CScene::Fading() const { return g_sceneManager && g_sceneManager->fading; }

bool CScene::Changing() const { return g_sceneManager && g_sceneManager->changing; }

D3DXCOLOR CScene::PlayerColour() const {
  return g_sceneManager ? g_sceneManager->slimeColour : D3DXCOLOR(0, 1, 1, 1);
}

void CScene::ChangeScene(int id) {
  if (g_sceneManager) g_sceneManager->ChangeScene(id);
}

void CScene::Render() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DDevice9* device = graphics.device;
  if (device == nullptr) return;
  CApplication& application = CApplication::GetInstance();

  // The 3D pass clears the depth-stencil surface again before it draws; clearing
  // it here as well would be a second pass over all its pixels for nothing.
  const DWORD depthStencil = application.toonShader.HasSceneTargets()
                                 ? 0
                                 : DWORD(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | depthStencil, kClearBlue, 1.0f, 0);
  device->BeginScene();

  if (camera) camera->SetView(&view, device);
  application.toonShader.SetFrameParameters();

  DrawShadow();
  application.toonShader.SetShadowParameters(application.shadowMap);

  // Everything the scene draws in 3D lands in the toon effect's three targets.
  application.toonShader.BeginSceneTargets();
  Draw3D();
  application.toonShader.EndSceneTargets();
  device->SetRenderTarget(0, graphics.backBuffer);
  device->SetDepthStencilSurface(graphics.depthSurface);

  if (graphics.sprite) graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
  DrawComposite();
  Draw2D();
  if (g_sceneManager) g_sceneManager->DrawFade();
  if (graphics.sprite) graphics.sprite->End();
  device->EndScene();
}

// The 3D image reaches the back buffer only here: the colour target full screen,
// with the edge image laid over it. The edge effect draws both in one pass,
// blended as the two full-screen sprites would be; without it the colour target
// goes on as a sprite alone.
void CScene::DrawComposite() {
  CApplication& application = CApplication::GetInstance();
  if (application.edgeShader.DrawComposite(application.toonShader)) return;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  CGraphicsDevice::GetInstance().DrawTexture(application.toonShader.GetTargetA(), kOpaqueWhite,
                                             &identity);
}
