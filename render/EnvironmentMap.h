// The environment-map effect ("Shader/EnvironmentalMap.fx") with its toon ramp and
// cube texture. Made at start-up and released at shutdown; nothing draws with it yet.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include "render/Texture.h"

class CEnvironmentMap {
 public:
  CEnvironmentMap();
  ~CEnvironmentMap();
  CEnvironmentMap(const CEnvironmentMap&) = delete;
  CEnvironmentMap& operator=(const CEnvironmentMap&) = delete;

  bool Create();
  void Destroy();

  ID3DXEffect* GetEffect() const { return effect; }

  ID3DXEffect* effect;
  CTexture rampTexture;
  IDirect3DCubeTexture9* cubeTexture;
};
