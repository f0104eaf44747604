#include "render/BlurShader.h"

#include "app/GraphicsDevice.h"
#include "render/EffectFile.h"

namespace {

constexpr char kEffectFile[] = "Shader/BlurShader.fx";

D3DXVECTOR4 TexelSize(const CTexture* texture) {
  const float width = texture && texture->info.Width ? 1.0f / texture->info.Width : 0.0f;
  const float height = texture && texture->info.Height ? 1.0f / texture->info.Height : 0.0f;
  return D3DXVECTOR4(width, height, 0.0f, 0.0f);
}

}  // namespace

CBlurShader::CBlurShader() : effect(nullptr) {}

CBlurShader::~CBlurShader() { Destroy(); }

bool CBlurShader::Create() {
  ReleaseEffect(effect);
  effect = CreateEffectOrReport(kEffectFile);
  return effect != nullptr;
}

void CBlurShader::Destroy() {
  ReleaseEffect(effect);
  inputCopy.Release();
}

void CBlurShader::DrawDistortion(const CTexture* input, const CTexture* distortion, float x,
                                 float y, float width, float height,
                                 const D3DXVECTOR4& colour) {
  if (!effect) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DTexture9* source = input ? input->texture : nullptr;

  // Reading and writing one target in one pass is undefined: sample a copy instead.
  IDirect3DSurface9* boundTarget = nullptr;
  graphics.device->GetRenderTarget(0, &boundTarget);
  if (input && input->surface && boundTarget == input->surface) {
    D3DSURFACE_DESC desc = {};
    input->surface->GetDesc(&desc);
    D3DSURFACE_DESC copyDesc = {};
    if (inputCopy.surface) inputCopy.surface->GetDesc(&copyDesc);
    if (!inputCopy.surface || copyDesc.Width != desc.Width || copyDesc.Height != desc.Height ||
        copyDesc.Format != desc.Format) {
      inputCopy.Create(desc.Width, desc.Height, 1, D3DUSAGE_RENDERTARGET, desc.Format,
                       D3DPOOL_DEFAULT);
    }
    if (inputCopy.surface &&
        SUCCEEDED(graphics.device->StretchRect(input->surface, nullptr, inputCopy.surface,
                                               nullptr, D3DTEXF_POINT))) {
      source = inputCopy.texture;
    }
  }
  if (boundTarget) boundTarget->Release();

  effect->SetTexture("InputTex", source);
  effect->SetTexture("DisTex", distortion ? distortion->texture : nullptr);
  effect->SetVector("Color", &colour);
  const D3DXVECTOR4 inputTexel = TexelSize(input);
  const D3DXVECTOR4 distortionTexel = TexelSize(distortion);
  effect->SetVector("g_TexelSize", &inputTexel);
  effect->SetVector("g_disTexelSize", &distortionTexel);
  effect->SetTechnique("DisTech");
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  graphics.DrawScreenQuad(x, y, width, height, 1.0f, 1.0f);
  effect->EndPass();
  effect->End();
}
