#include "stage/MOS_CheckPoint.h"

#include "common/RunningScene.h"

MOS_CheckPoint::MOS_CheckPoint(CStaticMesh* model, const D3DXMATRIX& world,
                               const std::string& kindText, int number)
    : FlagPole(model, world, kindText) {
  this->number = number;
}

void MOS_CheckPoint::Update() {
  if (!state && TouchingSlime()) {
    state = true;
    pulse = kTouchedPulse;
    RunningScene* scene = CurrentScene();
    // Only the game scene has a clear phase; a goal on the title does nothing.
    if (scene->SceneId() == kSceneGame && IsGoal()) scene->SetPhase(kPhaseClear);
    BurstIntoSparks();
  }
  currentTexture = state ? reachedTexture : waitingTexture;
  WaveCloth();
  CalmDown();  // a checkpoint stays reached once calm
}

void MOS_CheckPoint::Draw() {
  // The cloth picture is tinted by what the player's colour lacks of cyan.
  D3DCOLORVALUE diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
  if (state) {
    const RunningScene* scene = CurrentScene();
    const D3DXCOLOR c = scene ? scene->PlayerColour() : D3DXCOLOR(0, 1, 1, 1);
    diffuse = {c.r - 0.0f, c.g - 1.0f, c.b - 1.0f, 1.0f};
  }
  DrawClothAndPole(diffuse);
}

void MOS_CheckPoint::DrawShadow() {
  MapObjectStruct::DrawShadow();
  DrawClothShadow();
}
