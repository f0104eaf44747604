// The drawing frame of a scene: clear to blue, the 3D pass into the toon
// effect's targets, the composite onto the back buffer, the 2D overlay and the fade.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "game_fixture.h"
#include "scene/Result.h"
#include "scene/SceneManager.h"

namespace scene_test {
namespace {

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};

// A scene that notes its slots in the order they are called and what render
// target 0 is during its 3D pass; its 3D pass covers the left half of the
// screen with half-transparent red, written without blending.
class ProbeScene : public CScene {
 public:
  ProbeScene() { camera = new CCamera(); }
  void DrawShadow() override { calls.push_back("shadow"); }
  void Draw3D() override {
    calls.push_back("3d");
    IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
    for (DWORD i = 0; i < 3; ++i) {
      IDirect3DSurface9* target = nullptr;
      device->GetRenderTarget(i, &target);
      targets[i] = target;
      if (target) target->Release();
    }
    const ScreenVertex quad[4] = {{0, 0, 0.5f, 1, kHalfRed},
                                  {640, 0, 0.5f, 1, kHalfRed},
                                  {0, 720, 0.5f, 1, kHalfRed},
                                  {640, 720, 0.5f, 1, kHalfRed}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
  }
  void Draw2D() override { calls.push_back("2d"); }

  static constexpr D3DCOLOR kHalfRed = 0x80FF0000;
  std::vector<std::string> calls;
  IDirect3DSurface9* targets[3] = {};
};

CScene* BuildProbe(int id) {
  return id == SCENE_RESULT ? static_cast<CScene*>(new ProbeScene()) : new SResult();
}

class FrameTest : public GameTest {};

TEST_F(FrameTest, AResultSceneShowsTheClearedTargetsAndTheFadeOverBlue) {
  WriteWhitePicture();
  CSceneManager::sceneBuilder = nullptr;
  Rgb fading = {}, idle = {};
  int alpha = 0;
  std::vector<uint32_t> colourTarget;
  RunGame(120, [&](int frame) {
    if (frame == 30) g_sceneManager->ChangeScene(SCENE_RESULT);
    if (frame == 87) {  // after the result scene's fifth frame: alpha 205
      alpha = g_sceneManager->fadeAlpha;
      fading = At(ReadBackBuffer(), 640, 360);
      SaveBackBuffer("result_fading.png");
    }
    if (frame == 119) idle = At(ReadBackBuffer(), 100, 600);
  });
  ASSERT_EQ(alpha, 205);
  // Cleared targets are almost transparent black (alpha 1): the blue shows through.
  EXPECT_TRUE(Near(fading, 205, 205, 255, 4)) << fading.r << "," << fading.g << "," << fading.b;
  EXPECT_TRUE(Near(idle, 0, 0, 254, 2)) << idle.r << "," << idle.g << "," << idle.b;
}

TEST_F(FrameTest, The3DPassLandsInTheToonTargetsAndReachesTheScreenThroughTheComposite) {
  WriteWhitePicture();
  CSceneManager::sceneBuilder = BuildProbe;
  std::vector<std::string> calls;
  IDirect3DSurface9* targets[3] = {};
  IDirect3DSurface9* expected[3] = {};
  Rgb left = {}, right = {};
  RunGame(120, [&](int frame) {
    if (frame == 30) g_sceneManager->ChangeScene(SCENE_RESULT);
    if (frame == 119) {
      auto* probe = static_cast<ProbeScene*>(g_sceneManager->current);
      calls.assign(probe->calls.end() - 3, probe->calls.end());
      std::copy(probe->targets, probe->targets + 3, targets);
      CToonShader& toon = CApplication::GetInstance().toonShader;
      expected[0] = toon.GetTargetA()->surface;
      expected[1] = toon.GetTargetB()->surface;
      expected[2] = toon.GetTargetC()->surface;
      const auto pixels = ReadBackBuffer();
      left = At(pixels, 320, 360);
      right = At(pixels, 960, 360);
      SaveBackBuffer("probe_frame.png");
    }
  });
  EXPECT_EQ(calls, std::vector<std::string>({"shadow", "3d", "2d"}));
  ASSERT_NE(expected[0], nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(targets[i], expected[i]) << "render target " << i;
  // Half-transparent red in the colour target, laid over blue by the composite:
  // drawn straight onto the back buffer it would be opaque red.
  EXPECT_TRUE(Near(left, 128, 0, 127, 4)) << left.r << "," << left.g << "," << left.b;
  EXPECT_TRUE(Near(right, 0, 0, 254, 2)) << right.r << "," << right.g << "," << right.b;
}

}  // namespace
}  // namespace scene_test
