// D3DXIntersect on a real mesh: the same answer as the brute-force walk over every
// face, with rays that reach the mesh through scaled and rotated world matrices
// the way the game's ray test takes them into mesh space.
#include <gtest/gtest.h>

#include <d3dx9.h>

#include <bit>
#include <cstring>

#include "glomp/meshcache.h"
#include "glomp/ray_bvh.h"
#include "random_mesh.h"

namespace {

struct Vertex {
  float x, y, z, nx, ny, nz, u, v;
};

ID3DXMesh* MakeMesh(const testmesh::Mesh& source) {
  ID3DXMesh* mesh = nullptr;
  const DWORD faces = static_cast<DWORD>(source.indices.size() / 3);
  const DWORD vertices = static_cast<DWORD>(source.positions.size());
  if (FAILED(D3DXCreateMeshFVF(faces, vertices, D3DXMESH_MANAGED,
                               D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, nullptr, &mesh))) {
    return nullptr;
  }
  Vertex* v = nullptr;
  mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
  for (DWORD i = 0; i < vertices; ++i) {
    v[i] = {source.positions[i].x, source.positions[i].y, source.positions[i].z, 0, 1, 0, 0, 0};
  }
  mesh->UnlockVertexBuffer();
  WORD* index = nullptr;
  mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&index));
  for (std::size_t i = 0; i < source.indices.size(); ++i) index[i] = WORD(source.indices[i]);
  mesh->UnlockIndexBuffer();
  return mesh;
}

D3DXMATRIX World(float sx, float sy, float sz, float yaw, float pitch, float roll, float tx,
                 float ty, float tz) {
  D3DXMATRIX scale, rotation, translation, world;
  D3DXMatrixScaling(&scale, sx, sy, sz);
  D3DXMatrixRotationYawPitchRoll(&rotation, yaw, pitch, roll);
  D3DXMatrixTranslation(&translation, tx, ty, tz);
  world = scale * rotation * translation;
  return world;
}

class D3DXIntersectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = testmesh::LumpySphere(80, 64, 300, 7);
    mesh_ = MakeMesh(source_);
    ASSERT_NE(mesh_, nullptr);
  }
  void TearDown() override {
    if (mesh_) mesh_->Release();
  }
  testmesh::Mesh source_;
  ID3DXMesh* mesh_ = nullptr;
};

}  // namespace

TEST_F(D3DXIntersectTest, EqualsBruteForceUnderScaledAndRotatedWorlds) {
  ASSERT_GE(mesh_->GetNumFaces(), 10000u);
  const D3DXMATRIX worlds[] = {
      World(2, 2, 2, 0, 0, 0, 0, 0, 0),
      World(1, 3, 0.5f, 0.7f, -0.3f, 1.1f, 5, -2, 8),
      World(0.25f, 0.25f, 0.25f, 2.5f, 0.4f, -0.9f, -30, 10, 4),
  };
  const glomp::TriangleList list = source_.List();
  std::size_t rayCount = 0, hits = 0;
  for (std::size_t w = 0; w < std::size(worlds); ++w) {
    D3DXMATRIX inverse;
    ASSERT_NE(D3DXMatrixInverse(&inverse, nullptr, &worlds[w]), nullptr);
    // Rays made around the mesh, then placed in the world as the game would see them.
    for (const auto& ray : testmesh::RandomRays(source_, 34000, 100 + std::uint32_t(w))) {
      D3DXVECTOR3 origin(ray.origin.x, ray.origin.y, ray.origin.z);
      D3DXVECTOR3 direction(ray.direction.x, ray.direction.y, ray.direction.z);
      D3DXVECTOR3 worldOrigin, worldDirection, localOrigin, localDirection;
      D3DXVec3TransformCoord(&worldOrigin, &origin, &worlds[w]);
      D3DXVec3TransformNormal(&worldDirection, &direction, &worlds[w]);
      D3DXVec3TransformCoord(&localOrigin, &worldOrigin, &inverse);
      D3DXVec3TransformNormal(&localDirection, &worldDirection, &inverse);

      BOOL hit = FALSE;
      DWORD face = 0xDEAD;
      float u = -1, v = -1, distance = -1;
      ASSERT_EQ(D3DXIntersect(mesh_, &localOrigin, &localDirection, &hit, &face, &u, &v,
                              &distance, nullptr, nullptr),
                S_OK);
      glomp::RayHit expected{};
      const bool expectedHit = glomp::IntersectBruteForce(
          list, {localOrigin.x, localOrigin.y, localOrigin.z},
          {localDirection.x, localDirection.y, localDirection.z}, &expected);
      ASSERT_EQ(bool(hit), expectedHit) << "world " << w << " ray " << rayCount;
      ++rayCount;
      if (!hit) {
        EXPECT_EQ(face, 0xDEADu);
        continue;
      }
      ++hits;
      ASSERT_EQ(face, expected.face);
      ASSERT_EQ(std::bit_cast<std::uint32_t>(distance),
                std::bit_cast<std::uint32_t>(expected.distance));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(u), std::bit_cast<std::uint32_t>(expected.u));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(v), std::bit_cast<std::uint32_t>(expected.v));
    }
  }
  EXPECT_GE(rayCount, 100000u);
  EXPECT_GT(hits, rayCount / 3);
}

