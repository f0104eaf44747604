// The shadow map of light 0: a 1024 x 1024 R32F target with its own depth-stencil
// surface, drawn by "Shader/ShadowMap.fx" from an orthographic light volume that
// follows the scene's focus point.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include <vector>

#include "render/MeshObject.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

// A depth-stencil surface of its own.
class CDepthSurface {
 public:
  CDepthSurface();
  ~CDepthSurface();
  CDepthSurface(const CDepthSurface&) = delete;
  CDepthSurface& operator=(const CDepthSurface&) = delete;

  bool Create(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
              DWORD multiSampleQuality, BOOL discard);
  void Release();
  void SetAsDepthSurface();

  IDirect3DSurface9* surface;
  D3DSURFACE_DESC description;
};

class CShadowMap {
 public:
  static constexpr UINT kSize = 1024;
  static constexpr float kVolumeWidth = 120.0f;
  static constexpr float kVolumeHeight = 120.0f;
  static constexpr float kNear = 1.0f;
  static constexpr float kFar = 100.0f;

  CShadowMap();
  ~CShadowMap();
  CShadowMap(const CShadowMap&) = delete;
  CShadowMap& operator=(const CShadowMap&) = delete;

  // The effect, then the target and the depth surface; after a failed effect
  // (box shown) neither is made and false is returned.
  bool Create();
  // Releases the effect, the target and the depth surface.
  void Destroy();

  // With an eye position the light looks from it along light 0; without one the
  // previous light matrices stay. Binds and clears the map either way.
  void BeginShadowPass(const D3DXVECTOR3* eyePosition);
  // Back to the render target and depth surface in force before BeginShadowPass.
  void EndShadowPass();

  // The caller has set "mW" on this effect.
  void DrawStaticMesh(CStaticMesh* staticMesh);
  void DrawSkinned(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world);

  ID3DXEffect* GetEffect() const { return effect; }
  const D3DXMATRIX& GetLightViewProjection() const { return lightViewProjection; }
  CTexture* GetShadowTarget() { return &shadowTarget; }

  ID3DXEffect* effect;
  CTexture shadowTarget;
  CDepthSurface depthSurface;
  D3DXMATRIX lightViewProjection;
  IDirect3DSurface9* savedTarget;
  IDirect3DSurface9* savedDepth;

 private:
  // The shadow pass skins its casters again, into an array of its own.
  std::vector<D3DXMATRIX> boneMatrices;
};
