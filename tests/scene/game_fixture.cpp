#include "game_fixture.h"

#include <cstdlib>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "glomp/headless.h"
#include "scene/SceneManager.h"

namespace scene_test {

namespace fs = std::filesystem;

namespace {

void WriteSolidPng(const fs::path& path, int width, int height, Rgb colour) {
  fs::create_directories(path.parent_path());
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = static_cast<unsigned char>(colour.r);
    rgb[i + 1] = static_cast<unsigned char>(colour.g);
    rgb[i + 2] = static_cast<unsigned char>(colour.b);
  }
  ASSERT_TRUE(glomp::headless::WritePngRgb(path.string(), width, height, rgb.data()));
}

}  // namespace

void GameTest::SetUp() {
  glomp::headless::Enable();
  glomp::headless::Reset();
  previousDirectory = fs::current_path();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  scratch = fs::path(::testing::TempDir()) / "scene_test" / info->name();
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  // The effect files of the build, when there are any, so the frame draws as the game does.
  if (fs::exists(previousDirectory / "Shader")) {
    fs::create_directory_symlink(previousDirectory / "Shader", scratch / "Shader");
  }
  fs::current_path(scratch);
}

void GameTest::TearDown() {
  HWND window = CApplication::GetInstance().window;
  if (IsWindow(window)) DestroyWindow(window);
  UnregisterClassA("Window", nullptr);
  CGraphicsDevice::GetInstance().Release();
  glomp::headless::Reset();
  CSceneManager::sceneBuilder = nullptr;
  fs::current_path(previousDirectory);
}

void GameTest::WriteWhitePicture() {
  WriteSolidPng(scratch / "data/texture/white.png", 8, 8, {255, 255, 255});
}

void GameTest::WriteLoadingPicture() {
  WriteSolidPng(scratch / "data/texture/message/loading_message.png", kLoadingWidth,
                kLoadingHeight, kLoadingColour);
}

int GameTest::RunGame(int frames, const std::function<void(int)>& atFrame) {
  glomp::headless::QueueAnswer(0, glomp::headless::Answer::No);  // windowed
  glomp::headless::SetFrameHook([&, frames](int frame) {
    if (atFrame) atFrame(frame);
    if (frame == frames) {
      glomp::headless::ClearAnswers();
      glomp::headless::QueueAnswer(glomp::headless::CurrentFrame(),
                                   glomp::headless::Answer::Yes);
      PostMessageA(CApplication::GetInstance().window, WM_CLOSE, 0, 0);
    }
  });
  return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}

std::vector<uint32_t> GameTest::ReadBackBuffer() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  std::vector<uint32_t> pixels;
  D3DSURFACE_DESC desc;
  if (graphics.backBuffer == nullptr || FAILED(graphics.backBuffer->GetDesc(&desc))) return pixels;
  IDirect3DSurface9* copy = nullptr;
  if (SUCCEEDED(graphics.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                             D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
      SUCCEEDED(graphics.device->GetRenderTargetData(graphics.backBuffer, copy))) {
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
      pixels.resize(size_t{desc.Width} * desc.Height);
      for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                            size_t{y} * locked.Pitch);
        std::copy(row, row + desc.Width, pixels.begin() + size_t{y} * desc.Width);
      }
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  return pixels;
}

Rgb GameTest::At(const std::vector<uint32_t>& pixels, int x, int y) {
  const uint32_t c = pixels.at(static_cast<size_t>(y) * 1280 + x);
  return {int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255)};
}

void GameTest::SaveBackBuffer(const std::string& name) {
  const std::vector<uint32_t> pixels = ReadBackBuffer();
  if (pixels.size() != 1280u * 720u) return;
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgb[i * 3] = (pixels[i] >> 16) & 255;
    rgb[i * 3 + 1] = (pixels[i] >> 8) & 255;
    rgb[i * 3 + 2] = pixels[i] & 255;
  }
  const fs::path folder = scratch.parent_path() / "shots";
  fs::create_directories(folder);
  glomp::headless::WritePngRgb((folder / name).string(), 1280, 720, rgb.data());
}

bool Near(const Rgb& pixel, int r, int g, int b, int tolerance) {
  return std::abs(pixel.r - r) <= tolerance && std::abs(pixel.g - g) <= tolerance &&
         std::abs(pixel.b - b) <= tolerance;
}

}  // namespace scene_test
