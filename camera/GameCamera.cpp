#include "camera/GameCamera.h"

#include <algorithm>
#include <cmath>

#include "chara/Player.h"
#include "common/RunningScene.h"
#include "stage/MapObjectStruct.h"

namespace {

const Player* ScenePlayer() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->GamePlayer() : nullptr;
}

D3DXVECTOR3 BodyPoint(const Player& player) {
  if (player.meshObject.nodes.empty()) return player.position;
  const D3DXMATRIX& m = player.meshObject.nodes[0]->combinedMatrix;
  return D3DXVECTOR3(m._41, m._42, m._43);
}

// 8 % of the way, at least 0.1; within 0.1 the whole way.
D3DXVECTOR3 ChaseStep(const D3DXVECTOR3& d) {
  const float dist = D3DXVec3Length(&d);
  if (dist <= GameCamera::kMinimumStep) return d;
  const float length = std::max(GameCamera::kChaseShare * dist, GameCamera::kMinimumStep);
  return d * (length / dist);
}

// The same easing for one value: 8 %, at least 0.1 with its sign; small gaps stay whole.
float EaseStep(float e) {
  if (std::fabs(e) <= GameCamera::kMinimumStep) return e;
  e *= GameCamera::kChaseShare;
  if (std::fabs(e) < GameCamera::kMinimumStep) e = std::copysign(GameCamera::kMinimumStep, e);
  return e;
}

}  // namespace

GameCamera::GameCamera() : homePoint(0, 0, 0), lookPoint(0, 0, 0) {
  if (const Player* player = ScenePlayer()) homePoint = lookPoint = player->position;
}

void GameCamera::Update() {
  const Player* player = ScenePlayer();
  if (!player) return;
  if (lookPoint == homePoint) tilt = 0;
  angleX = player->angles.x + 10.0f;
  angleY = player->angles.y;
  position = D3DXVECTOR3(0.0f, 1.0f, -7.0f);

  // Riding: the block's displacement first, so the camera does not lag behind it.
  const MapObjectStruct* ridden = player->standingOn;
  if (ridden && ridden->kind == MAP_OBJECT_MOVE) {
    lookPoint += D3DXVECTOR3(ridden->motion._41, ridden->motion._42, ridden->motion._43);
  }

  const D3DXVECTOR3 body = BodyPoint(*player);
  const float dy = -std::fabs(player->anchor.y - body.y);
  const D3DXVECTOR3 target(body.x, body.y + 0.5f * dy, body.z);
  lookPoint += ChaseStep(target - lookPoint);

  // Backing off by the body's height above its ground; the tilt takes the same step.
  const float e = EaseStep(dy - pullBack);
  pullBack += e;
  tilt -= e;

  D3DXMATRIX place, back, tiltX, pitch, yaw, look;
  D3DXMatrixTranslation(&place, position.x, position.y, position.z);
  D3DXMatrixTranslation(&back, 0, 0, pullBack);
  D3DXMatrixRotationX(&tiltX, std::clamp(tilt, -kTiltLimit, kTiltLimit) * kDegreesToRadians);
  D3DXMatrixRotationX(&pitch, angleX * kDegreesToRadians);
  D3DXMatrixRotationY(&yaw, angleY * kDegreesToRadians);
  D3DXMatrixTranslation(&look, lookPoint.x, lookPoint.y, lookPoint.z);
  world = place * back * tiltX * pitch * yaw * look;
}
