// CPU time of one title-scene Update: the stage objects (the flag and its
// sparks), the title slime (walk, hop, collision against the title stage, soft
// body, trails) and the camera and picture. Run in the build directory: the
// title stage and the slime model come from data/. The slime walks off the
// stage and starts again every few hundred frames, so the timing covers its
// whole round.
#include <benchmark/benchmark.h>


#include "app/GraphicsDevice.h"
#include "glomp/headless.h"
#include "render/ResourceCache.h"
#include "scene/SceneManager.h"
#include "scene/Title.h"

namespace {

struct TitleBench {
  IDirect3D9* d3d = nullptr;
  bool ready = false;

  TitleBench() {
    glomp::headless::Enable();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 1280;
    params.BackBufferHeight = 720;
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
    g_resourceCache = new CResourceCache;
    // The manager describes its scene to the stage objects and the characters.
    g_sceneManager = new CSceneManager;
    // The title as the loader thread would build it, already faded in.
    g_sceneManager->current = new STitle;
    g_sceneManager->currentId = SCENE_TITLE;
    g_sceneManager->fading = false;
    g_sceneManager->fadeAlpha = 0;
    ready = true;
  }

  ~TitleBench() {
    delete g_sceneManager;
    g_sceneManager = nullptr;
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    if (graphics.device) graphics.device->Release();
    graphics.device = nullptr;
    if (d3d) d3d->Release();
  }
};

void BM_TitleUpdate(benchmark::State& state) {
  TitleBench bench;
  if (!bench.ready) {
    state.SkipWithError("no headless device");
    return;
  }
  CScene* title = g_sceneManager->current;
  for (auto _ : state) {
    title->Update();
    // The scene's clock advances in its drawing; the bench draws nothing.
    title->CountFrame();
  }
}
BENCHMARK(BM_TitleUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
