#include "scene/LoadingScreen.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "render/Texture.h"

namespace {
constexpr char kLoadingPicture[] = "data/texture/message/loading_message.png";
constexpr float kLiftRate = 0.08f;         // one rise and fall every 2π / 0.08 ≈ 78.5 frames
constexpr float kLiftHeights = 1.5f;       // at most one and a half picture heights
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;
}  // namespace

CLoadingScreen::CLoadingScreen()
    : texture(g_resourceCache ? g_resourceCache->GetTexture(kLoadingPicture) : nullptr),
      counter(0) {}

void CLoadingScreen::Draw() {
  if (texture != nullptr && texture->texture != nullptr) {
    const CApplication& application = CApplication::GetInstance();
    CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
    const int width = texture->rect.right;
    const int height = texture->rect.bottom;
    const int sliceWidth = width / kSliceCount;
    for (int i = 0; i < kSliceCount; ++i) {
      const int t = counter - kSliceDelay * i;
      // Slices that have not started yet, and the sine's negative half, stay unlifted.
      const int lift = t < 0 ? 0 : static_cast<int>(Wave(kLiftHeights * height, kLiftRate, t));
      const int liftClamped = lift < 0 ? 0 : lift;
      const RECT source = {sliceWidth * i, 0, sliceWidth * (i + 1), height};
      graphics.DrawTextureStretched(texture,
                                    application.clientWidth - kMargin - width + sliceWidth * i,
                                    application.clientHeight - height - kMargin - liftClamped,
                                    sliceWidth, height + liftClamped, kOpaqueWhite, &source);
    }
  }
  ++counter;
}
