// Drawing the slime body: toon-shaded in its colour with an outline of the same
// colour, and into the shadow map.
#include "app/Application.h"
#include "chara/Slime.h"

void CSlime::Draw() {
  CToonShader& toon = CApplication::GetInstance().toonShader;
  toon.DrawSkinned(&meshObject, world, &colour);
  toon.DrawOutline(&meshObject, world, &colour);
}

void CSlime::DrawShadow() {
  CApplication::GetInstance().shadowMap.DrawSkinned(&meshObject, world);
}
