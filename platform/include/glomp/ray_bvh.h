// Ray against triangle list: the exact per-face test D3DXIntersect answers with,
// the brute-force walk over every face, and a bounding-volume hierarchy that
// returns bit-identical answers (same face, same barycentrics, same distance,
// the lowest face index on a tie) while testing only a few faces per ray.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace glomp {

struct RayVec3 {
  float x, y, z;
};

// One hit: the face index, D3DX's barycentrics (hit = p0 + u (p1 - p0) + v (p2 - p0))
// and the distance in units of the ray direction's length.
struct RayHit {
  std::uint32_t face;
  float u, v, distance;
};

// The per-face test (Moller-Trumbore, both sides, hits at distance >= 0).
// Parallel rays, degenerate faces and NaN inputs miss.
bool IntersectTriangle(const RayVec3& p0, const RayVec3& p1, const RayVec3& p2,
                       const RayVec3& origin, const RayVec3& direction, float* u, float* v,
                       float* distance);

// A triangle list as meshes hold it: positions and three indices per face.
struct TriangleList {
  const RayVec3* positions = nullptr;
  std::size_t vertexCount = 0;
  const std::uint32_t* indices = nullptr;
  std::size_t faceCount = 0;
};

// Nearest hit over every face in order; a later face replaces the best only
// when strictly nearer. Faces with an index out of range are skipped.
bool IntersectBruteForce(const TriangleList& mesh, const RayVec3& origin,
                         const RayVec3& direction, RayHit* nearest);

// Every hit, in face order.
void AllHitsBruteForce(const TriangleList& mesh, const RayVec3& origin,
                       const RayVec3& direction, std::vector<RayHit>* hits);

// The hierarchy keeps its own copy of the triangles, so the mesh may change or
// go away afterwards (the owner rebuilds it when the geometry changes).
class RayBvh {
 public:
  explicit RayBvh(const TriangleList& mesh);

  bool Intersect(const RayVec3& origin, const RayVec3& direction, RayHit* nearest) const;
  void AllHits(const RayVec3& origin, const RayVec3& direction,
               std::vector<RayHit>* hits) const;

  std::size_t NodeCount() const { return nodes_.size(); }
  std::size_t TriangleCount() const { return triangles_.size(); }

 private:
  struct Triangle {
    RayVec3 p0, p1, p2;
    std::uint32_t face;
  };
  struct Node {
    float lo[3], hi[3];
    std::uint32_t first;  // leaf: first triangle; inner: index of the second child
    std::uint32_t count;  // leaf: triangle count; inner: 0 (first child follows the node)
  };
  struct RaySetup;

  std::uint32_t Build(std::uint32_t begin, std::uint32_t end, std::vector<RayVec3>& centres);
  template <typename Visit>
  void Walk(const RaySetup& ray, const float* limit, Visit&& visit) const;

  std::vector<Triangle> triangles_;
  std::vector<Node> nodes_;
};

}  // namespace glomp
