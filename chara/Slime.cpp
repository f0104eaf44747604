#include "chara/Slime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "render/SkinMesh.h"

namespace {

using BoneNode = CSlime::BoneNode;

float Sign(float v) { return v > 0 ? 1.0f : (v < 0 ? -1.0f : 0.0f); }

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

D3DXVECTOR3 RestOf(const BoneNode* node) {
  return TranslationOf(node->frame->TransformationMatrix);
}

// m := Translation(v) x m: a shift in the bone's own axes, the way every bone
// move of the soft body is written.
void ShiftBone(D3DXMATRIX* m, const D3DXVECTOR3& v) {
  D3DXMATRIX shift;
  D3DXMatrixTranslation(&shift, v.x, v.y, v.z);
  D3DXMatrixMultiply(m, &shift, m);
}

bool Contains(const std::string& text, const std::string& word) {
  return text.find(word) != std::string::npos;
}

float Axis(const D3DXVECTOR3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

// Where a bone is in the body: its translation, except for the core, which sits
// one unit up in its local frame; the lattice is measured from below it.
D3DXVECTOR3 PlaceInBody(const BoneNode* node, const BoneNode* core) {
  D3DXVECTOR3 t = TranslationOf(node->localMatrix);
  if (node == core) t.y -= 1.0f;
  return t;
}

}  // namespace

CSlime::CSlime() {
  if (g_resourceCache) {
    skinMesh = g_resourceCache->GetSkinMesh(kSlimeModelPath);
  } else {
    // Without the game's cache (tools, tests) the slime loads its own copy.
    skinMesh = std::make_shared<Korvex::CSkinMesh>();
    skinMesh->Load(kSlimeModelPath);
  }
  meshObject.Init(skinMesh);
  ResetSlime();
}

CSlime::~CSlime() {
  meshObject.Clear();
  bonePoints.clear();
  skinMesh.reset();
}

void CSlime::Release() {
  meshObject.Clear();
  bonePoints.clear();
}

void CSlime::Reset() { ResetSlime(); }

void CSlime::ResetSlime() {
  for (BoneNode* node : meshObject.nodes) {
    D3DXMATRIX m = node->frame->TransformationMatrix;
    // The bones start one unit below their place in the file; the core stays,
    // so the first recentring lifts the whole body back around it.
    if (NameOf(node) != slime_words::kCore) m._42 -= 1.0f;
    node->combinedMatrix = m;
    node->localMatrix = m;
  }
  world._41 = world._42 = world._43 = 0.0f;
  meshObject.Update(world);
  position = velocity = angles = D3DXVECTOR3(0, 0, 0);
  onGround = false;
  wallTouch = false;

  bonePoints.clear();
  for (size_t i = 0; i < meshObject.nodes.size(); ++i) {
    BonePoint point;
    point.nodeIndex = static_cast<int>(i);
    point.neighbours = FindNeighbours(NameOf(meshObject.nodes[i]));
    bonePoints.push_back(point);
  }

  standingOn = nullptr;
  wallStickFrames = 0;
  wallStick = false;
  wallJump = false;
  colour = D3DXCOLOR(0, 1, 1, 1);
  size = 1.0f;
}

void CSlime::PlaceAt(const D3DXVECTOR3& v) {
  world._41 = v.x;
  world._42 = v.y;
  world._43 = v.z;
  meshObject.Update(world);
  position = v;
}

void CSlime::Translate(const D3DXVECTOR3& v) {
  lastPosition = position;
  D3DXMATRIX shift;
  D3DXMatrixTranslation(&shift, v.x, v.y, v.z);
  D3DXMatrixMultiply(&world, &shift, &world);
  position = TranslationOf(world);
}

std::string CSlime::NameOf(const BoneNode* node) {
  if (!node || !node->frame || !node->frame->Name) return std::string();
  return std::string(node->frame->Name);
}

CSlime::BoneNode* CSlime::FindCore() const { return meshObject.FindBone(slime_words::kCore); }

std::vector<BoneNode*> CSlime::FindNeighbours(const std::string& name) const {
  using slime_words::kCore;
  using slime_words::kWordBytes;
  std::vector<BoneNode*> neighbours;
  for (BoneNode* node : meshObject.nodes) {
    const std::string other = NameOf(node);
    if (other == name) continue;
    bool tied = false;
    if (name == kCore) {
      tied = other.size() == kWordBytes;
    } else if (name.size() == kWordBytes) {
      tied = Contains(other, name) || other == kCore;
    } else {
      tied = other.size() == kWordBytes && Contains(name, other);
    }
    if (tied) neighbours.push_back(node);
  }
  return neighbours;
}

void CSlime::MarkLeading(const D3DXVECTOR3& dir) {
  for (BonePoint& point : bonePoints) point.leading = false;
  if (bonePoints.empty()) return;
  if (dir.x == 0 && dir.y == 0 && dir.z == 0) {
    bonePoints[0].leading = true;
    return;
  }
  std::vector<std::string> words;
  for (int axis = 0; axis < 3; ++axis) {
    const float d = Axis(dir, axis);
    if (d != 0) words.push_back(slime_words::kAxisWords[axis][d > 0 ? 0 : 1]);
  }
  for (BonePoint& point : bonePoints) {
    const std::string name = NameOf(meshObject.nodes[point.nodeIndex]);
    if (name == slime_words::kCore) continue;
    // Straight motion leads with a face bone; diagonal motion with the edge and
    // corner bones between the faces it moves towards.
    const bool considered = words.size() == 1 ? name.size() <= slime_words::kWordBytes
                                              : name.size() != slime_words::kWordBytes;
    if (!considered) continue;
    point.leading = std::all_of(words.begin(), words.end(),
                                [&](const std::string& w) { return Contains(name, w); });
  }
}

void CSlime::RankBones() {
  const size_t count = bonePoints.size();
  for (BonePoint& point : bonePoints) {
    point.level = 0;
    if (point.leading) continue;
    // Breadth first from the point; the first bone (index 0) is never walked
    // through, only recognised when it leads. A bone from which no leading
    // bone can be reached keeps the level of the last pass that found new bones.
    std::vector<bool> seen(count, false);
    seen[point.nodeIndex] = true;
    std::vector<const BonePoint*> frontier{&point};
    point.level = -1;
    for (;;) {
      bool foundLeading = false;
      std::vector<const BonePoint*> next;
      for (const BonePoint* f : frontier) {
        for (const BoneNode* n : f->neighbours) {
          const int index = n->frame->index;
          if (index < 0 || static_cast<size_t>(index) >= count) continue;
          const BonePoint& r = bonePoints[index];
          if (r.leading) {
            foundLeading = true;
            break;
          }
          if (index != 0 && !seen[index]) {
            seen[index] = true;
            next.push_back(&r);
          }
        }
        if (foundLeading) break;
      }
      if (foundLeading || next.empty()) break;
      point.level -= 1;
      frontier = std::move(next);
    }
  }
}

void CSlime::PushLeading(BoneNode* core, const D3DXVECTOR3& dir) {
  const D3DXVECTOR3 coreRest = core ? RestOf(core) : D3DXVECTOR3(0, 0, 0);
  for (size_t i = 0; i < meshObject.nodes.size() && i < bonePoints.size(); ++i) {
    BoneNode* q = meshObject.nodes[i];
    if (q == core) ShiftBone(&q->localMatrix, D3DXVECTOR3(0, Wave(0.02f, 0.1f), 0));
    if (!bonePoints[i].leading) continue;
    const D3DXVECTOR3 side = RestOf(q) - coreRest;
    for (int axis = 0; axis < 3; ++axis) {
      const float s = Sign(Axis(side, axis));
      if (s == 0 || s != Axis(dir, axis)) continue;
      D3DXVECTOR3 step(0, 0, 0);
      (axis == 0 ? step.x : (axis == 1 ? step.y : step.z)) = Axis(velocity, axis);
      ShiftBone(&q->localMatrix, step);
    }
  }
}

std::vector<BoneNode*> CSlime::SortedNodes() const {
  std::vector<BonePoint> points = bonePoints;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      if (points[i].level < points[j].level) std::swap(points[i], points[j]);
    }
  }
  std::vector<BoneNode*> nodes;
  nodes.reserve(points.size());
  for (const BonePoint& point : points) nodes.push_back(meshObject.nodes[point.nodeIndex]);
  return nodes;
}

