// Milliseconds per drawing frame (CScene::Render) of a test scene at 1280 x 720
// on the machine's GL (llvmpipe here), and the same frame split into its
// passes: shadow pass, 3D pass, composite and 2D overlay. Each measurement
// waits until the GPU has finished what it was given, by reading one pixel back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "glomp/headless.h"
#include "render/MeshObject.h"
#include "render/ResourceCache.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"
#include "scene/Scene.h"
#include "scene/SceneManager.h"

namespace {

// A stretch of the game stage under the sky with the slime on the island, seen
// from above and behind; the models and the slime cast shadows; the start
// message and a line of text over it.
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
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DXMATRIX world;
    D3DXMatrixScaling(&world, 10.0f, 10.0f, 10.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    sky->Draw();
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    if (!toon.GetEffect()) return;
    for (size_t i = 0; i < models.size(); ++i) {
      world = ModelWorld(i);
      toon.GetEffect()->SetMatrix("mW", &world);
      toon.DrawStaticMesh(models[i]);
    }
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

BenchScene* g_scene = nullptr;
// One pixel of a surface copied into a 1 x 1 target of its format and read
// back: this returns only when everything drawn into that surface is finished.
struct PixelProbe {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  IDirect3DSurface9* target = nullptr;
  IDirect3DSurface9* copy = nullptr;
};
std::vector<PixelProbe> g_probes;

void WaitFor(IDirect3DSurface9* surface) {
  if (surface == nullptr) return;
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  D3DSURFACE_DESC desc;
  surface->GetDesc(&desc);
  PixelProbe* probe = nullptr;
  for (PixelProbe& p : g_probes) {
    if (p.format == desc.Format) probe = &p;
  }
  if (probe == nullptr) {
    PixelProbe made;
    made.format = desc.Format;
    device->CreateRenderTarget(1, 1, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &made.target,
                               nullptr);
    device->CreateOffscreenPlainSurface(1, 1, desc.Format, D3DPOOL_SYSTEMMEM, &made.copy,
                                        nullptr);
    g_probes.push_back(made);
    probe = &g_probes.back();
  }
  const RECT corner = {0, 0, 1, 1};
  device->StretchRect(surface, &corner, probe->target, nullptr, D3DTEXF_POINT);
  device->GetRenderTargetData(probe->target, probe->copy);
}

// Waits for the back buffer (the whole frame ends there).
void WaitForGpu() { WaitFor(CGraphicsDevice::GetInstance().backBuffer); }

void BM_RenderFrame(benchmark::State& state) {
  for (auto _ : state) {
    g_scene->Render();
    WaitForGpu();
  }
}
BENCHMARK(BM_RenderFrame)->Unit(benchmark::kMillisecond)->Iterations(40);

// The frame's passes one by one: everything before a pass runs untimed. A fixed
// number of frames keeps the run short (the untimed parts cost as much again).
enum class Pass { Shadow, Scene3D, Composite, Overlay2D };

void BeginFrame() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  graphics.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                         0xFF0000FF, 1.0f, 0);
  graphics.device->BeginScene();
  g_scene->camera->SetView(&g_scene->view, graphics.device);
  CApplication::GetInstance().toonShader.SetFrameParameters();
}

void RunPass(Pass pass) {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  CApplication& application = CApplication::GetInstance();
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  switch (pass) {
    case Pass::Shadow:
      g_scene->DrawShadow();
      break;
    case Pass::Scene3D:
      application.toonShader.SetShadowParameters(application.shadowMap);
      application.toonShader.BeginSceneTargets();
      g_scene->Draw3D();
      application.toonShader.EndSceneTargets();
      graphics.device->SetRenderTarget(0, graphics.backBuffer);
      graphics.device->SetDepthStencilSurface(graphics.depthSurface);
      break;
    case Pass::Composite:  // the edge pass and the two full-screen sprites
      application.edgeShader.DrawEdges(application.toonShader);
      graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
      graphics.DrawTexture(application.toonShader.GetTargetA(), 0xFFFFFFFF, &identity);
      graphics.DrawTexture(application.edgeShader.GetEdgeTarget(), 0xFFFFFFFF, &identity);
      graphics.sprite->End();
      break;
    case Pass::Overlay2D:  // the scene's overlay and the fade
      graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
      g_scene->Draw2D();
      g_sceneManager->DrawFade();
      graphics.sprite->End();
      break;
  }
}

