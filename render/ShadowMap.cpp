#include "render/ShadowMap.h"

#include "app/GraphicsDevice.h"
#include "render/EffectFile.h"
#include "render/SkinDraw.h"

namespace {

constexpr char kEffectFile[] = "Shader/ShadowMap.fx";

IDirect3DDevice9* Device() { return CGraphicsDevice::GetInstance().device; }

}  // namespace

// ---- CDepthSurface ----

CDepthSurface::CDepthSurface() : surface(nullptr), description{} {}

CDepthSurface::~CDepthSurface() { Release(); }

bool CDepthSurface::Create(UINT width, UINT height, D3DFORMAT format,
                           D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                           BOOL discard) {
  Release();
  description = {};
  if (FAILED(Device()->CreateDepthStencilSurface(width, height, format, multiSample,
                                                 multiSampleQuality, discard, &surface,
                                                 nullptr)) ||
      !surface) {
    surface = nullptr;
    return false;
  }
  surface->GetDesc(&description);
  return true;
}

void CDepthSurface::Release() {
  if (surface) surface->Release();
  surface = nullptr;
}

void CDepthSurface::SetAsDepthSurface() { Device()->SetDepthStencilSurface(surface); }

// ---- CShadowMap ----

CShadowMap::CShadowMap() : effect(nullptr), savedTarget(nullptr), savedDepth(nullptr) {
  D3DXMatrixIdentity(&lightViewProjection);
}

CShadowMap::~CShadowMap() {
  Destroy();
  if (savedTarget) savedTarget->Release();
  if (savedDepth) savedDepth->Release();
}

bool CShadowMap::Create() {
  ReleaseEffect(effect);
  effect = CreateEffectOrReport(kEffectFile);
  if (!effect) return false;
  shadowTarget.Create(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT);
  depthSurface.Create(kSize, kSize, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE);
  return true;
}

void CShadowMap::Destroy() {
  ReleaseEffect(effect);
  // The target and depth surface are device resources: they must not outlive the
  // device, which is released at shutdown long before this object is destroyed.
  shadowTarget.Release();
  depthSurface.Release();
}

void CShadowMap::BeginShadowPass(const D3DXVECTOR3* eyePosition) {
  IDirect3DDevice9* device = Device();
  if (eyePosition) {
    D3DLIGHT9 light = {};
    CGraphicsDevice::GetInstance().GetLight(&light, 0);
    const D3DXVECTOR3 direction(light.Direction.x, light.Direction.y, light.Direction.z);
    const D3DXVECTOR3 target = *eyePosition + direction;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, eyePosition, &target, &up);
    D3DXMatrixOrthoLH(&projection, kVolumeWidth, kVolumeHeight, kNear, kFar);
    if (effect) {
      effect->SetMatrix("mLV", &view);
      effect->SetMatrix("mLP", &projection);
    }
    D3DXMatrixMultiply(&lightViewProjection, &view, &projection);
  }
  // A pass left open would otherwise lose the surfaces it saved.
  if (savedTarget) savedTarget->Release();
  if (savedDepth) savedDepth->Release();
  savedTarget = savedDepth = nullptr;
  device->GetRenderTarget(0, &savedTarget);
  device->GetDepthStencilSurface(&savedDepth);
  if (!shadowTarget.surface || !depthSurface.surface) return;  // the effect failed
  shadowTarget.SetAsRenderTarget(0);
  depthSurface.SetAsDepthSurface();
  // The stencil is cleared with the depth although the pass never uses it: depth
  // and stencil share each pixel's four bytes, and filling them whole is much
  // cheaper in software than changing the depth bytes and keeping the stencil.
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF,
                1.0f, 0);
}

void CShadowMap::EndShadowPass() {
  IDirect3DDevice9* device = Device();
  if (savedTarget) device->SetRenderTarget(0, savedTarget);
  device->SetDepthStencilSurface(savedDepth);
  if (savedTarget) savedTarget->Release();
  if (savedDepth) savedDepth->Release();
  savedTarget = savedDepth = nullptr;
}

namespace {

// The subsets of `mesh` that `chosen` picks and that are not fully transparent,
// with `technique`; nothing at all when it picks none.
template <typename Choice>
void DrawSubsets(ID3DXEffect* effect, CStaticMesh& mesh, const char* technique, Choice chosen) {
  bool begun = false;
  for (DWORD i = 0; i < mesh.materialCount; ++i) {
    if (mesh.materials[i].Diffuse.a == 0.0f || !chosen(i)) continue;
    if (!begun) {
      effect->SetTechnique(technique);
      effect->Begin(nullptr, 0);
      effect->BeginPass(0);
      begun = true;
    }
    effect->SetTexture("MeshTex", mesh.textures[i].texture);
    effect->CommitChanges();
    mesh.mesh->DrawSubset(i);
  }
  if (begun) {
    effect->EndPass();
    effect->End();
  }
}

}  // namespace

// The alpha test reads the picture at every pixel of the map; a subset whose
// picture has no cut-out texels (or that has none, which reads as opaque) is
// drawn without it. In software drawing that halves the cost of the pass.
void CShadowMap::DrawStaticMesh(CStaticMesh* staticMesh) {
  if (!effect || !staticMesh || !staticMesh->mesh) return;
  const bool canSkipTest = effect->GetTechniqueByName("OpaqueTech") != nullptr;
  auto drawnWhole = [&](DWORD i) {
    const CTexture& picture = staticMesh->textures[i];
    return canSkipTest && (!picture.texture || picture.opaque);
  };
  DrawSubsets(effect, *staticMesh, "OpaqueTech", drawnWhole);
  DrawSubsets(effect, *staticMesh, "Tech", [&](DWORD i) { return !drawnWhole(i); });
}

void CShadowMap::DrawSkinned(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world) {
  if (!effect || !meshObject || !meshObject->mesh) return;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  effect->SetTechnique("Tech");
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
  for (Korvex::MESHCONTAINER_EX* container : meshObject->mesh->meshContainers) {
    if (container->pSkinInfo) {
      if (!Korvex::SkinContainer(container, *meshObject, boneMatrices)) continue;
      effect->SetMatrix("mW", &identity);
    } else {
      effect->SetMatrix("mW", &world);
    }
    Korvex::ForEachSubset(container, [&](ID3DXMesh* mesh, DWORD m) {
      if (container->pMaterials[m].MatD3D.Diffuse.a == 0.0f) return;
      effect->SetTexture("MeshTex", container->textures[m].texture);
      effect->CommitChanges();
      mesh->DrawSubset(m);
    });
  }
  effect->EndPass();
  effect->End();
}
