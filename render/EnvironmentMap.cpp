#include "render/EnvironmentMap.h"

#include "app/GraphicsDevice.h"
#include "render/EffectFile.h"

namespace {

constexpr char kEffectFile[] = "Shader/EnvironmentalMap.fx";
constexpr char kRampFile[] = "data/Texture/Toon.png";
constexpr char kCubeFile[] = "data/Texture/CubeMap.dds";

}  // namespace

CEnvironmentMap::CEnvironmentMap() : effect(nullptr), cubeTexture(nullptr) {}

CEnvironmentMap::~CEnvironmentMap() { Destroy(); }

bool CEnvironmentMap::Create() {
  ReleaseEffect(effect);
  effect = CreateEffectOrReport(kEffectFile);
  if (!effect) return false;
  rampTexture.LoadFromFile(kRampFile, false);
  if (cubeTexture) cubeTexture->Release();
  cubeTexture = nullptr;
  if (FAILED(D3DXCreateCubeTextureFromFileA(CGraphicsDevice::GetInstance().device, kCubeFile,
                                            &cubeTexture))) {
    cubeTexture = nullptr;
  }
  effect->SetTexture("CubeTex", cubeTexture);
  return true;
}

void CEnvironmentMap::Destroy() {
  ReleaseEffect(effect);
  if (cubeTexture) cubeTexture->Release();
  cubeTexture = nullptr;
  rampTexture.Release();
}
