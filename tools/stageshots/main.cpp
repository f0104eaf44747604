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
#include "glomp/headless.h"
#include "render/ToonShader.h"
#include "scene/SceneManager.h"
#include "stage/Stage.h"
#include "tools/stageshots/stage_shot_scene.h"

namespace {

using namespace stageshots;

namespace fs = std::filesystem;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

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
  static ShotSetting setting;  // what the scene builder below hands the scene
  if (!FindShotSetting(which, &setting)) {
    std::fprintf(stderr, "stageshots: no stage or pose called %s\n", which.c_str());
    return 2;
  }
  std::filesystem::create_directories(folder);

  glomp::headless::Enable();
  CSceneManager::sceneBuilder = [](int) -> CScene* { return new StageShotScene(setting); };
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
