#include "chara/TitleSlime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "app/Keyboard.h"
#include "app/SoundManager.h"
#include "common/Helpers.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"


const D3DXVECTOR3 TitleSlime::kStart(-1.45f, 1.4f, 0.0f);

namespace {

constexpr int kUpSlot = 15;
constexpr int kDownSlot = 16;
constexpr int kJumpSound = 4;
constexpr int kWalkSound = 6;
constexpr int kRestart = 1;
constexpr int kFromStart = 0;
constexpr float kWalkFactor = 0.2f * 9.0f;  // × size: 0.09 for the title slime
constexpr float kHopSpeed = 0.6f;
constexpr float kDegreesToRadians = 0.017453292f;


}  // namespace

TitleSlime::TitleSlime() {
  CSlime::Reset();
  size = kTitleSize;
  PlaceAt(kStart);
  hopDelay = 0;
  D3DXMATRIX scaling;
  D3DXMatrixScaling(&scaling, kTitleSize, kTitleSize, kTitleSize);
  world = world * scaling;
  PlaceAt(kStart);
  hue = 360;
}

TitleSlime::~TitleSlime() {
  effects.Clear();
}

void TitleSlime::Reset() {
  CSlime::Reset();
  size = kTitleSize;
  PlaceAt(kStart);
  hopDelay = 0;
}

void TitleSlime::Release() {
  CSlime::Release();
  effects.Clear();
}

void TitleSlime::Update() {
  RideObject();
  Hop();
  Move();
  CSlime::Update();
  ChooseColour();
  if (position.y < kFallOutHeight) {
    Reset();
    hue = std::rand() % 361;
    colour = HueColour(hue);
  }
  if (!onGround && SceneFrameCount() % kTrailEvery == 0) effects.AddTrail(position, velocity);
  effects.Update();
}

void TitleSlime::Hop() {
  if (hopDelay < kWaitFrames) {
    if (onGround) ++hopDelay;
    return;
  }
  velocity.x = size * kWalkFactor;
  if (onGround && !FloorAhead()) {
    velocity.y = kHopSpeed;
    onGround = false;
    RequestSound(kJumpSound, kRestart);
  }
  if (onGround && CSlime::FootstepDue()) RequestSound(kWalkSound, kFromStart);
}

bool TitleSlime::FloorAhead() const {
  const CStage* stage = RunningStage();
  const MapObjectList* objects = stage ? stage->objects : nullptr;
  if (!objects) return true;  // nothing to probe against: no reason to hop
  const D3DXVECTOR3 origin(lastPosition.x, lastPosition.y + size, lastPosition.z);
  const std::vector<int> candidates = objects->NearbyObjects(origin, kNearbyRadius);
  const D3DXVECTOR3 down(0, -1, 0);
  const D3DXVECTOR3 up(0, 1, 0);
  for (int n = 4; n >= 1; --n) {
    D3DXVECTOR3 probe = origin;
    probe.x += size * 0.5f * static_cast<float>(n);
    for (const int index : candidates) {
      float distance = 0;
      DWORD face = 0;
      if (!objects->RayTest(index, probe, down, &distance, &face)) return false;
      if (objects->RayTest(index, probe, up, &distance, &face)) return false;
    }
  }
  return true;
}

void TitleSlime::ChooseColour() {
  if (hopDelay < kWaitFrames) {
    if (onGround) ++hopDelay;
    return;
  }
  if (SlotDown(kUpSlot)) {
    hue = (hue + 1) % 360;
  } else if (SlotDown(kDownSlot)) {
    hue = (hue - 1 + 360) % 360;
  } else {
    return;
  }
  colour = HueColour(hue);
}

D3DXCOLOR TitleSlime::HueColour(int h) {
  if (h < 0) h = 0;
  if (h > 359) h = 359;
  const int sector = h / 60;
  float channels[3];
  for (int i = 0; i < 3; ++i) {
    const int d = (sector + 4 * i) % 6;
    if (d % 3 == 0) {
      const float degrees =
          static_cast<float>(h - 60 * sector) / 60.0f * 90.0f + static_cast<float>(d / 3) * 90.0f;
      channels[i] = std::sin(degrees * kDegreesToRadians);
    } else {
      channels[i] = d < 3 ? 1.0f : 0.0f;
    }
  }
  return D3DXCOLOR(channels[2], channels[1], channels[0], 1.0f);
}

void TitleSlime::Draw() {
  CSlime::Draw();
  // The trails as the player draws its effects.
  effects.DrawOverScene();
}

