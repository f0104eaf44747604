// A spark of a checkpoint or flag burst: a camera-facing quad that flies in a
// straight line from its birth point and fades out over 51 frames. Drawn
// additively, without depth testing, so the sparks shine through the scenery.
#pragma once
#include <d3d9.h>
#include <d3dx9math.h>

class CPolygon;
class CTexture;

class CheckEffect {
 public:
  // A spark at the translation of `m`, with a random velocity on the grid
  // {−1, −0.8, …, 1}³ (five times smaller and slower on the title).
  explicit CheckEffect(const D3DXMATRIX& m);
  ~CheckEffect();
  CheckEffect(const CheckEffect&) = delete;
  CheckEffect& operator=(const CheckEffect&) = delete;

  // One frame of flight and fading; asks for the spark sound every frame.
  void Update();
  void Draw();

  CPolygon* polygon;      // owned
  CTexture* texture;      // "data/texture/checkeffect.png" from the cache
  D3DXMATRIX scale;
  D3DXVECTOR3 velocity;   // per frame
  D3DXMATRIX travel;      // translation accumulated since birth
  int alpha;              // 255 at birth, 5 less every frame, never below 0
};
