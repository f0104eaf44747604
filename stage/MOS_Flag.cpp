// The title flag's touch, its re-arming and its tint.
#include "stage/MOS_Flag.h"

#include "chara/Slime.h"

MOS_Flag::MOS_Flag(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText)
    : FlagPole(model, world, kindText), colour{0.0f, 1.0f, 1.0f, 1.0f} {}

void MOS_Flag::Update() {
  if (!state) {
    if (const CSlime* slime = TouchingSlime()) {
      state = true;
      pulse = kTouchedPulse;
      currentTexture = reachedTexture;
      colour[0] = slime->colour.r;
      colour[1] = slime->colour.g;
      colour[2] = slime->colour.b;
      colour[3] = slime->colour.a;
      BurstIntoSparks();
    }
  }
  WaveCloth();
  // Calm again: the flag can be touched anew (the reached picture stays).
  if (CalmDown()) state = false;
}

void MOS_Flag::Draw() {
  // The cloth picture is tinted by what the colour lacks of cyan; an untouched
  // flag (cyan) therefore adds nothing to it.
  DrawClothAndPole({colour[0] - 0.0f, colour[1] - 1.0f, colour[2] - 1.0f, 1.0f});
}
