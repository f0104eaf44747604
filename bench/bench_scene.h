// The scene bench_render_frame draws, shared with the picture test that keeps its
// look: a stretch of the game stage's models under the sky with the slime on the
// island, seen from above and behind; the models and the slime cast shadows; the
// start message and a line of text over it. Needs a started CApplication.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "render/MeshObject.h"
#include "render/ResourceCache.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"
#include "scene/Scene.h"

class BenchScene : public CScene {
 public:
  BenchScene() {
    camera = new CCamera();
    camera->position = D3DXVECTOR3(0.0f, 6.0f, -22.0f);
    camera->angleX = 15.0f;
    camera->Update();
    sky = g_resourceCache->GetStaticMesh("./data/model/Map/Sky.x");
    for (const char* name : {"island", "start_pad", "platform_f", "ramp", "goal_tower", "bush"}) {
      models.push_back(
          g_resourceCache->GetStaticMesh(std::string("./data/model/Map/") + name + ".x"));
    }
    slimeMesh = g_resourceCache->GetSkinMesh("./data/model/Character/Player/slime9.x");
    slime.Init(slimeMesh);
    D3DXMatrixTranslation(&slimeWorld, 0.0f, 1.0f, -6.0f);
    slime.Update(slimeWorld);
    message = g_resourceCache->GetTexture("data/texture/message/start_message.png");
  }

  D3DXMATRIX ModelWorld(size_t i) const {
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, -20.0f + 8.0f * static_cast<float>(i), 0.0f, 0.0f);
    return world;
  }

  void DrawShadow() override {
    CShadowMap& shadowMap = CApplication::GetInstance().shadowMap;
    const D3DXVECTOR3 focus(0.0f, 0.0f, 0.0f);
    D3DLIGHT9 light;
    CGraphicsDevice::GetInstance().GetLight(&light, 0);
    const D3DXVECTOR3 direction(light.Direction.x, light.Direction.y, light.Direction.z);
    const D3DXVECTOR3 eye = focus - 50.0f * direction;
    shadowMap.BeginShadowPass(&eye);
    DrawShadowCasters();
    shadowMap.EndShadowPass();
  }

  void DrawShadowCasters() override {
    CShadowMap& shadowMap = CApplication::GetInstance().shadowMap;
    if (!shadowMap.GetEffect()) return;
    for (size_t i = 0; i < models.size(); ++i) {
      const D3DXMATRIX world = ModelWorld(i);
      shadowMap.GetEffect()->SetMatrix("mW", &world);
      shadowMap.DrawStaticMesh(models[i]);
    }
    shadowMap.DrawSkinned(&slime, slimeWorld);
  }

  void Draw3D() override {
    IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
    CToonShader& toon = CApplication::GetInstance().toonShader;
    // As the stage draws: the opaque models, then the sky behind them.
    if (toon.GetEffect()) {
      for (size_t i = 0; i < models.size(); ++i) {
        const D3DXMATRIX world = ModelWorld(i);
        toon.GetEffect()->SetMatrix("mW", &world);
        toon.DrawStaticMesh(models[i]);
      }
    }
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DXMATRIX world;
    D3DXMatrixScaling(&world, 10.0f, 10.0f, 10.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    sky->Draw();
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    if (!toon.GetEffect()) return;
    const D3DXCOLOR cyan(0.0f, 1.0f, 1.0f, 1.0f);
    toon.DrawSkinned(&slime, slimeWorld, &cyan);
    toon.DrawOutline(&slime, slimeWorld, &cyan);
  }

  void Draw2D() override {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    D3DXMATRIX at;
    D3DXMatrixTranslation(&at, 200.0f, 200.0f, 0.0f);
    graphics.DrawTexture(message, 0xFFFFFFFF, &at);
    D3DXMatrixTranslation(&at, 20.0f, 20.0f, 0.0f);
    graphics.DrawString("render_frame bench", 0xFFFFFFFF, &at);
  }

  CStaticMesh* sky = nullptr;
  std::vector<CStaticMesh*> models;
  std::shared_ptr<Korvex::CSkinMesh> slimeMesh;
  Korvex::CMeshObject slime;
  D3DXMATRIX slimeWorld;
  CTexture* message = nullptr;
};
