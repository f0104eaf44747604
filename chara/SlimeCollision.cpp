// How the slime moves by its velocity, falls, rides moving blocks and keeps out
// of the stage: every test is a ray against the meshes of the stage objects
// near the slime, and every distance is a multiple of the slime's size.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/SoundManager.h"
#include "common/RunningScene.h"
#include "chara/Slime.h"
#include "stage/MapObjectList.h"
#include "stage/MapObjectStruct.h"
#include "stage/Stage.h"

namespace {

using BoneNode = CSlime::BoneNode;

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

// Wall distances are compared as they read with one decimal, so a wall 0.54
// away counts as touching a slime of size 1 (0.5).
float RoundToOneDecimal(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return std::strtof(text, nullptr);
}

void PlayStamp() {
  if (g_soundManager) g_soundManager->Play(CSlime::kStampSound, 2);
}

void StopStamp() {
  if (g_soundManager) g_soundManager->Stop(CSlime::kStampSound);
}

// In the clear phase the faces of alpha 0.5 or less are open: the gates let the slime through.
bool InClearPhase() { return InGamePhase(kPhaseClear); }

// The objects of the running scene's stage, or null (no collision: the slime falls).
const MapObjectList* StageObjects() {
  const CStage* stage = RunningStage();
  return stage ? stage->objects : nullptr;
}

D3DXVECTOR3 FaceNormal(const MapObjectStruct* object, DWORD face) {
  if (!object || face >= object->faceNormals.size()) return D3DXVECTOR3(0, 0, 0);
  return object->faceNormals[face];
}

MapObjectStruct* ObjectAt(const MapObjectList& objects, int index) {
  const std::vector<MapObjectStruct*> all = objects.Objects();
  return index >= 0 && static_cast<size_t>(index) < all.size() ? all[index] : nullptr;
}

}  // namespace

void CSlime::Update() {
  CollideWalls();
  CollideGround();
  CollideCeiling();
  if (standingOn && (onGround || standingOn->kind == MAP_OBJECT_MOVE) &&
      !meshObject.nodes.empty()) {
    anchor = TranslationOf(meshObject.nodes[0]->combinedMatrix);
  }
  UpdateBones();
}

void CSlime::RideObject() {
  if (!standingOn || standingOn->kind != MAP_OBJECT_MOVE) return;
  D3DXMatrixMultiply(&world, &world, &standingOn->motion);
  position = TranslationOf(world);
}

void CSlime::Move() {
  // Diagonal walking keeps each axis' own speed along the normalised direction,
  // so forward and right at 0.2 each move at 0.141 each.
  const D3DXVECTOR3 v = velocity;
  D3DXVECTOR3 n(v.x, 0, v.z);
  if (n.x != 0 || n.z != 0) D3DXVec3Normalize(&n, &n);
  velocity = D3DXVECTOR3(std::fabs(v.x) * n.x, v.y, std::fabs(v.z) * n.z);
  Translate(velocity);
  if (D3DXVec3Length(&velocity) == 0) StopStamp();
  if (wallStickFrames > 0) {
    --wallStickFrames;
    velocity.y = kWallSlideSpeed;
  } else {
    velocity.y -= kGravity;
  }
}

void CSlime::CollideWalls() {
  wallTouch = false;
  const MapObjectList* stageObjects = StageObjects();
  if (stageObjects) {
    const MapObjectList& objects = *stageObjects;
    const std::vector<MapObjectStruct*> all = objects.Objects();
    const D3DXVECTOR3 origin = position + D3DXVECTOR3(0, size, 0);
    const D3DXVECTOR3 localAxes[4] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}};
    D3DXVECTOR3 directions[4];
    for (int i = 0; i < 4; ++i) D3DXVec3TransformNormal(&directions[i], &localAxes[i], &world);
    for (int candidate : objects.NearbyObjects(origin, kNearbyRadius)) {
      for (int i = 0; i < 4; ++i) {
        float f = 0;
        DWORD face = 0;
        if (!objects.RayTest(candidate, origin, directions[i], &f, &face)) continue;
        const float alpha = objects.FaceAlpha(candidate, face);
        if (InClearPhase() && alpha <= 0.5f) continue;
        if (f < size * 0.5f) {
          // Back out of the wall and stop along that axis.
          landDepth = f;
          const D3DXVECTOR3 back = directions[i] * (f - size * 0.5f);
          world._41 += back.x;
          world._42 += back.y;
          world._43 += back.z;
          (i < 2 ? velocity.z : velocity.x) = 0;
        }
        if (RoundToOneDecimal(f) <= size * 0.5f && alpha > 0.5f) {
          wallTouch = true;
          const MapObjectStruct* object =
              candidate >= 0 && static_cast<size_t>(candidate) < all.size() ? all[candidate]
                                                                            : nullptr;
          wallNormal = FaceNormal(object, face);
        }
      }
    }
  }
  if (!wallTouch) {
    wallStick = false;
    wallStickFrames = 0;
  } else if (!onGround && !wallStick) {
    // Once per airborne contact: stick and slide down for a while.
    wallStick = true;
    wallStickFrames = kWallStickFrames;
    PlayStamp();
    wallJump = false;
  }
}

