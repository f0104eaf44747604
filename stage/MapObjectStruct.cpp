#include "stage/MapObjectStruct.h"

#include <cstdint>
#include <vector>

#include "render/StaticMesh.h"
#include "stage/StageMeshDraw.h"

namespace {

float RowLength(const D3DXMATRIX& m, int row) {
  const D3DXVECTOR3 axis(m.m[row][0], m.m[row][1], m.m[row][2]);
  return D3DXVec3Length(&axis);
}

// The three corner indices of every face, read from a locked index buffer of
// either width.
std::vector<DWORD> ReadFaceIndices(ID3DXMesh* mesh, DWORD faceCount) {
  std::vector<DWORD> corners;
  void* data = nullptr;
  if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data)) || !data) return corners;
  corners.resize(std::size_t(faceCount) * 3);
  if (mesh->GetOptions() & D3DXMESH_32BIT) {
    const auto* indices = static_cast<const std::uint32_t*>(data);
    for (std::size_t i = 0; i < corners.size(); ++i) corners[i] = indices[i];
  } else {
    const auto* indices = static_cast<const std::uint16_t*>(data);
    for (std::size_t i = 0; i < corners.size(); ++i) corners[i] = indices[i];
  }
  mesh->UnlockIndexBuffer();
  return corners;
}

}  // namespace

MapObjectStruct::MapObjectStruct(CStaticMesh* model, const D3DXMATRIX& world,
                                 const std::string& kindText)
    : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}) {
  BuildFaceNormals();
}

MapObjectStruct::MapObjectStruct(CStaticMesh* model, const D3DXMATRIX& world,
                                 const std::string& kindText, WithoutFaceNormals)
    : model(model), world(world), kind(MAP_OBJECT_OTHER), number(0), state(true), index(0) {
  Classify(kindText);
  D3DXMatrixIdentity(&motion);
}

MapObjectStruct::~MapObjectStruct() = default;

void MapObjectStruct::Classify(const std::string& kindText) {
  if (kindText == "Map") {
    kind = MAP_OBJECT_MAP;
  } else if (kindText == "MoveObject") {
    kind = MAP_OBJECT_MOVE;
  } else if (kindText == "CheckPoint") {
    kind = MAP_OBJECT_CHECKPOINT;
  } else if (kindText == "Gate") {
    kind = MAP_OBJECT_GATE;
  } else if (kindText == "Water") {
    kind = MAP_OBJECT_WATER;
  } else if (kindText == "Flag") {
    kind = MAP_OBJECT_FLAG;
  } else {
    kind = MAP_OBJECT_OTHER;
  }
}

void MapObjectStruct::BuildFaceNormals() {
  faceNormals.clear();
  if (kind == MAP_OBJECT_OTHER || !model || !model->mesh) return;
  ID3DXMesh* mesh = model->mesh;
  const DWORD faceCount = mesh->GetNumFaces();
  const DWORD vertexCount = mesh->GetNumVertices();
  const DWORD stride = mesh->GetNumBytesPerVertex();
  if (faceCount == 0 || stride < sizeof(D3DXVECTOR3)) return;

  const std::vector<DWORD> corners = ReadFaceIndices(mesh, faceCount);
  if (corners.empty()) return;
  void* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)) || !data) return;
  const auto* vertices = static_cast<const BYTE*>(data);

  // The scale contained in world is applied to the positions before world
  // itself, so it enters twice; only the direction of the normal is used.
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, RowLength(world, 0), RowLength(world, 1), RowLength(world, 2));
  auto place = [&](const D3DXVECTOR3& position) {
    D3DXVECTOR3 scaled, placed;
    D3DXVec3TransformCoord(&scaled, &position, &scale);
    D3DXVec3TransformNormal(&placed, &scaled, &world);
    return placed;
  };
  // Each vertex is placed once, however many faces share it; a corner that
  // names no vertex of the mesh sits at the origin.
  std::vector<D3DXVECTOR3> placedVertices(vertexCount);
  for (DWORD v = 0; v < vertexCount; ++v) {
    placedVertices[v] =
        place(*reinterpret_cast<const D3DXVECTOR3*>(vertices + std::size_t(v) * stride));
  }
  mesh->UnlockVertexBuffer();
  const D3DXVECTOR3 placedOrigin = place(D3DXVECTOR3(0, 0, 0));
  auto corner = [&](DWORD vertex) {
    return vertex < vertexCount ? placedVertices[vertex] : placedOrigin;
  };

  faceNormals.reserve(faceCount);
  for (DWORD f = 0; f < faceCount; ++f) {
    const D3DXVECTOR3 v0 = corner(corners[f * 3]);
    const D3DXVECTOR3 v1 = corner(corners[f * 3 + 1]);
    const D3DXVECTOR3 v2 = corner(corners[f * 3 + 2]);
    const D3DXVECTOR3 edge1 = v1 - v0;
    const D3DXVECTOR3 edge2 = v2 - v0;
    D3DXVECTOR3 cross, normal;
    D3DXVec3Cross(&cross, &edge1, &edge2);
    D3DXVec3Normalize(&normal, &cross);
    faceNormals.push_back(normal);
  }
}

void MapObjectStruct::Draw() { DrawStageMeshLit(model, world); }

void MapObjectStruct::DrawShadow() {
  if (kind == MAP_OBJECT_WATER) return;
  DrawStageMeshShadow(model, world);
}
