#include "render/ToonShader.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "render/EffectFile.h"
#include "render/ShadowMap.h"
#include "render/SkinDraw.h"

namespace {

constexpr char kEffectFile[] = "Shader/Sample.fx";
constexpr char kToonFile[] = "data/texture/shader/Toon.png";
constexpr D3DCOLOR kClearColour = 0x01000000;
constexpr D3DCOLOR kDepthClearColour = 0x01010101;

IDirect3DDevice9* Device() { return CGraphicsDevice::GetInstance().device; }

D3DXMATRIX Identity() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  return identity;
}

}  // namespace

D3DXCOLOR Grey(const D3DXCOLOR& colour) {
  if (colour.r == colour.g && colour.g == colour.b) return colour;
  const float grey = (306.0f * colour.r + 601.0f * colour.g + 117.0f * colour.b) / 1024.0f;
  return D3DXCOLOR(grey, grey, grey, colour.a);
}

CToonShader::CToonShader() : effect(nullptr) {}

CToonShader::~CToonShader() { Destroy(); }

bool CToonShader::Create() {
  Destroy();
  effect = CreateEffectOrReport(kEffectFile);
  if (!effect) return false;

  whiteTexture.Create(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  whiteTexture.Fill(0xFFFFFFFF, 0);
  if (toonTexture.LoadFromFile(kToonFile, false)) {
    effect->SetTexture("ToonTex", toonTexture.texture);
  }
  const CApplication& application = CApplication::GetInstance();
  const UINT width = static_cast<UINT>(application.clientWidth);
  const UINT height = static_cast<UINT>(application.clientHeight);
  targetA.Create(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  targetB.Create(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  targetC.Create(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT);
  return true;
}

void CToonShader::Destroy() {
  ReleaseEffect(effect);
  whiteTexture.Release();
  toonTexture.Release();
  targetB.Release();
  targetA.Release();
  targetC.Release();
}

void CToonShader::SetFrameParameters() {
  if (!effect) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  D3DXMATRIX view, projection, inverseView;
  graphics.device->GetTransform(D3DTS_VIEW, &view);
  graphics.device->GetTransform(D3DTS_PROJECTION, &projection);
  if (!D3DXMatrixInverse(&inverseView, nullptr, &view)) inverseView = Identity();
  const D3DXVECTOR3 cameraPosition(inverseView._41, inverseView._42, inverseView._43);
  D3DLIGHT9 light = {};
  graphics.GetLight(&light, 0);

  effect->SetValue("LightDir", &light.Direction, 12);
  SetColour(effect, "LightColor", light.Diffuse);
  SetColour(effect, "LightAmbient", light.Ambient);
  SetColour(effect, "LightSpecular", light.Specular);
  effect->SetMatrix("mP", &projection);
  effect->SetMatrix("mV", &view);
  effect->SetValue("CamPos", &cameraPosition, 12);
}

void CToonShader::SetShadowParameters(const CShadowMap& shadowMap) {
  if (!effect) return;
  effect->SetMatrix("mLightVP", &shadowMap.lightViewProjection);
  effect->SetTexture("ShadowTex", shadowMap.shadowTarget.texture);
}

void CToonShader::BeginSceneTargets() {
  // Without the effect there are no targets: the 3D pass then draws straight
  // into the back buffer, which is all the fixed-function drawing needs.
  if (!HasSceneTargets()) return;
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  for (DWORD index = 1; index <= 3; ++index) device->SetRenderTarget(index, nullptr);
  // The depth target alone first, as it has a clear colour of its own; then
  // the colour and normal targets together, with the depth buffer. Each clear
  // of the targets is a pass over all their pixels in software, so they are as
  // few as the two colours allow.
  targetC.SetAsRenderTarget(0);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, kDepthClearColour, 1.0f, 0);
  targetA.SetAsRenderTarget(0);
  targetB.SetAsRenderTarget(1);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kClearColour,
                1.0f, 0);
  targetC.SetAsRenderTarget(2);
}

void CToonShader::EndSceneTargets() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  graphics.device->SetRenderTarget(0, graphics.backBuffer);
  for (DWORD index = 1; index <= 3; ++index) graphics.device->SetRenderTarget(index, nullptr);
  graphics.device->SetDepthStencilSurface(graphics.depthSurface);
}

