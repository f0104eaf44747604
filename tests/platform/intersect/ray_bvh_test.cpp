#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "glomp/ray_bvh.h"
#include "random_mesh.h"

using glomp::RayHit;
using glomp::RayVec3;

namespace {

void ExpectSameHit(bool expectedFound, const RayHit& expected, bool found, const RayHit& hit,
                   std::size_t rayIndex) {
  ASSERT_EQ(expectedFound, found) << "ray " << rayIndex;
  if (!found) return;
  ASSERT_EQ(expected.face, hit.face) << "ray " << rayIndex;
  ASSERT_EQ(std::bit_cast<std::uint32_t>(expected.distance),
            std::bit_cast<std::uint32_t>(hit.distance))
      << "ray " << rayIndex;
  ASSERT_EQ(std::bit_cast<std::uint32_t>(expected.u), std::bit_cast<std::uint32_t>(hit.u));
  ASSERT_EQ(std::bit_cast<std::uint32_t>(expected.v), std::bit_cast<std::uint32_t>(hit.v));
}

}  // namespace

TEST(TriangleTest, ReportsBarycentricsAndDistanceInDirectionUnits) {
  const RayVec3 p0{0, 0, 0}, p1{1, 0, 0}, p2{0, 1, 0};
  float u = -1, v = -1, t = -1;
  ASSERT_TRUE(glomp::IntersectTriangle(p0, p1, p2, {0.25f, 0.5f, -2}, {0, 0, 2}, &u, &v, &t));
  EXPECT_FLOAT_EQ(u, 0.25f);
  EXPECT_FLOAT_EQ(v, 0.5f);
  EXPECT_FLOAT_EQ(t, 1.0f);  // 2 units away along a direction of length 2
  // Both sides are hit; behind the origin, parallel and NaN rays are not.
  EXPECT_TRUE(glomp::IntersectTriangle(p0, p1, p2, {0.25f, 0.25f, 2}, {0, 0, -1}, &u, &v, &t));
  EXPECT_FALSE(glomp::IntersectTriangle(p0, p1, p2, {0.25f, 0.25f, 2}, {0, 0, 1}, &u, &v, &t));
  EXPECT_FALSE(glomp::IntersectTriangle(p0, p1, p2, {0.25f, 0.25f, 2}, {1, 0, 0}, &u, &v, &t));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(glomp::IntersectTriangle(p0, p1, p2, {nan, 0.25f, 2}, {0, 0, -1}, &u, &v, &t));
  EXPECT_FALSE(glomp::IntersectTriangle(p0, p1, p2, {0.25f, 0.25f, 2}, {0, 0, 0}, &u, &v, &t));
  // A degenerate face is never hit.
  EXPECT_FALSE(glomp::IntersectTriangle(p0, p1, p1, {0.5f, 0, 2}, {0, 0, -1}, &u, &v, &t));
}

TEST(BruteForce, KeepsTheFirstOfEqualDistancesAndSkipsBadIndices) {
  const RayVec3 positions[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 0, -1}, {0, 1, -1}};
  // Face 0 is an out-of-range face, 1 the far one, 2 and 3 the same near face.
  const std::uint32_t indices[] = {0, 1, 9, 0, 1, 2, 3, 4, 5, 3, 4, 5};
  const glomp::TriangleList list{positions, 6, indices, 4};
  RayHit hit{};
  ASSERT_TRUE(glomp::IntersectBruteForce(list, {0.2f, 0.2f, -3}, {0, 0, 1}, &hit));
  EXPECT_EQ(hit.face, 2u);
  EXPECT_FLOAT_EQ(hit.distance, 2.0f);
  const glomp::RayBvh bvh(list);
  RayHit fast{};
  ASSERT_TRUE(bvh.Intersect({0.2f, 0.2f, -3}, {0, 0, 1}, &fast));
  EXPECT_EQ(fast.face, 2u);
  std::vector<RayHit> all;
  bvh.AllHits({0.2f, 0.2f, -3}, {0, 0, 1}, &all);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].face, 1u);
  EXPECT_EQ(all[2].face, 3u);
  // A miss leaves the output alone.
  RayHit untouched{77, 1, 2, 3};
  EXPECT_FALSE(bvh.Intersect({5, 5, -3}, {0, 0, 1}, &untouched));
  EXPECT_EQ(untouched.face, 77u);
}

TEST(RayBvh, EmptyMeshHitsNothing) {
  const glomp::RayBvh bvh(glomp::TriangleList{});
  RayHit hit{};
  EXPECT_FALSE(bvh.Intersect({0, 0, 0}, {0, 0, 1}, &hit));
  EXPECT_EQ(bvh.NodeCount(), 0u);
}

// The hierarchy must give exactly the brute-force answer: same face (the lower
// index on ties between duplicated faces), same bits for distance and barycentrics.
TEST(RayBvh, EqualsBruteForceOnRandomRays) {
  const testmesh::Mesh mesh = testmesh::LumpySphere(80, 64, 300, 7);
  const glomp::TriangleList list = mesh.List();
  ASSERT_GE(list.faceCount, 10000u);
  const glomp::RayBvh bvh(list);
  EXPECT_EQ(bvh.TriangleCount(), list.faceCount);
  const auto rays = testmesh::RandomRays(mesh, 20000, 11);
  std::size_t hits = 0, tiesSeen = 0;
  for (std::size_t i = 0; i < rays.size(); ++i) {
    RayHit expected{}, hit{};
    const bool expectedFound =
        glomp::IntersectBruteForce(list, rays[i].origin, rays[i].direction, &expected);
    const bool found = bvh.Intersect(rays[i].origin, rays[i].direction, &hit);
    ExpectSameHit(expectedFound, expected, found, hit, i);
    if (HasFatalFailure()) return;
    hits += found;
    if (found && expected.face >= 80u * 64u * 2u) ++tiesSeen;
  }
  // The rays must actually exercise hits, misses and the duplicated faces.
  EXPECT_GT(hits, rays.size() / 3);
  EXPECT_LT(hits, rays.size());
  EXPECT_EQ(tiesSeen, 0u);  // a duplicate never wins against its lower-numbered original
}

TEST(RayBvh, AllHitsEqualBruteForce) {
  const testmesh::Mesh mesh = testmesh::LumpySphere(40, 32, 50, 3);
  const glomp::RayBvh bvh(mesh.List());
  const auto rays = testmesh::RandomRays(mesh, 3000, 5);
  for (const auto& ray : rays) {
    std::vector<RayHit> expected, all;
    glomp::AllHitsBruteForce(mesh.List(), ray.origin, ray.direction, &expected);
    bvh.AllHits(ray.origin, ray.direction, &all);
    ASSERT_EQ(expected.size(), all.size());
    for (std::size_t k = 0; k < all.size(); ++k) {
      ASSERT_EQ(expected[k].face, all[k].face);
      ASSERT_EQ(expected[k].distance, all[k].distance);
    }
  }
}
