// Milliseconds per drawing frame (CScene::Render) of a test scene at 1280 x 720
// on the machine's GL (llvmpipe here), and the same frame split into its
// passes: shadow pass, 3D pass, composite and 2D overlay. Each measurement
// waits until the GPU has finished what it was given, by reading one pixel back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "bench/bench_scene.h"
#include "camera/Camera.h"
#include "glomp/headless.h"
#include "scene/SceneManager.h"

namespace {

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
// Every frame is one repetition, and the median of them is the figure to
// quote: a shared machine's slow frames move the mean, not the median.
constexpr int kFrames = 40;
void EachFrameOnce(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);
}
BENCHMARK(BM_RenderFrame)->Apply(EachFrameOnce);

// The frame's passes one by one: everything before a pass runs untimed. A fixed
// number of frames keeps the run short (the untimed parts cost as much again).
// Their medians are also printed as shares of the whole frame's median.
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
    case Pass::Composite:  // the colour target and the edges over it, as the frame draws them
      graphics.sprite->Begin(D3DXSPRITE_ALPHABLEND);
      CScene::DrawComposite();
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
BENCHMARK_CAPTURE(BM_Pass, shadow, Pass::Shadow)->Apply(EachFrameOnce);
BENCHMARK_CAPTURE(BM_Pass, scene3d, Pass::Scene3D)->Apply(EachFrameOnce);
BENCHMARK_CAPTURE(BM_Pass, composite, Pass::Composite)->Apply(EachFrameOnce);
BENCHMARK_CAPTURE(BM_Pass, overlay2d, Pass::Overlay2D)->Apply(EachFrameOnce);

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

// The console report, then each pass's median as a share of the frame's median
// and the frame's distance from the game's 16 ms pace.
class ShareReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians.emplace_back(run.run_name.function_name,
                             run.GetAdjustedRealTime());
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double frame = 0.0;
    for (const auto& [name, ms] : medians) {
      if (name.rfind("BM_RenderFrame", 0) == 0) frame = ms;
    }
    if (frame <= 0.0) return;
    std::printf("\nframe median %.2f ms, %+.2f ms from the 16 ms pace\n", frame, frame - 16.0);
    for (const auto& [name, ms] : medians) {
      if (name.rfind("BM_Pass", 0) == 0)
        std::printf("  %-12s %7.2f ms  %5.1f %%\n", name.substr(name.find('/') + 1).c_str(), ms,
                    100.0 * ms / frame);
    }
  }
  std::vector<std::pair<std::string, double>> medians;
};

}  // namespace

int main(int argc, char** argv) {
  glomp::headless::Enable();
  glomp::headless::QueueAnswer(0, glomp::headless::Answer::No);  // windowed, 1280 x 720
  CApplication& application = CApplication::GetInstance();
  if (!application.Init(GetModuleHandleA(nullptr), 1280, 720)) {
    std::fprintf(stderr, "bench_render_frame: the game could not start\n");
    return 1;
  }
  // Only an effect that does not compile asks anything after the full-screen
  // question; the figures would measure a frame without it.
  const auto boxes = glomp::headless::AskedBoxes();
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    std::fprintf(stderr, "bench_render_frame: %s: %s\n", boxes[i].caption.c_str(),
                 boxes[i].text.c_str());
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
  ShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  delete g_scene;
  for (PixelProbe& probe : g_probes) {
    if (probe.copy) probe.copy->Release();
    if (probe.target) probe.target->Release();
  }
  application.Shutdown();
  return 0;
}