void CSlime::CollideGround() {
  const MapObjectList* stageObjects = StageObjects();
  const D3DXVECTOR3 origin(lastPosition.x, lastPosition.y + size, lastPosition.z);
  const float fall = lastPosition.y - position.y;
  bool found = false;
  float nearest = 0;
  int nearestObject = -1;
  DWORD nearestFace = 0;
  if (stageObjects) {
    const D3DXVECTOR3 down(0, -1, 0);
    for (int candidate : stageObjects->NearbyObjects(origin, kNearbyRadius)) {
      float distance = 0;
      DWORD face = 0;
      if (!stageObjects->RayTest(candidate, origin, down, &distance, &face)) continue;
      if (!found || distance < nearest) {
        found = true;
        nearest = distance;
        nearestObject = candidate;
        nearestFace = face;
      }
    }
  }
  if (found && fall >= nearest - size * 0.75f) {
    const bool seeThrough =
        InClearPhase() && stageObjects->FaceAlpha(nearestObject, nearestFace) <= 0.5f;
    if (!seeThrough) {
      landDepth = fall - nearest + size * 0.5f;
      world._42 += landDepth;
      velocity.y = 0;
      standingOn = ObjectAt(*stageObjects, nearestObject);
      D3DXVECTOR3 normal = FaceNormal(standingOn, nearestFace);
      D3DXVec3Normalize(&groundNormal, &normal);
      if (!onGround) PlayStamp();
      onGround = true;
      wallStick = false;
      wallStickFrames = 0;
      wallJump = false;
    }
  } else if (fall != 0) {
    onGround = false;
  }
  position = TranslationOf(world);
}

void CSlime::CollideCeiling() {
  const MapObjectList* stageObjects = StageObjects();
  if (!stageObjects) return;
  const D3DXVECTOR3 origin = position + D3DXVECTOR3(0, size, 0);
  const D3DXVECTOR3 up(0, 1, 0);
  for (int candidate : stageObjects->NearbyObjects(origin, kNearbyRadius)) {
    float d = 0;
    if (!stageObjects->RayTest(candidate, origin, up, &d, nullptr)) continue;
    if (d < size * 0.5f) {
      world._42 -= size * 0.75f - d;
      velocity.y = 0;
    }
  }
}

void CSlime::CollideBones(BoneNode* core) {
  const MapObjectList* stageObjects = StageObjects();
  if (!stageObjects || !core) return;
  D3DXMATRIX inverseWorld;
  if (!D3DXMatrixInverse(&inverseWorld, nullptr, &world)) return;
  const MapObjectList& objects = *stageObjects;
  const D3DXVECTOR3 o = TranslationOf(core->combinedMatrix);
  const std::vector<int> candidates = objects.NearbyObjects(o, kNearbyRadius);
  for (BoneNode* p : meshObject.nodes) {
    if (p->frame->index == 0) continue;
    D3DXVECTOR3 d = TranslationOf(p->combinedMatrix) - o;
    float length = D3DXVec3Length(&d);
    if (length == 0) continue;
    const D3DXVECTOR3 dir = d / length;
    for (int candidate : candidates) {
      float t = 0;
      DWORD face = 0;
      if (!objects.RayTest(candidate, o, dir, &t, &face)) continue;
      // Faces of alpha 0 are openings, not surfaces.
      if (t >= length || objects.FaceAlpha(candidate, face) == 0.0f) continue;
      const D3DXVECTOR3 back = -dir * (length - t);
      p->combinedMatrix._41 += back.x;
      p->combinedMatrix._42 += back.y;
      p->combinedMatrix._43 += back.z;
      D3DXMatrixMultiply(&p->skinMatrix, &p->frame->offsetMatrix, &p->combinedMatrix);
      d = TranslationOf(p->combinedMatrix) - o;
      length = D3DXVec3Length(&d);
      D3DXVECTOR3 local;
      D3DXVec3TransformNormal(&local, &d, &inverseWorld);
      p->localMatrix._41 = local.x;
      p->localMatrix._42 = local.y;
      p->localMatrix._43 = local.z;
    }
  }
}
