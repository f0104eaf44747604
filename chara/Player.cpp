#include "chara/Player.h"

#include <cmath>

#include "app/Keyboard.h"
#include "app/Mouse.h"
#include "app/SoundManager.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"

const D3DXVECTOR3 Player::kStart(0.0f, 0.0f, 145.0f);
const D3DXVECTOR3 Player::kClearFrom(-130.2f, 63.0f, 122.3f);
const D3DXVECTOR3 Player::kClearTo(-127.3f, 63.0f, 127.3f);

namespace {

constexpr int kForwardSlot = 1;   // W
constexpr int kBackSlot = 2;      // S
constexpr int kLeftSlot = 3;      // A
constexpr int kRightSlot = 4;     // D
constexpr int kTurnLeftSlot = 7;  // Left arrow
constexpr int kTurnRightSlot = 8;
constexpr int kJumpSlot = 9;  // Space
constexpr int kJumpSound = 4;
constexpr int kWalkSound = 6;
constexpr int kRestart = 1;
constexpr int kFromStart = 0;
constexpr float kStartYaw = -90.0f;
constexpr float kDegreesPerFrameTurn = 0.017453f;  // one degree, as the turns round it
constexpr float kMousePixelsPerDegree = 20.0f;
constexpr float kGlide = 0.9f;
constexpr float kStopBelow = 0.001f;
constexpr float kWallJumpPush = 0.2f;
constexpr float kClearBlendStep = 0.02f;
constexpr int kClearStandFrames = 30;
constexpr float kClearDrift = -0.04f;
constexpr float kRingSpeed = 0.05f;
constexpr int kEffectEvery = 5;
constexpr int kRingSettled = 1;
constexpr int kRingLanding = 0;

D3DXMATRIX TranslationMatrix(const D3DXVECTOR3& v) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, v.x, v.y, v.z);
  return m;
}

// Without the key: 0.9 of the speed, nothing once below 0.001.
float Glide(float speed) {
  speed *= kGlide;
  return std::fabs(speed) < kStopBelow ? 0.0f : speed;
}

// Turns the slime about its own vertical axis, keeping its place.
void TurnWorld(D3DXMATRIX* world, float radians) {
  D3DXMATRIX turn;
  D3DXMatrixRotationY(&turn, radians);
  *world = turn * *world;
}

}  // namespace

Player::Player() {
  clearFrom = TranslationMatrix(kClearFrom);
  clearTo = TranslationMatrix(kClearTo);
  Reset();
}

Player::~Player() { effects.Clear(); }

void Player::Release() {
  CSlime::Release();
  effects.Clear();
}

void Player::Reset() {
  CSlime::Reset();
  const RunningScene* scene = CurrentScene();
  if (scene) colour = scene->PlayerColour();
  angles.y = kStartYaw;
  D3DXMatrixRotationY(&world, -D3DX_PI / 2);
  PlaceAt(kStart);
  clearBlend = 0;
  clearState = 0;
  clearCount = 0;
}

void Player::ReturnTo(const D3DXVECTOR3& spot) {
  const D3DXVECTOR3 facing = angles;
  const D3DXCOLOR bodyColour = colour;
  CSlime::Reset();  // the body at rest, the turn in world kept
  angles = facing;
  colour = bodyColour;
  PlaceAt(spot);
  lastPosition = spot;
  effects.Clear();
}

void Player::Update() {
  RideObject();
  Turn();
  Walk();
  JumpInput();
  if (clearState == 0 || clearState == 1) Move();
  if (InGamePhase(kPhaseClear)) ClearStep();
  wasOnGround = onGround;
  CSlime::Update();
  SpawnEffects();
  effects.Update();
}

void Player::Turn() {
  if (!InGamePhase(kPhasePlay)) return;
  if (SlotDown(kTurnLeftSlot)) {
    angles.y -= 1.0f;
    TurnWorld(&world, -kDegreesPerFrameTurn);
  } else if (SlotDown(kTurnRightSlot)) {
    angles.y += 1.0f;
    TurnWorld(&world, kDegreesPerFrameTurn);
  }
  const float m = static_cast<float>(g_mouse ? g_mouse->dx : 0) / kMousePixelsPerDegree;
  angles.y += m;
  TurnWorld(&world, m * kDegreesPerFrameTurn);
}

