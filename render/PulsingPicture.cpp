#include "render/PulsingPicture.h"

#include "app/GraphicsDevice.h"
#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "render/Texture.h"

namespace {
constexpr float kPulseAmplitude = 1.5f;
constexpr float kPulseRate = 0.08f;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;
}  // namespace

CPulsingPicture::CPulsingPicture(const char* fileName)
    : texture(g_resourceCache ? g_resourceCache->GetTexture(fileName) : nullptr),
      scaleY(1.0f),
      x(0.0f),
      y(0.0f),
      z(0.0f) {
  D3DXMatrixIdentity(&transform);
}

int CPulsingPicture::Width() const { return texture ? texture->rect.right : 0; }

int CPulsingPicture::Height() const { return texture ? texture->rect.bottom : 0; }

void CPulsingPicture::Update() {
  // Most of each cycle the sine is below 1 and the picture stays as it is.
  scaleY = Wave(kPulseAmplitude, kPulseRate, -1);
  if (scaleY < 1.0f) scaleY = 1.0f;
}

void CPulsingPicture::Draw() {
  const float height = texture ? static_cast<float>(texture->rect.bottom) : -1.0f;
  D3DXMatrixScaling(&transform, 1.0f, scaleY, 1.0f);
  transform._41 = x;
  transform._42 = y - height * scaleY * 0.5f;
  transform._43 = z;
  CGraphicsDevice::GetInstance().DrawTexture(texture, kOpaqueWhite, &transform);
}
