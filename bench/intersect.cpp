// Rays per second against a mesh of about 10 000 faces: the brute-force walk over
// every face against the bounding-volume hierarchy D3DXIntersect uses.
#include <benchmark/benchmark.h>

#include <cstring>

#include <d3dx9.h>

#include "../tests/platform/intersect/random_mesh.h"
#include "glomp/ray_bvh.h"

namespace {

const testmesh::Mesh& BenchMesh() {
  static const testmesh::Mesh mesh = testmesh::LumpySphere(80, 64, 300, 7);
  return mesh;
}

const std::vector<testmesh::Ray>& BenchRays() {
  static const std::vector<testmesh::Ray> rays = testmesh::RandomRays(BenchMesh(), 4096, 21);
  return rays;
}

void BM_BruteForce(benchmark::State& state) {
  const glomp::TriangleList list = BenchMesh().List();
  const auto& rays = BenchRays();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& ray = rays[i++ % rays.size()];
    glomp::RayHit hit;
    benchmark::DoNotOptimize(glomp::IntersectBruteForce(list, ray.origin, ray.direction, &hit));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["faces"] = static_cast<double>(list.faceCount);
}
BENCHMARK(BM_BruteForce);

void BM_Hierarchy(benchmark::State& state) {
  const glomp::RayBvh bvh(BenchMesh().List());
  const auto& rays = BenchRays();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& ray = rays[i++ % rays.size()];
    glomp::RayHit hit;
    benchmark::DoNotOptimize(bvh.Intersect(ray.origin, ray.direction, &hit));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["faces"] = static_cast<double>(bvh.TriangleCount());
}
BENCHMARK(BM_Hierarchy);

// The call the game makes: D3DXIntersect on an ID3DXMesh, hierarchy cached with it.
void BM_D3DXIntersect(benchmark::State& state) {
  const testmesh::Mesh& source = BenchMesh();
  ID3DXMesh* mesh = nullptr;
  const DWORD faces = static_cast<DWORD>(source.indices.size() / 3);
  if (FAILED(D3DXCreateMeshFVF(faces, static_cast<DWORD>(source.positions.size()),
                               D3DXMESH_MANAGED, D3DFVF_XYZ, nullptr, &mesh))) {
    state.SkipWithError("mesh creation failed");
    return;
  }
  void* data = nullptr;
  mesh->LockVertexBuffer(0, &data);
  std::memcpy(data, source.positions.data(), source.positions.size() * 12);
  mesh->UnlockVertexBuffer();
  mesh->LockIndexBuffer(0, &data);
  for (std::size_t i = 0; i < source.indices.size(); ++i) {
    static_cast<WORD*>(data)[i] = static_cast<WORD>(source.indices[i]);
  }
  mesh->UnlockIndexBuffer();
  const auto& rays = BenchRays();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& ray = rays[i++ % rays.size()];
    const D3DXVECTOR3 origin(ray.origin.x, ray.origin.y, ray.origin.z);
    const D3DXVECTOR3 direction(ray.direction.x, ray.direction.y, ray.direction.z);
    BOOL hit = FALSE;
    DWORD face = 0;
    float distance = 0;
    D3DXIntersect(mesh, &origin, &direction, &hit, &face, nullptr, nullptr, &distance, nullptr,
                  nullptr);
    benchmark::DoNotOptimize(hit);
  }
  state.SetItemsProcessed(state.iterations());
  mesh->Release();
}
BENCHMARK(BM_D3DXIntersect);

void BM_HierarchyBuild(benchmark::State& state) {
  for (auto _ : state) {
    glomp::RayBvh bvh(BenchMesh().List());
    benchmark::DoNotOptimize(bvh.NodeCount());
  }
}
BENCHMARK(BM_HierarchyBuild)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
