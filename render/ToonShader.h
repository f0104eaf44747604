// The toon effect ("Shader/Sample.fx"): all lit 3D drawing of the game (static
// meshes, skinned meshes with their outlines, textured polygons), and the three
// screen-size targets the 3D part of every frame is drawn into at once: colour
// (targetA), view-space normal (targetB) and view-space depth (targetC).
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include <vector>

#include "render/MeshObject.h"
#include "render/Polygon.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

class CShadowMap;

class CToonShader {
 public:
  CToonShader();
  ~CToonShader();
  CToonShader(const CToonShader&) = delete;
  CToonShader& operator=(const CToonShader&) = delete;

  // Builds the effect, the white and ramp textures and the three targets at the
  // application's client size. When the effect fails, the box has been shown and
  // nothing else is made; false then.
  bool Create();
  // Releases the effect and the five textures.
  void Destroy();

  // Start of a frame's 3D part: view, projection, camera position and light 0.
  void SetFrameParameters();
  // After the shadow pass: the light's view-projection and the shadow texture.
  void SetShadowParameters(const CShadowMap& shadowMap);
  // Clears the three targets and the depth-stencil surface that is set, and binds
  // the targets as render targets 0, 1 and 2.
  void BeginSceneTargets();
  // Whether the three targets exist (the effect compiled), so that
  // BeginSceneTargets clears the depth-stencil surface.
  bool HasSceneTargets() const {
    return targetA.surface && targetB.surface && targetC.surface;
  }
  // Back to the back buffer and the default depth-stencil surface.
  void EndSceneTargets();

  // The caller has set "mW".
  void DrawStaticMesh(CStaticMesh* staticMesh);
  void DrawSkinned(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                   const D3DXCOLOR* tint = nullptr);
  // Without a colour the outline keeps the colour of the previous call.
  void DrawOutline(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                   const D3DXCOLOR* outlineColour = nullptr);
  // Without a material: white, specular white, power 100.
  void DrawPolygon(CPolygon* polygon, const D3DMATERIAL9* material, const char* techniqueName);

  ID3DXEffect* GetEffect() const { return effect; }
  CTexture* GetTargetA() { return &targetA; }
  CTexture* GetTargetB() { return &targetB; }
  CTexture* GetTargetC() { return &targetC; }
  CTexture* GetWhiteTexture() { return &whiteTexture; }
  CTexture* GetToonTexture() { return &toonTexture; }

  ID3DXEffect* effect;
  CTexture whiteTexture;
  CTexture toonTexture;
  CTexture targetB;  // render target 1: view-space normal
  CTexture targetA;  // render target 0: the frame's finished 3D image
  CTexture targetC;  // render target 2 (R32F): view-space depth

 private:
  void DrawContainers(Korvex::CMeshObject* meshObject, const D3DXMATRIX& world,
                      const D3DXCOLOR* tint);
  void SetMaterial(const D3DXCOLOR& diffuse, const D3DXCOLOR& specular, float power,
                   const CTexture* texture);

  // Bone matrices of the skinned draws; grows to the largest skeleton, never shrinks.
  std::vector<D3DXMATRIX> boneMatrices;
};

// The grey a tint is multiplied into: (306 r + 601 g + 117 b) / 1024 in r, g and b
// with alpha kept; a colour that is already grey comes back unchanged.
D3DXCOLOR Grey(const D3DXCOLOR& colour);
