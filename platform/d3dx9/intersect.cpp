// D3DXIntersect: the nearest face a ray passes through, answered by a
// bounding-volume hierarchy built once per mesh and kept with it (the mesh drops
// it when its vertices or indices are unlocked after a writing lock).
#include <d3dx9.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "glomp/meshcache.h"
#include "glomp/ray_bvh.h"

namespace {

struct RayHierarchy final : glomp::MeshCache {
  explicit RayHierarchy(const glomp::TriangleList& list) : bvh(list) {}
  glomp::RayBvh bvh;
};

// Reads positions (the first three floats of each vertex) and the indices of
// a mesh into plain arrays and builds the hierarchy over them.
std::unique_ptr<RayHierarchy> BuildHierarchy(ID3DXBaseMesh* mesh) {
  const DWORD vertexCount = mesh->GetNumVertices();
  const DWORD faceCount = mesh->GetNumFaces();
  const DWORD stride = mesh->GetNumBytesPerVertex();
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  std::vector<glomp::RayVec3> positions(vertexCount);
  std::vector<std::uint32_t> indices(std::size_t(faceCount) * 3);

  void* vertices = nullptr;
  if (stride >= 12 && vertexCount > 0 &&
      SUCCEEDED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices))) {
    for (DWORD i = 0; i < vertexCount; ++i) {
      std::memcpy(&positions[i], static_cast<const BYTE*>(vertices) + std::size_t(i) * stride, 12);
    }
    mesh->UnlockVertexBuffer();
  } else {
    positions.clear();
  }
  void* indexData = nullptr;
  if (faceCount > 0 && SUCCEEDED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &indexData))) {
    for (std::size_t i = 0; i < indices.size(); ++i) {
      indices[i] = wide ? static_cast<const std::uint32_t*>(indexData)[i]
                        : static_cast<const WORD*>(indexData)[i];
    }
    mesh->UnlockIndexBuffer();
  } else {
    indices.clear();
  }
  // Faces naming vertices that do not exist are left out (never hit).
  const glomp::TriangleList list{positions.data(), positions.size(), indices.data(),
                                 indices.size() / 3};
  return std::make_unique<RayHierarchy>(list);
}

}  // namespace

HRESULT D3DXIntersect(LPD3DXBASEMESH mesh, const D3DXVECTOR3* rayPos, const D3DXVECTOR3* rayDir,
                      BOOL* hit, DWORD* faceIndex, FLOAT* u, FLOAT* v, FLOAT* dist,
                      LPD3DXBUFFER* allHits, DWORD* countOfHits) {
  if (allHits) *allHits = nullptr;
  if (countOfHits) *countOfHits = 0;
  if (!mesh || !rayPos || !rayDir || !hit) return D3DERR_INVALIDCALL;
  *hit = FALSE;

  auto* cached = dynamic_cast<RayHierarchy*>(glomp::GetMeshCache(mesh));
  std::unique_ptr<RayHierarchy> local;
  if (!cached) {
    // Meshes of this library keep the hierarchy (SetMeshCache takes it over);
    // for any other mesh it is deleted there, and a private one serves this call.
    RayHierarchy* built = BuildHierarchy(mesh).release();
    if (glomp::SetMeshCache(mesh, built)) {
      cached = built;
    } else {
      local = BuildHierarchy(mesh);
      cached = local.get();
    }
  }

  const glomp::RayVec3 origin{rayPos->x, rayPos->y, rayPos->z};
  const glomp::RayVec3 direction{rayDir->x, rayDir->y, rayDir->z};
  glomp::RayHit nearest{};
  if (cached->bvh.Intersect(origin, direction, &nearest)) {
    *hit = TRUE;
    if (faceIndex) *faceIndex = nearest.face;
    if (u) *u = nearest.u;
    if (v) *v = nearest.v;
    if (dist) *dist = nearest.distance;
  }

  if (allHits || countOfHits) {
    std::vector<glomp::RayHit> hits;
    cached->bvh.AllHits(origin, direction, &hits);
    if (countOfHits) *countOfHits = static_cast<DWORD>(hits.size());
    if (allHits && !hits.empty()) {
      const DWORD bytes = static_cast<DWORD>(hits.size() * sizeof(D3DXINTERSECTINFO));
      if (FAILED(D3DXCreateBuffer(bytes, allHits))) return E_OUTOFMEMORY;
      auto* out = static_cast<D3DXINTERSECTINFO*>((*allHits)->GetBufferPointer());
      for (std::size_t i = 0; i < hits.size(); ++i) {
        out[i] = {hits[i].face, hits[i].u, hits[i].v, hits[i].distance};
      }
    }
  }
  return S_OK;
}
