// Milliseconds of the game's drawing passes at 1280 x 720 on the machine's GL
// (llvmpipe on the team's machines): the shadow pass, the 3D pass into the three
// scene targets, the edge pass and the sprite composite, each finished by reading
// the back buffer back (BM_SyncOnly is that read alone). Run in the build
// directory: it draws the game's own content from data/ with the effects in Shader/.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "glomp/headless.h"
#include "render/MeshObject.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"
#include "scene/Scene.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// The device, the effects and a small stage: the slime on an island.
struct Bench {
  IDirect3D9* d3d = nullptr;
  IDirect3DSurface9* readback = nullptr;
  CStaticMesh island;
  std::shared_ptr<Korvex::CSkinMesh> slimeMesh;
  Korvex::CMeshObject slime;
  D3DXMATRIX slimeWorld;
  bool ready = false;

  Bench() {
    glomp::headless::Enable();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = kWidth;
    params.BackBufferHeight = kHeight;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
                                 &params, &graphics.device)))
      return;
    graphics.device->GetRenderTarget(0, &graphics.backBuffer);
    graphics.device->GetDepthStencilSurface(&graphics.depthSurface);
    D3DXCreateSprite(graphics.device, &graphics.sprite);
    graphics.SetDefaultStates();
    const D3DXVECTOR3 direction(-1, -1, 1);
    const D3DXCOLOR diffuse(0.8f, 0.8f, 0.8f, 1), ambient(0.6f, 0.6f, 0.6f, 0), white(1, 1, 1, 0);
    graphics.SetDirectionalLight(0, &direction, &diffuse, &ambient, &white);
    graphics.device->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8,
                                                 D3DPOOL_SYSTEMMEM, &readback, nullptr);

    CApplication& application = CApplication::GetInstance();
    application.clientWidth = kWidth;
    application.clientHeight = kHeight;
    ready = application.toonShader.Create() && application.shadowMap.Create() &&
            application.edgeShader.Create();
    ready = ready && island.Load(graphics.device, "data/model/Map/island.x");
    slimeMesh = std::make_shared<Korvex::CSkinMesh>();
    ready = ready && slimeMesh->Load("data/model/Character/Player/slime9.x") &&
            slime.Init(slimeMesh);
    D3DXMatrixTranslation(&slimeWorld, 0, 1, 0);
    slime.Update(slimeWorld);

    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 8, -14), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, float(kWidth) / kHeight, 0.01f, 2000);
    graphics.device->SetTransform(D3DTS_VIEW, &view);
    graphics.device->SetTransform(D3DTS_PROJECTION, &projection);
  }

  // Waits for the drawing so far by reading the back buffer back.
  void Sync() {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    graphics.device->GetRenderTargetData(graphics.backBuffer, readback);
  }

  void ShadowPass() {
    CApplication& application = CApplication::GetInstance();
    const D3DXVECTOR3 eye = D3DXVECTOR3(0, 1, 0) - 50.0f * D3DXVECTOR3(-0.577f, -0.577f, 0.577f);
    application.shadowMap.BeginShadowPass(&eye);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    application.shadowMap.GetEffect()->SetMatrix("mW", &identity);
    application.shadowMap.DrawStaticMesh(&island);
    application.shadowMap.DrawSkinned(&slime, slimeWorld);
    application.shadowMap.EndShadowPass();
  }

  void ScenePass() {
    CApplication& application = CApplication::GetInstance();
    CToonShader& toon = application.toonShader;
    toon.SetFrameParameters();
    toon.SetShadowParameters(application.shadowMap);
    toon.BeginSceneTargets();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    toon.GetEffect()->SetMatrix("mW", &identity);
    toon.DrawStaticMesh(&island);
    const D3DXCOLOR cyan(0, 1, 1, 1);
    toon.DrawSkinned(&slime, slimeWorld, &cyan);
    toon.DrawOutline(&slime, slimeWorld, &cyan);
    toon.EndSceneTargets();
  }

  void EdgePass() {
    CApplication& application = CApplication::GetInstance();
    application.edgeShader.DrawEdges(application.toonShader);
  }

  void Composite() {
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    // As the frame draws it: the colour target with the edges over it, one pass.
    graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
    CScene::DrawComposite();
    graphics.sprite->End();
  }
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

template <typename Pass>
void Run(benchmark::State& state, Pass pass) {
  Bench& bench = TheBench();
  if (!bench.ready) {
    state.SkipWithError("no device, effects or content (run in the build directory)");
    return;
  }
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  for (auto _ : state) {
    device->BeginScene();
    pass(bench);
    device->EndScene();
    bench.Sync();
  }
  state.SetLabel("ms per pass incl. one read-back");
}

void BM_SyncOnly(benchmark::State& state) { Run(state, [](Bench&) {}); }
void BM_ShadowPass(benchmark::State& state) { Run(state, [](Bench& b) { b.ShadowPass(); }); }
void BM_ScenePass(benchmark::State& state) { Run(state, [](Bench& b) { b.ScenePass(); }); }
void BM_EdgePass(benchmark::State& state) { Run(state, [](Bench& b) { b.EdgePass(); }); }
void BM_Composite(benchmark::State& state) { Run(state, [](Bench& b) { b.Composite(); }); }
void BM_WholeFrame(benchmark::State& state) {
  Run(state, [](Bench& b) {
    b.ShadowPass();
    b.ScenePass();
    b.Composite();
  });
}

BENCHMARK(BM_SyncOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShadowPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScenePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Composite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