// Waits for what the pass drew into: the shadow map, the three scene targets,
// or the back buffer.
void WaitForPassOutput(Pass pass) {
  CApplication& application = CApplication::GetInstance();
  switch (pass) {
    case Pass::Shadow:
      WaitFor(application.shadowMap.GetShadowTarget()->surface);
      break;
    case Pass::Scene3D:
      WaitFor(application.toonShader.GetTargetA()->surface);
      WaitFor(application.toonShader.GetTargetB()->surface);
      WaitFor(application.toonShader.GetTargetC()->surface);
      break;
    case Pass::Composite:
    case Pass::Overlay2D:
      WaitForGpu();
      break;
  }
}

void BM_Pass(benchmark::State& state, Pass pass) {
  for (auto _ : state) {
    state.PauseTiming();
    BeginFrame();
    for (Pass before : {Pass::Shadow, Pass::Scene3D, Pass::Composite}) WaitForPassOutput(before);
    state.ResumeTiming();
    RunPass(pass);
    WaitForPassOutput(pass);
    state.PauseTiming();
    CGraphicsDevice::GetInstance().device->EndScene();
    state.ResumeTiming();
  }
}
BENCHMARK_CAPTURE(BM_Pass, shadow, Pass::Shadow)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_CAPTURE(BM_Pass, scene3d, Pass::Scene3D)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_CAPTURE(BM_Pass, composite, Pass::Composite)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_CAPTURE(BM_Pass, overlay2d, Pass::Overlay2D)->Unit(benchmark::kMillisecond)->Iterations(40);

// The cost of the wait itself, to subtract from the numbers above.
void BM_WaitOnly(benchmark::State& state) {
  for (auto _ : state) WaitForGpu();
}
BENCHMARK(BM_WaitOnly)->Unit(benchmark::kMillisecond);

void SaveFrame(const char* path) {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DSurface9* copy = nullptr;
  graphics.device->CreateOffscreenPlainSurface(1280, 720, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                               &copy, nullptr);
  D3DLOCKED_RECT locked;
  if (copy && SUCCEEDED(graphics.device->GetRenderTargetData(graphics.backBuffer, copy)) &&
      SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
    std::vector<unsigned char> rgb(1280 * 720 * 3);
    for (int y = 0; y < 720; ++y) {
      const auto* row = static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch;
      for (int x = 0; x < 1280; ++x) {
        unsigned char* out = &rgb[(y * 1280 + x) * 3];
        out[0] = row[x * 4 + 2], out[1] = row[x * 4 + 1], out[2] = row[x * 4];
      }
    }
    copy->UnlockRect();
    glomp::headless::WritePngRgb(path, 1280, 720, rgb.data());
  }
  if (copy) copy->Release();
}

}  // namespace

int main(int argc, char** argv) {
  glomp::headless::Enable();
  glomp::headless::QueueAnswer(0, glomp::headless::Answer::No);  // windowed, 1280 x 720
  CApplication& application = CApplication::GetInstance();
  if (!application.Init(GetModuleHandleA(nullptr), 1280, 720)) {
    std::fprintf(stderr, "bench_render_frame: the game could not start\n");
    return 1;
  }
  // A frame of play: the start-up fade is over.
  g_sceneManager->fading = false;
  g_scene = new BenchScene();

  // --frame-png FILE: one frame of the bench scene as a picture, to look at.
  if (argc == 3 && std::string(argv[1]) == "--frame-png") {
    g_scene->Render();
    SaveFrame(argv[2]);
    argc = 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  delete g_scene;
  for (PixelProbe& probe : g_probes) {
    if (probe.copy) probe.copy->Release();
    if (probe.target) probe.target->Release();
  }
  application.Shutdown();
  return 0;
}
