// The short-lived effects a slime leaves: flat rings on the surfaces it touches
// (landing, walking, jumping, sliding down a wall) and small camera-facing trail
// sprites while it is in the air. Rings mark the stencil, and one screen-size
// quad tinted with the player's colour shows where they lie; trails are drawn
// additively.
#pragma once
#include <d3dx9.h>

#include <list>

#include "render/Polygon.h"
#include "render/Texture.h"

class MapObjectStruct;

class TrailParticle {
 public:
  // A sprite near `position`, scattered a little in the owner's axes.
  TrailParticle(const D3DXVECTOR3& position, const D3DXVECTOR3& velocity);

  CPolygon quad;
  CTexture* texture;  // from the resource cache, not owned
  D3DXMATRIX scale;   // uniform at first, stretched along y every frame
  D3DXVECTOR3 drift;  // per frame, in the owner's axes
  int alpha;          // 0..255
};

class RingEffect {
 public:
  // Mode 0 is the landing ring, which grows first; mode 1 (walking, jumping,
  // wall) starts at its full size and only shrinks.
  RingEffect(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, int mode);

  // Scaling(scale) x RotationY(spin) x align x place: the ring's orientation.
  D3DXMATRIX RingMatrix() const;

  CPolygon quad;
  CTexture* texture;   // "data/texture/WalkEffect.png"
  CTexture* texture2;  // "data/texture/WalkEffect2.png", loaded but not drawn
  D3DXMATRIX align;    // turns the local y axis onto the surface normal
  D3DXVECTOR3 scale;
  D3DXMATRIX place;    // carried along by a moving block
  MapObjectStruct* platform;  // what the scene's slime stood on; not owned, may be null
  bool settled;
  int mode;
  float spin;  // degrees about the normal
  float growth;
};

class CharaEffects {
 public:
  // Creates the two screen-size targets.
  CharaEffects();
  ~CharaEffects();
  CharaEffects(const CharaEffects&) = delete;
  CharaEffects& operator=(const CharaEffects&) = delete;

  // Nothing while the screen fades between scenes.
  void AddTrail(const D3DXVECTOR3& position, const D3DXVECTOR3& velocity);
  void AddRing(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, int mode);
  void Update();
  // Inside the 3D pass, in the flat-drawing state with depth testing on.
  void Draw();
  // Draw as a slime draws its effects after its body: over the frame's colour
  // and normal targets only (target 2 unbound), reading the scene's depth
  // ("DepthTex"), in the flat-drawing state with depth testing on.
  void DrawOverScene();
  void Clear();

  std::list<TrailParticle*> trails;  // owned, oldest first
  std::list<RingEffect*> rings;      // owned, oldest first
  CTexture ringTarget;
  CTexture distortTarget;
  // Whether anything has drawn into distortTarget. Until then it holds the
  // transparent picture it was made with, through which the distortion pass
  // would only copy target A onto itself, so the pass is left out. Nothing in
  // the game distorts yet.
  bool distortionMarked = false;

  static constexpr const char* kTrailTexture = "data/texture/jumpEffect.png";
  static constexpr const char* kRingTexture = "data/texture/WalkEffect.png";
  static constexpr const char* kRingTexture2 = "data/texture/WalkEffect2.png";

 private:
  void DrawTrails(IDirect3DDevice9* device);
  void DrawDistortion();
  void DrawRingMask(IDirect3DDevice9* device);
  void DrawTint(IDirect3DDevice9* device);
};
