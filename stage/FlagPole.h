// What a checkpoint and the title flag share: a pole (the object's mesh) with a
// cloth of nine textured strips beside it that waves with the scene's clock,
// the reach within which the scene's slime touches it, and the burst of sparks.
// Not solid, so no face normals.
#pragma once
#include <d3d9.h>

#include "stage/MapObjectStruct.h"

class CPolygon;
class CSlime;
class CTexture;

class FlagPole : public MapObjectStruct {
 public:
  // Untouched (state false), the waiting picture, the cloth at rest.
  FlagPole(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText);

  // Strip k of the cloth (0..8) on the current picture, with this frame's wave.
  void BuildClothStrip(int k, CPolygon* strip) const;

  float radius;  // the reach: the x scale of the stage row
  CTexture* reachedTexture;  // "data/texture/flag2.png"
  CTexture* waitingTexture;  // "data/texture/flag.png"
  CTexture* currentTexture;
  float wave[10];  // depth offset of the cloth at its ten vertical edges
  float pulse;     // strength of the waving; 0.5 at rest

 protected:
  static constexpr float kRestPulse = 0.5f;
  static constexpr float kTouchedPulse = 1.5f;

  // The running scene's slime when its body point (its first bone) is within
  // reach, else null. The player's body counts 1.0 wide; another scene's
  // slime counts its size. Never while fading towards a scene change.
  const CSlime* TouchingSlime() const;
  // 100 sparks at the pole's foot on the running scene's stage.
  void BurstIntoSparks() const;
  // Outer edges swing wider and slower; the edge at the pole stays put.
  void WaveCloth();
  // The waving calms by 1 % a frame down to rest; true on the frame it gets there.
  bool CalmDown();
  // The nine strips turned with the camera's yaw, both faces, with this
  // diffuse, through the toon effect's "FlagTech"; then the pole.
  void DrawClothAndPole(const D3DCOLORVALUE& diffuse);
  // The strips unturned into the shadow pass ("Tech", no material).
  void DrawClothShadow();
};
