// The edge overlay ("Shader/EdgeShader.fx"): dark outlines where the view-space
// normal or depth of the frame's 3D image jumps (silhouettes and creases),
// transparent everywhere else. Its target is laid over the 3D image every frame.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include "render/Texture.h"

class CToonShader;

class CEdgeShader {
 public:
  CEdgeShader();
  ~CEdgeShader();
  CEdgeShader(const CEdgeShader&) = delete;
  CEdgeShader& operator=(const CEdgeShader&) = delete;

  // The effect, then the edge target at the application's client size.
  bool Create();
  void Destroy();

  // The edge pass: fills the edge target from the toon effect's normal and depth
  // targets (transparent where there is nothing to outline). Run once per frame
  // after the 3D pass (EndSceneTargets); leaves the back buffer bound.
  void DrawEdges(CToonShader& toonShader);

  // The frame's composite in one full-screen pass: the toon effect's colour target
  // over the bound back buffer, then this frame's edges over it, blended as the
  // two full-screen sprites (colour target, then edge target) would be. The edge
  // target is not written. False, drawing nothing, without the effect or targets.
  bool DrawComposite(CToonShader& toonShader);

  ID3DXEffect* GetEffect() const { return effect; }
  CTexture* GetEdgeTarget() { return &edgeTarget; }

  ID3DXEffect* effect;
  CTexture edgeTarget;

 private:
  void SetInputs(CToonShader& toonShader, const CTexture& size);
  void DrawFullScreen(const char* technique, UINT width, UINT height);
};
