#include "pictures.h"

#include <windows.h>
#include <d3dx9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "bench/bench_scene.h"
#include "glomp/headless.h"
#include "scene/SceneManager.h"
#include "support/headless_device.h"
#include "tools/stageshots/stage_shot_scene.h"

namespace pictures {
namespace {

// Stage pictures are taken at this frame of their scene: the moving blocks
// have set off, no spark has burst yet.
constexpr int kStageFrames = 3;

Pixels ReadFrame() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  Pixels pixels = glomp::test::ReadSurfacePixels(graphics.device, graphics.backBuffer);
  if (pixels.size() != std::size_t(kWidth) * kHeight) pixels.clear();
  return pixels;
}

int Luma(std::uint32_t p) {
  return (2 * int(p >> 16 & 255) + 5 * int(p >> 8 & 255) + int(p & 255)) / 8;
}

}  // namespace

bool StartGame() {
  glomp::headless::Enable();
  glomp::headless::QueueAnswer(0, glomp::headless::Answer::No);  // windowed, 1280 x 720
  if (!CApplication::GetInstance().Init(GetModuleHandleA(nullptr), kWidth, kHeight)) return false;
  g_sceneManager->fading = false;
  // Besides the full-screen question, only an effect that does not compile
  // asks anything: its message says why the pictures will be wrong.
  const auto boxes = glomp::headless::AskedBoxes();
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    std::fprintf(stderr, "%s: %s\n", boxes[i].caption.c_str(), boxes[i].text.c_str());
  }
  return true;
}

void StopGame() { CApplication::GetInstance().Shutdown(); }

Pixels Draw(const std::string& name) {
  if (name == "bench") {
    auto scene = std::make_unique<BenchScene>();
    scene->Render();
    return ReadFrame();
  }
  stageshots::ShotSetting setting;
  if (!stageshots::FindShotSetting(name, &setting)) return {};
  auto scene = std::make_unique<stageshots::StageShotScene>(setting);
  for (int frame = 0; frame < kStageFrames; ++frame) {
    scene->Update();
    scene->Render();
  }
  return ReadFrame();
}

std::filesystem::path ReferenceFolder() {
  return std::filesystem::path(GLOMP_SOURCE_DIR) / "tests" / "render" / "pictures" / "reference";
}

bool WritePng(const std::filesystem::path& path, const Pixels& pixels) {
  if (pixels.size() != std::size_t(kWidth) * kHeight) return false;
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[i * 3] = pixels[i] >> 16 & 255;
    rgb[i * 3 + 1] = pixels[i] >> 8 & 255;
    rgb[i * 3 + 2] = pixels[i] & 255;
  }
  return glomp::headless::WritePngRgb(path.string(), kWidth, kHeight, rgb.data());
}

Pixels ReadPng(const std::filesystem::path& path) {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  if (!device || FAILED(D3DXCreateTextureFromFileExA(
                     device, path.string().c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2,
                     1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                     D3DX_FILTER_NONE, 0, &info, nullptr, &texture))) {
    return {};
  }
  Pixels pixels;
  D3DLOCKED_RECT locked{};
  if (info.Width == UINT(kWidth) && info.Height == UINT(kHeight) &&
      SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    pixels.resize(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(
          static_cast<const BYTE*>(locked.pBits) + std::size_t(y) * locked.Pitch);
      std::copy(row, row + kWidth, pixels.begin() + std::size_t(y) * kWidth);
    }
    texture->UnlockRect(0);
  }
  texture->Release();
  return pixels;
}

double MeanDifference(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size() || a.empty()) return 255.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift : {16, 8, 0}) {
      sum += std::abs(int(a[i] >> shift & 255) - int(b[i] >> shift & 255));
    }
  }
  return sum / (3.0 * double(a.size()));
}

Features FindFeatures(const Pixels& pixels) {
  // A line is at least this much darker than both sides; a step is a change of
  // at least this much to the next pixel (levels of 0..255).
  constexpr int kLineMargin = 40;
  constexpr int kStepSize = 24;
  constexpr int kSide = 3;
  Features features;
  features.lines.assign(pixels.size(), false);
  features.steps.assign(pixels.size(), false);
  if (pixels.size() != std::size_t(kWidth) * kHeight) return features;
  std::vector<int> luma(pixels.size());
  std::transform(pixels.begin(), pixels.end(), luma.begin(), Luma);
  auto at = [&](int x, int y) { return luma[std::size_t(y) * kWidth + x]; };
  for (int y = kSide; y < kHeight - kSide; ++y) {
    for (int x = kSide; x < kWidth - kSide; ++x) {
      const int here = at(x, y);
      const std::size_t i = std::size_t(y) * kWidth + x;
      const bool acrossX = at(x - kSide, y) - here > kLineMargin && at(x + kSide, y) - here > kLineMargin;
      const bool acrossY = at(x, y - kSide) - here > kLineMargin && at(x, y + kSide) - here > kLineMargin;
      features.lines[i] = acrossX || acrossY;
      features.steps[i] =
          std::abs(at(x + 1, y) - here) >= kStepSize || std::abs(at(x, y + 1) - here) >= kStepSize;
    }
  }
  return features;
}

int Count(const std::vector<bool>& mask) {
  return static_cast<int>(std::count(mask.begin(), mask.end(), true));
}

double ShareFound(const std::vector<bool>& from, const std::vector<bool>& to) {
  if (from.size() != std::size_t(kWidth) * kHeight || to.size() != from.size()) return 0.0;
  int set = 0, found = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (!from[std::size_t(y) * kWidth + x]) continue;
      ++set;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) {
          const int nx = x + dx, ny = y + dy;
          near = nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight &&
                 to[std::size_t(ny) * kWidth + nx];
        }
      }
      if (near) ++found;
    }
  }
  return set == 0 ? 1.0 : double(found) / set;
}

}  // namespace pictures