void CSlime::Relax(BoneNode* core) {
  const float a = Wave(0.1f, 0.1f) + 0.2f;
  const size_t count = bonePoints.size();
  for (BoneNode* p : SortedNodes()) {
    const BonePoint& point = bonePoints[p->frame->index];
    if (point.leading) continue;
    D3DXVECTOR3 sum(0, 0, 0);
    int tied = 0;
    for (const BoneNode* n : point.neighbours) {
      const int index = n->frame->index;
      if (index < 0 || static_cast<size_t>(index) >= count) continue;
      if (bonePoints[index].level < point.level) continue;
      ++tied;
      sum += (PlaceInBody(n, core) - PlaceInBody(p, core)) - (RestOf(n) - RestOf(p));
    }
    // A bone with nothing as near the leading side as itself has nothing to follow.
    if (tied == 0) continue;
    ShiftBone(&p->localMatrix, sum * (a / static_cast<float>(tied)));
  }
}

void CSlime::UpdateBones() {
  BoneNode* core = FindCore();
  if (!core) {
    // Without a core there is no soft body: the model follows world as it is.
    meshObject.Update(world);
    return;
  }
  D3DXVECTOR3 dir(Sign(velocity.x), Sign(velocity.y), Sign(velocity.z));
  if (std::fabs(velocity.y) <= 0.02f) dir.y = 0;
  MarkLeading(dir);
  RankBones();
  PushLeading(core, dir);
  Relax(core);
  KeepBonesNearRest(core);
  // Recentre: the core back to local (0, 1, 0), carrying the lattice with it.
  const D3DXVECTOR3 c = TranslationOf(core->localMatrix);
  for (BoneNode* node : meshObject.nodes) {
    node->localMatrix._41 -= c.x;
    node->localMatrix._42 -= c.y - 1.0f;
    node->localMatrix._43 -= c.z;
  }
  meshObject.Update(world);
  CollideBones(core);
}

void CSlime::KeepBonesNearRest(BoneNode* core) {
  // The push and the pull alone let the leading bones run ahead without end: the
  // core they are measured from follows only a fifth of its gap a frame. A bone
  // may stray only so far from where it sits at rest beside the core, so the
  // body squashes and stretches but stays one round slime.
  const D3DXVECTOR3 coreNow = PlaceInBody(core, core);
  const D3DXVECTOR3 coreRest = RestOf(core);
  for (BoneNode* node : meshObject.nodes) {
    if (node == core) continue;
    const D3DXVECTOR3 restSpot = coreNow + (RestOf(node) - coreRest);
    const D3DXVECTOR3 stray = TranslationOf(node->localMatrix) - restSpot;
    const float length = D3DXVec3Length(&stray);
    if (length <= kBoneStray) continue;
    const D3DXVECTOR3 kept = restSpot + stray * (kBoneStray / length);
    node->localMatrix._41 = kept.x;
    node->localMatrix._42 = kept.y;
    node->localMatrix._43 = kept.z;
  }
}

bool CSlime::FootstepDue() {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", Wave(0.05f, 0.1f) + 0.2f);
  return std::atof(text) == 0.25;
}
