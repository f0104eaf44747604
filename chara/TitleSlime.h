// The small slime of the title screen: a slime scaled down to 0.05 that walks
// right on its own, hops where the floor ahead ends, leaves trails in the air
// and takes the colour the player picks with Up and Down. When it has fallen
// off the stage it starts again at its start point with a random colour.
#pragma once
#include <d3dx9math.h>

#include "chara/CharaEffects.h"
#include "chara/Slime.h"

class TitleSlime : public CSlime {
 public:
  // Scaled to 0.05 and placed at the start point; hue 360 (the colour stays
  // the slime's cyan until the first change).
  TitleSlime();
  ~TitleSlime() override;

  // Ride, hop, move, collide and relax the body, pick the colour, start over
  // after a fall, drop trails in the air.
  void Update() override;
  // The body, then its trails.
  void Draw() override;
  void Release() override;
  // Back to the start point, waiting again; the scale stays in world.
  void Reset() override;

  // Counts the wait down, then walks right and hops where the way ahead ends.
  void Hop();
  // Whether the floor goes on under four probes ahead, with nothing above them.
  bool FloorAhead() const;
  // Up and Down turn the hue by one degree a frame once the wait is over.
  void ChooseColour();
  // The colour wheel: red 0, magenta 60, blue 120, cyan 180, green 240,
  // yellow 300, with quarter-sine transitions. h is clamped to 0..359.
  static D3DXCOLOR HueColour(int h);

  int hopDelay = 0;  // grounded frames, counted twice a frame, up to 30
  CharaEffects effects;
  int hue = 360;  // degrees

  static constexpr float kTitleSize = 0.05f;
  static constexpr int kWaitFrames = 30;
  static constexpr float kFallOutHeight = -5.0f;
  static constexpr int kTrailEvery = 5;
  static const D3DXVECTOR3 kStart;
};
