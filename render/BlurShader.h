// The distortion effect ("Shader/BlurShader.fx"): redraws an image over a screen
// rectangle, each pixel displaced by a distortion texture.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include "render/Texture.h"

class CBlurShader {
 public:
  CBlurShader();
  ~CBlurShader();
  CBlurShader(const CBlurShader&) = delete;
  CBlurShader& operator=(const CBlurShader&) = delete;

  bool Create();
  void Destroy();

  // Draws the rectangle (screen pixels) into the bound render target with
  // "DisTech". When input is that render target itself, a copy of it is sampled.
  void DrawDistortion(const CTexture* input, const CTexture* distortion, float x, float y,
                      float width, float height, const D3DXVECTOR4& colour);

  ID3DXEffect* GetEffect() const { return effect; }

  ID3DXEffect* effect;

 private:
  // The input as it was before the pass draws over it; made on first need.
  CTexture inputCopy;
};
