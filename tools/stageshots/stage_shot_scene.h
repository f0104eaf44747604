// The shot scenes of stageshots, shared with the picture test that keeps their
// look: one stage drawn the way the game scene draws it (sky unlit, objects,
// sparks, water) from a fixed camera, and the named camera settings.
#pragma once
#include <d3dx9.h>

#include <string>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "render/ShadowMap.h"
#include "scene/Scene.h"
#include "stage/Stage.h"

namespace stageshots {

// A camera that looks from `eye` at `at`.
class LookCamera : public CCamera {
 public:
  LookCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& at) : eye(eye), at(at) {}
  void Update() override {
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixInverse(&world, nullptr, &view);
  }
  D3DXVECTOR3 eye, at;
};

// Which stage and camera a shot scene gets, and what happens in it.
struct ShotSetting {
  int stageFile = STAGE_FILE_GAME;
  D3DXVECTOR3 eye, at;
  bool reachCheckpoints = false;  // sets the moving blocks going
  int burstAtFrame = -1;          // 100 sparks at the first flag or checkpoint
};
// Draws one stage the way the game scene does.
class StageShotScene : public CScene {
 public:
  explicit StageShotScene(const ShotSetting& setting) : setting(setting) {
    camera = new LookCamera(setting.eye, setting.at);
    camera->Update();
    stage = new CStage(setting.stageFile);
  }
  void Update() override {
    if (setting.reachCheckpoints) {
      for (MapObjectStruct* object : stage->objects->Objects()) {
        if (object->kind == MAP_OBJECT_CHECKPOINT) object->state = true;
      }
    }
    if (frameCount == setting.burstAtFrame) {
      for (MapObjectStruct* object : stage->objects->Objects()) {
        if (object->kind == MAP_OBJECT_FLAG || object->kind == MAP_OBJECT_CHECKPOINT) {
          for (int i = 0; i < 100; ++i) stage->AddEffect(object->world);
          break;
        }
      }
    }
    stage->Update();
    camera->Update();
  }
  void DrawShadow() override {
    CShadowMap& shadowMap = CApplication::GetInstance().shadowMap;
    D3DLIGHT9 light;
    CGraphicsDevice::GetInstance().GetLight(&light, 0);
    const D3DXVECTOR3 focus(camera->world._41, camera->world._42, camera->world._43);
    const D3DXVECTOR3 direction(light.Direction.x, light.Direction.y, light.Direction.z);
    const D3DXVECTOR3 eye = focus - 50.0f * direction;
    shadowMap.BeginShadowPass(&eye);
    stage->DrawShadows();
    shadowMap.EndShadowPass();
  }
  void Draw3D() override {
    IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    stage->DrawObjects();  // and the sky behind them
    stage->objects->DrawWater();
    CountFrame();
  }

  ShotSetting setting;
};

// The game's fixed camera poses: eye and forward direction of the start
// camera's first pose, its overview (the clear camera's first pose), and the
// clear camera's middle and final poses.
struct FixedPose {
  const char* name;
  D3DXVECTOR3 eye, forward;
};
inline const FixedPose kFixedPoses[] = {
    {"start", {6.7f, 2.2f, 145.0f}, {-0.98f, -0.17f, 0.00f}},
    {"overview", {-126.5f, 114.8f, 128.5f}, {-0.99f, 0.11f, 0.00f}},
    {"clear-middle", {-120.8f, 71.5f, 127.0f}, {-0.89f, -0.45f, 0.00f}},
    {"clear-final", {-77.0f, 14.6f, 137.3f}, {-0.57f, -0.52f, -0.64f}},
};

inline const FixedPose* FindFixedPose(const std::string& name) {
  for (const FixedPose& pose : kFixedPoses) {
    if (name == pose.name) return &pose;
  }
  return nullptr;
}

// The setting called `name` (title, game, checkpoint or a fixed pose); false for
// an unknown name.
inline bool FindShotSetting(const std::string& name, ShotSetting* setting) {
  *setting = ShotSetting();
  if (name == "title") {
    setting->stageFile = STAGE_FILE_TITLE;
    setting->eye = D3DXVECTOR3(0.0f, 0.26f, -1.79f);
    setting->at = D3DXVECTOR3(0.0f, 0.1f, 0.0f);
    setting->burstAtFrame = 40;
  } else if (name == "game") {
    setting->stageFile = STAGE_FILE_GAME;
    setting->eye = D3DXVECTOR3(12, 22, 172);
    setting->at = D3DXVECTOR3(-60, 20, 140);
    setting->reachCheckpoints = true;
    setting->burstAtFrame = 60;
  } else if (name == "checkpoint") {
    // Close to the first checkpoint of the game stage, which bursts at frame 30.
    setting->stageFile = STAGE_FILE_GAME;
    setting->eye = D3DXVECTOR3(-47, 19, 156);
    setting->at = D3DXVECTOR3(-57, 16, 145);
    setting->reachCheckpoints = true;
    setting->burstAtFrame = 30;
  } else if (const FixedPose* pose = FindFixedPose(name)) {
    setting->stageFile = STAGE_FILE_GAME;
    setting->eye = pose->eye;
    setting->at = pose->eye + 10.0f * pose->forward;
    setting->reachCheckpoints = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace stageshots
