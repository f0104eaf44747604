// Rays per second against a mesh of about 10 000 faces: the brute-force walk over
// every face against the bounding-volume hierarchy D3DXIntersect uses.
#include <benchmark/benchmark.h>

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

void BM_HierarchyBuild(benchmark::State& state) {
  for (auto _ : state) {
    glomp::RayBvh bvh(BenchMesh().List());
    benchmark::DoNotOptimize(bvh.NodeCount());
  }
}
BENCHMARK(BM_HierarchyBuild)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
