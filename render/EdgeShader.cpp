#include "render/EdgeShader.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "render/EffectFile.h"
#include "render/ToonShader.h"

namespace {

constexpr char kEffectFile[] = "Shader/EdgeShader.fx";

}  // namespace

CEdgeShader::CEdgeShader() : effect(nullptr) {}

CEdgeShader::~CEdgeShader() { Destroy(); }

bool CEdgeShader::Create() {
  ReleaseEffect(effect);
  effect = CreateEffectOrReport(kEffectFile);
  if (!effect) return false;
  const CApplication& application = CApplication::GetInstance();
  edgeTarget.Create(static_cast<UINT>(application.clientWidth),
                    static_cast<UINT>(application.clientHeight), 1, D3DUSAGE_RENDERTARGET,
                    D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  // A fresh target holds nothing to lay over the picture until the first pass.
  if (edgeTarget.surface) {
    CGraphicsDevice::GetInstance().device->ColorFill(edgeTarget.surface, nullptr, 0x00000000);
  }
  return true;
}

void CEdgeShader::Destroy() {
  ReleaseEffect(effect);
  edgeTarget.Release();
}

void CEdgeShader::SetInputs(CToonShader& toonShader, const CTexture& size) {
  const D3DXVECTOR4 texel(1.0f / size.info.Width, 1.0f / size.info.Height, 0.0f, 0.0f);
  effect->SetTexture("NormalTex", toonShader.GetTargetB()->texture);
  effect->SetTexture("DepthTex", toonShader.GetTargetC()->texture);
  effect->SetVector("g_TexelSize", &texel);
}

void CEdgeShader::DrawFullScreen(const char* technique, UINT width, UINT height) {
  effect->SetTechnique(technique);
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  CGraphicsDevice::GetInstance().DrawScreenQuad(0.0f, 0.0f, static_cast<float>(width),
                                                static_cast<float>(height), 1.0f, 1.0f);
  effect->EndPass();
  effect->End();
}

bool CEdgeShader::DrawComposite(CToonShader& toonShader) {
  const CTexture* colour = toonShader.GetTargetA();
  if (!effect || !colour->texture || !toonShader.GetTargetB()->texture ||
      !toonShader.GetTargetC()->texture) {
    return false;
  }
  SetInputs(toonShader, *colour);
  effect->SetTexture("ColorTex", colour->texture);
  DrawFullScreen("CompositeTech", colour->info.Width, colour->info.Height);
  return true;
}

void CEdgeShader::DrawEdges(CToonShader& toonShader) {
  if (!effect || !edgeTarget.surface) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DDevice9* device = graphics.device;
  edgeTarget.SetAsRenderTarget(0);
  const CTexture* normals = toonShader.GetTargetB();
  const CTexture* depths = toonShader.GetTargetC();
  if (!normals->texture || !depths->texture) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
  } else {
    // The pass writes every pixel of the target (no blending), so it needs no clear.
    SetInputs(toonShader, edgeTarget);
    DrawFullScreen("EdgeTech", edgeTarget.info.Width, edgeTarget.info.Height);
  }
  device->SetRenderTarget(0, graphics.backBuffer);
}