TEST_F(D3DXIntersectTest, HierarchyIsKeptUntilTheGeometryIsWritten) {
  const D3DXVECTOR3 origin(0, 0, -5), along(0, 0, 1);
  BOOL hit = FALSE;
  float distance = 0;
  ASSERT_EQ(D3DXIntersect(mesh_, &origin, &along, &hit, nullptr, nullptr, nullptr, &distance,
                          nullptr, nullptr),
            S_OK);
  ASSERT_TRUE(hit);
  glomp::MeshCache* built = glomp::GetMeshCache(mesh_);
  ASSERT_NE(built, nullptr);

  // Reading leaves it in place.
  void* data = nullptr;
  mesh_->LockVertexBuffer(D3DLOCK_READONLY, &data);
  mesh_->UnlockVertexBuffer();
  EXPECT_EQ(glomp::GetMeshCache(mesh_), built);

  // Moving every vertex 10 units along x must move the answer with it.
  mesh_->LockVertexBuffer(0, &data);
  auto* vertices = static_cast<Vertex*>(data);
  for (DWORD i = 0; i < mesh_->GetNumVertices(); ++i) vertices[i].x += 10;
  mesh_->UnlockVertexBuffer();
  ASSERT_EQ(D3DXIntersect(mesh_, &origin, &along, &hit, nullptr, nullptr, nullptr, &distance,
                          nullptr, nullptr),
            S_OK);
  EXPECT_FALSE(hit);
  const D3DXVECTOR3 moved(10, 0, -5);
  D3DXIntersect(mesh_, &moved, &along, &hit, nullptr, nullptr, nullptr, &distance, nullptr,
                nullptr);
  EXPECT_TRUE(hit);

  // Rewriting the indices (all faces onto vertex 0) also counts.
  mesh_->LockIndexBuffer(0, &data);
  std::memset(data, 0, mesh_->GetNumFaces() * 3 * sizeof(WORD));
  mesh_->UnlockIndexBuffer();
  D3DXIntersect(mesh_, &moved, &along, &hit, nullptr, nullptr, nullptr, &distance, nullptr,
                nullptr);
  EXPECT_FALSE(hit);
}

TEST_F(D3DXIntersectTest, AllHitsListsEveryFaceInOrder) {
  const D3DXVECTOR3 origin(0.01f, 0.02f, -5), along(0, 0, 1);
  BOOL hit = FALSE;
  DWORD face = 0, count = 0;
  ID3DXBuffer* all = nullptr;
  ASSERT_EQ(D3DXIntersect(mesh_, &origin, &along, &hit, &face, nullptr, nullptr, nullptr, &all,
                          &count),
            S_OK);
  ASSERT_TRUE(hit);
  std::vector<glomp::RayHit> expected;
  glomp::AllHitsBruteForce(source_.List(), {0.01f, 0.02f, -5}, {0, 0, 1}, &expected);
  ASSERT_EQ(count, expected.size());
  ASSERT_GE(count, 2u);  // in one side of the sphere and out of the other
  ASSERT_NE(all, nullptr);
  ASSERT_EQ(all->GetBufferSize(), count * sizeof(D3DXINTERSECTINFO));
  const auto* info = static_cast<const D3DXINTERSECTINFO*>(all->GetBufferPointer());
  for (DWORD i = 0; i < count; ++i) {
    EXPECT_EQ(info[i].FaceIndex, expected[i].face);
    EXPECT_EQ(info[i].Dist, expected[i].distance);
  }
  all->Release();

  // A miss: no buffer, count 0, outputs untouched.
  const D3DXVECTOR3 away(0, 0, 5);
  face = 1234;
  all = reinterpret_cast<ID3DXBuffer*>(&count);  // must be overwritten with null
  ASSERT_EQ(D3DXIntersect(mesh_, &away, &along, &hit, &face, nullptr, nullptr, nullptr, &all,
                          &count),
            S_OK);
  EXPECT_FALSE(hit);
  EXPECT_EQ(face, 1234u);
  EXPECT_EQ(all, nullptr);
  EXPECT_EQ(count, 0u);
}

TEST(D3DXIntersectArguments, MissingArgumentsAreRefused) {
  BOOL hit = TRUE;
  const D3DXVECTOR3 origin(0, 0, 0), along(0, 0, 1);
  EXPECT_EQ(D3DXIntersect(nullptr, &origin, &along, &hit, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            D3DERR_INVALIDCALL);
  ID3DXMesh* mesh = nullptr;
  ASSERT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, D3DFVF_XYZ, nullptr, &mesh), S_OK);
  EXPECT_EQ(D3DXIntersect(mesh, nullptr, &along, &hit, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXIntersect(mesh, &origin, &along, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            D3DERR_INVALIDCALL);
  // A mesh of one degenerate face (all corners at the origin) is never hit.
  EXPECT_EQ(D3DXIntersect(mesh, &origin, &along, &hit, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            S_OK);
  EXPECT_FALSE(hit);
  mesh->Release();
}
