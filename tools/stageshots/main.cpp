// stageshots — one stage through the game's drawing frame, headless: the real
// application runs with a scene that shows the stage from a fixed camera the way
// the game scene draws it (sky and paths unlit, objects, sparks, water), and the
// back buffer of chosen frames is written as PNG files.
//
//   stageshots title|game|checkpoint|start|overview|clear-middle|clear-final DIR FRAME [FRAME ...]
//
// start, overview, clear-middle and clear-final look from the game's fixed camera
// poses at the game stage.
//
// FRAME counts the program's frames (loading and fade-in included); the bursts
// below count the scene's own frames. On the title stage the flag bursts into
// sparks at scene frame 40; on the game stage every checkpoint counts as
// reached, so the moving blocks run and show their paths, and the first
// checkpoint bursts at scene frame 60 ("checkpoint": seen from close by, at 30).
// Besides each picture, the frame's colour target (the 3D pass before the edge
// overlay) is written as NAME_target0.png.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "glomp/headless.h"
#include "render/ShadowMap.h"
#include "render/ToonShader.h"
#include "scene/Scene.h"
#include "scene/SceneManager.h"
#include "stage/Stage.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

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

// Which stage and camera the next scene gets, and what happens in it.
struct ShotSetting {
  int stageFile = STAGE_FILE_GAME;
  D3DXVECTOR3 eye, at;
  bool reachCheckpoints = false;  // sets the moving blocks going
  int burstAtFrame = -1;          // 100 sparks at the first flag or checkpoint
};
ShotSetting setting;

// Draws one stage the way the game scene does.
class StageShotScene : public CScene {
 public:
  StageShotScene() {
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
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    stage->DrawSky();
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    stage->DrawObjects();
    stage->objects->DrawWater();
    CountFrame();
  }
};

constexpr int kSceneFrameWidth = kWidth;

// The back buffer, or another render target of the frame's size.
std::vector<std::uint32_t> ReadBackBuffer(IDirect3DSurface9* surface = nullptr) {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (!surface) surface = graphics.backBuffer;
  std::vector<std::uint32_t> pixels;
  IDirect3DSurface9* copy = nullptr;
  if (surface &&
      SUCCEEDED(graphics.device->CreateOffscreenPlainSurface(
          kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
      SUCCEEDED(graphics.device->GetRenderTargetData(surface, copy))) {
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
      pixels.resize(std::size_t(kWidth) * kHeight);
      for (int y = 0; y < kHeight; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const BYTE*>(locked.pBits) + std::size_t(y) * locked.Pitch);
        std::copy(row, row + kWidth, pixels.begin() + std::size_t(y) * kWidth);
      }
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  return pixels;
}

bool Save(const std::vector<std::uint32_t>& pixels, const std::string& path) {
  if (pixels.size() != std::size_t(kSceneFrameWidth) * kHeight) return false;
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[i * 3] = (pixels[i] >> 16) & 255;
    rgb[i * 3 + 1] = (pixels[i] >> 8) & 255;
    rgb[i * 3 + 2] = pixels[i] & 255;
  }
  return glomp::headless::WritePngRgb(path, kWidth, kHeight, rgb.data());
}

// The game's fixed camera poses: eye and forward direction of the start
// camera's first pose, its overview (the clear camera's first pose), and the
// clear camera's middle and final poses.
struct FixedPose {
  const char* name;
  D3DXVECTOR3 eye, forward;
};
const FixedPose kFixedPoses[] = {
    {"start", {6.7f, 2.2f, 145.0f}, {-0.98f, -0.17f, 0.00f}},
    {"overview", {-126.5f, 114.8f, 128.5f}, {-0.99f, 0.11f, 0.00f}},
    {"clear-middle", {-120.8f, 71.5f, 127.0f}, {-0.89f, -0.45f, 0.00f}},
    {"clear-final", {-77.0f, 14.6f, 137.3f}, {-0.57f, -0.52f, -0.64f}},
};

const FixedPose* FindFixedPose(const std::string& name) {
  for (const FixedPose& pose : kFixedPoses) {
    if (name == pose.name) return &pose;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: stageshots title|game|checkpoint|start|overview|clear-middle|clear-final DIR FRAME [FRAME ...]\n");
    return 2;
  }
  const std::string which = argv[1];
  const std::filesystem::path folder = argv[2];
  std::set<int> shots;
  for (int i = 3; i < argc; ++i) shots.insert(std::atoi(argv[i]));
  if (which == "title") {
    setting.stageFile = STAGE_FILE_TITLE;
    setting.eye = D3DXVECTOR3(0.0f, 0.26f, -1.79f);
    setting.at = D3DXVECTOR3(0.0f, 0.1f, 0.0f);
    setting.burstAtFrame = 40;
  } else if (which == "game") {
    setting.stageFile = STAGE_FILE_GAME;
    setting.eye = D3DXVECTOR3(12, 22, 172);
    setting.at = D3DXVECTOR3(-60, 20, 140);
    setting.reachCheckpoints = true;
    setting.burstAtFrame = 60;
  } else if (which == "checkpoint") {
    // Close to the first checkpoint of the game stage, which bursts at frame 30.
    setting.stageFile = STAGE_FILE_GAME;
    setting.eye = D3DXVECTOR3(-47, 19, 156);
    setting.at = D3DXVECTOR3(-57, 16, 145);
    setting.reachCheckpoints = true;
    setting.burstAtFrame = 30;
  } else if (const FixedPose* pose = FindFixedPose(which)) {
    setting.stageFile = STAGE_FILE_GAME;
    setting.eye = pose->eye;
    setting.at = pose->eye + 10.0f * pose->forward;
    setting.reachCheckpoints = true;
  } else {
    std::fprintf(stderr, "stageshots: no stage or pose called %s\n", which.c_str());
    return 2;
  }
  std::filesystem::create_directories(folder);

  glomp::headless::Enable();
  CSceneManager::sceneBuilder = [](int) -> CScene* { return new StageShotScene; };
  const int last = *shots.rbegin();
  int failures = 0;
  glomp::headless::QueueAnswer(0, glomp::headless::Answer::No);  // windowed
  glomp::headless::SetFrameHook([&](int frame) {
    // Frame f's picture is complete when frame f + 1 starts.
    if (shots.count(frame - 1)) {
      const std::string path =
          (folder / (which + "_" + std::to_string(frame - 1) + ".png")).string();
      const std::string colourPath =
          (folder / (which + "_" + std::to_string(frame - 1) + "_target0.png")).string();
      if (Save(ReadBackBuffer(), path) &&
          Save(ReadBackBuffer(CApplication::GetInstance().toonShader.targetA.surface),
               colourPath)) {
        const CScene* scene = g_sceneManager ? g_sceneManager->current : nullptr;
        std::printf("%s (scene frame %d, %zu sparks)\n", path.c_str(),
                    scene ? scene->frameCount : -1,
                    scene && scene->stage ? scene->stage->effects.size() : 0);
      } else {
        ++failures;
      }
    }
    if (frame == last + 1) {
      glomp::headless::ClearAnswers();
      glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(), glomp::headless::Answer::Yes);
      PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
    }
  });
  WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  return failures ? 1 : 0;
}