void CToonShader::SetMaterial(const D3DXCOLOR& diffuse, const D3DXCOLOR& specular, float power,
                              const CTexture* texture) {
  SetColour(effect, "MateDiffuse", diffuse);
  SetColour(effect, "MateSpecular", specular);
  effect->SetFloat("MateSpePower", power);
  IDirect3DTexture9* bound = texture && texture->texture ? texture->texture : whiteTexture.texture;
  effect->SetTexture("MateDiffuseTex", bound);
}

void CToonShader::DrawStaticMesh(CStaticMesh* staticMesh) {
  if (!effect || !staticMesh || !staticMesh->mesh) return;
  effect->SetTechnique("Tech");
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  for (DWORD i = 0; i < staticMesh->materialCount; ++i) {
    const D3DMATERIAL9& material = staticMesh->materials[i];
    if (material.Diffuse.a <= 0.5f) continue;  // see-through parts are left to others
    SetMaterial(material.Diffuse, material.Specular, material.Power, &staticMesh->textures[i]);
    effect->CommitChanges();
    staticMesh->mesh->DrawSubset(i);
  }
  effect->EndPass();
  effect->End();
}

void CToonShader::DrawSkinned(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                              const D3DXCOLOR* tint) {
  if (!effect || !meshObject || !meshObject->mesh) return;
  effect->SetTechnique("Tech");
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  DrawContainers(meshObject, world, tint);
  effect->EndPass();
  effect->End();
}

void CToonShader::DrawOutline(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                              const D3DXCOLOR* outlineColour) {
  if (!effect || !meshObject || !meshObject->mesh) return;
  effect->SetTechnique("OutlineTech");
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  if (outlineColour) SetColour(effect, "OutlineColor", *outlineColour);
  DrawContainers(meshObject, world, nullptr);
  effect->EndPass();
  effect->End();
}

void CToonShader::DrawContainers(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                                 const D3DXCOLOR* tint) {
  const D3DXMATRIX identity = Identity();
  for (Korvex::MESHCONTAINER_EX* container : meshObject->mesh->meshContainers) {
    const bool skinned = container->pSkinInfo != nullptr;
    if (skinned) {
      if (!Korvex::SkinContainer(container, *meshObject, boneMatrices)) continue;
      // The bone matrices already hold the world placement.
      Device()->SetTransform(D3DTS_WORLD, &identity);
      effect->SetMatrix("mW", &identity);
    } else {
      effect->SetMatrix("mW", &world);
    }
    const D3DXCOLOR* containerTint = skinned ? tint : nullptr;
    Korvex::ForEachSubset(container, [&](ID3DXMesh* mesh, DWORD m) {
      const D3DMATERIAL9& material = container->pMaterials[m].MatD3D;
      D3DXCOLOR diffuse = material.Diffuse;
      D3DXCOLOR specular(1.0f, 1.0f, 1.0f, 1.0f);
      if (!skinned) specular = material.Specular;
      if (containerTint) {
        const D3DXCOLOR grey = Grey(diffuse);
        const D3DXCOLOR& t = *containerTint;
        diffuse = D3DXCOLOR(grey.r * t.r, grey.g * t.g, grey.b * t.b, grey.a * t.a);
        specular = D3DXCOLOR(0.5f * t.r + 0.5f, 0.5f * t.g + 0.5f, 0.5f * t.b + 0.5f, t.a);
      }
      SetMaterial(diffuse, specular, material.Power, &container->textures[m]);
      effect->CommitChanges();
      mesh->DrawSubset(m);
    });
  }
}

void CToonShader::DrawPolygon(CPolygon* polygon, const D3DMATERIAL9* material,
                              const char* techniqueName) {
  if (!effect || !polygon) return;
  effect->SetTechnique(techniqueName);
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  D3DMATERIAL9 standard = {};
  standard.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  standard.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
  standard.Power = 100.0f;
  const D3DMATERIAL9& used = material ? *material : standard;
  SetColour(effect, "MateDiffuse", used.Diffuse);
  SetColour(effect, "MateSpecular", used.Specular);
  effect->SetFloat("MateSpePower", used.Power);
  const D3DXMATRIX world = polygon->GetWorldMatrix();
  effect->SetMatrix("mW", &world);
  // The polygon's own texture, even none: effect sprites choose their look themselves.
  effect->SetTexture("MateDiffuseTex", polygon->texture);
  effect->CommitChanges();
  Device()->SetFVF(CPolygon::kFvf);
  Device()->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, polygon->vertices, sizeof(CPolygon::Vertex));
  effect->EndPass();
  effect->End();
}
