#include "stage/MOS_Move.h"

#include <algorithm>
#include <cmath>

#include "app/GraphicsDevice.h"
#include "common/Helpers.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace {

// The path line's vertices: position, colour, one (unused) texture coordinate pair.
struct PathVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kPathVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr D3DCOLOR kPathColour = 0xFFFF0000;
static_assert(sizeof(PathVertex) == 24);

// Units of path the dashes mark at most: many times the length of the stage.
constexpr float kMostMarkedLength = 4096.0f;

}  // namespace

MOS_Move::MOS_Move(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                   const D3DXVECTOR3& moveVector, int number)
    : MapObjectStruct(model, world, kindText),
      baseWorld(world),
      moveVector(moveVector),
      phaseCounter(0) {
  this->number = number;
  D3DXMatrixIdentity(&offset);
  BuildDashPoints();
}

void MOS_Move::BuildDashPoints() {
  dashPoints.clear();
  const float length = D3DXVec3Length(&moveVector);
  // A mistyped move vector must not make millions of points: a path longer than
  // any stage is marked along its first stretch only, and one whose length is not
  // a number (or does not fit a float) is not marked.
  if (!std::isfinite(length)) return;
  int count = static_cast<int>(std::min(length, kMostMarkedLength));
  if (count <= 0) return;
  D3DXVECTOR3 step;
  D3DXVec3Normalize(&step, &moveVector);
  D3DXVECTOR3 start(0, 0, 0);
  if (count % 2 == 1) {
    start = 0.5f * step;
    --count;
  }
  const D3DXVECTOR3 place(world._41, world._42, world._43);
  for (int i = 0; i < count; ++i) dashPoints.push_back(place + start + float(i) * step);
}

bool MOS_Move::LinkReached() const {
  const CStage* stage = RunningStage();
  if (!stage || !stage->objects) return false;
  // The stage files place the checkpoint of a number before the blocks that
  // carry it. A block whose number no checkpoint carries stands still.
  for (const MapObjectStruct* object : stage->objects->Objects()) {
    if (object->kind == MAP_OBJECT_CHECKPOINT && object->number == number) return object->state;
  }
  return false;
}

void MOS_Move::Update() {
  state = number == 0 || LinkReached();
  if (!state) return;

  D3DXVECTOR3 displacement(0, 0, 0);
  for (int axis = 0; axis < 3; ++axis) {
    const float m = moveVector[axis];
    if (m == 0.0f) continue;
    // Starts at sin ≈ 1 (no displacement) and follows the sine to m and back.
    const float w = Wave(m, 0.01f, phaseCounter + 157);
    const float d = std::fabs((w - m) * 0.5f);
    displacement[axis] = m < 0.0f ? -d : d;
    ++phaseCounter;
  }
  D3DXMatrixTranslation(&offset, displacement.x, displacement.y, displacement.z);

  D3DXMATRIX old;
  const bool invertible = D3DXMatrixInverse(&old, nullptr, &world) != nullptr;
  const D3DXVECTOR3 before(world._41, world._42, world._43);
  world = baseWorld * offset;
  if (invertible) {
    motion = old * world;
  } else {
    // A block scaled to nothing in one axis: carry riders by the step alone.
    D3DXMatrixTranslation(&motion, world._41 - before.x, world._42 - before.y,
                          world._43 - before.z);
  }
}

void MOS_Move::DrawOverlay() {
  if (!state || dashPoints.size() < 2) return;
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (!device) return;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  device->SetFVF(kPathVertexFormat);
  device->SetTexture(0, nullptr);
  device->SetTransform(D3DTS_WORLD, &identity);
  for (std::size_t k = 0; k + 1 < dashPoints.size(); k += 2) {
    const D3DXVECTOR3& a = dashPoints[k];
    const D3DXVECTOR3& b = dashPoints[k + 1];
    const PathVertex line[2] = {{a.x, a.y, a.z, kPathColour, 0, 0},
                                {b.x, b.y, b.z, kPathColour, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(PathVertex));
  }
}