void Player::Walk() {
  if (!InGamePhase(kPhasePlay) || wallJump) return;
  if (SlotDown(kForwardSlot)) {
    velocity.z = std::min(velocity.z + kWalkSpeed, kWalkSpeed);
  } else if (SlotDown(kBackSlot)) {
    velocity.z = std::max(velocity.z - kWalkSpeed, -kWalkSpeed);
  } else {
    velocity.z = Glide(velocity.z);
  }
  if (SlotDown(kLeftSlot)) {
    velocity.x = std::max(velocity.x - kWalkSpeed, -kWalkSpeed);
  } else if (SlotDown(kRightSlot)) {
    velocity.x = std::min(velocity.x + kWalkSpeed, kWalkSpeed);
  } else {
    velocity.x = Glide(velocity.x);
  }
  const bool moved = SlotDown(kForwardSlot) || SlotDown(kBackSlot) || SlotDown(kLeftSlot) ||
                     SlotDown(kRightSlot);
  if (FootstepDue() && moved && onGround) RequestSound(kWalkSound, kFromStart);
}

void Player::JumpInput() {
  if (!InGamePhase(kPhasePlay)) return;
  if (onGround && SlotDown(kJumpSlot)) {
    velocity.y = kJumpSpeed;
    onGround = false;
    effects.AddRing(position, groundNormal, kRingSettled);
    RequestSound(kJumpSound, kRestart);
    return;
  }
  if (SlotPressed(kJumpSlot) && wallStickFrames > 0) {
    wallStickFrames = 0;
    wallJump = true;
    velocity.y = kJumpSpeed;
    RequestSound(kJumpSound, kRestart);
  }
  if (wallJump) {
    // Away from the wall, in the slime's own axes; steering waits for the landing.
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &world)) return;
    D3DXVECTOR3 away;
    D3DXVec3TransformNormal(&away, &wallNormal, &inverse);
    velocity.x = kWallJumpPush * away.x;
    velocity.z = kWallJumpPush * away.z;
  }
}

void Player::ClearStep() {
  switch (clearState) {
    case 0:
      // Falls on under Move until it is below the placement height.
      if (position.y < kClearPlaceHeight) {
        angles = D3DXVECTOR3(0, 0, 0);
        world = clearFrom;
        position = kClearFrom;
        velocity = D3DXVECTOR3(0, 0, 0);
        clearState = 1;
      }
      break;
    case 1:
      break;  // the clear camera starts the walk
    case 2: {
      const D3DXMATRIX pose = InterpolatePose(clearFrom, clearTo, clearBlend);
      velocity = D3DXVECTOR3(pose._41 - position.x, 0, pose._43 - position.z);
      Translate(velocity);
      clearBlend += kClearBlendStep;
      if (clearBlend >= 1.0f) clearState = 3;
      break;
    }
    case 3:
      ++clearCount;
      if (clearCount > kClearStandFrames) {
        velocity = D3DXVECTOR3(kClearDrift, 0, 0);
        Translate(velocity);
      }
      break;
    default:
      break;
  }
  if (clearState == 2 && FootstepDue()) RequestSound(kWalkSound, kFromStart);
}

void Player::SpawnEffects() {
  const int f = SceneFrameCount();
  const bool everyFifth = f % kEffectEvery == 0;
  if (onGround && (std::fabs(velocity.x) >= kRingSpeed || std::fabs(velocity.z) >= kRingSpeed) &&
      everyFifth) {
    effects.AddRing(position, groundNormal, kRingSettled);
  }
  if (wallStickFrames > 0 && wallStickFrames % kEffectEvery == 0) {
    effects.AddRing(position, wallNormal, kRingSettled);
  }
  if (!wasOnGround && onGround && InGamePhase(kPhasePlay)) {
    effects.AddRing(position, groundNormal, kRingLanding);
  }
  if (!onGround && everyFifth) effects.AddTrail(position, velocity);
}

void Player::DrawEffects() { effects.DrawOverScene(); }
