#include "glomp/ray_bvh.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glomp {

namespace {

struct Vec3d {
  double x, y, z;
};
Vec3d SubD(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d CrossD(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double DotD(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float Axis(const RayVec3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// Whether `hit` should replace `best`: strictly nearer, or as near with a lower
// face index. This is what walking every face in order and keeping the first
// strictly nearest one gives, whatever order the faces are visited in.
bool Better(const RayHit& hit, const RayHit& best) {
  return hit.distance < best.distance || (hit.distance == best.distance && hit.face < best.face);
}

constexpr std::uint32_t kLeafSize = 4;

}  // namespace

// Worked in double precision: in single precision a face that is tiny next to
// its distance from the origin (the slivers at a sphere's poles, say) gets
// barycentrics that are pure rounding noise and reports hits nowhere near it.
bool IntersectTriangle(const RayVec3& p0, const RayVec3& p1, const RayVec3& p2,
                       const RayVec3& origin, const RayVec3& direction, float* u, float* v,
                       float* distance) {
  const Vec3d corner{p0.x, p0.y, p0.z};
  const Vec3d edge1 = SubD({p1.x, p1.y, p1.z}, corner);
  const Vec3d edge2 = SubD({p2.x, p2.y, p2.z}, corner);
  const Vec3d dir{direction.x, direction.y, direction.z};
  const Vec3d p = CrossD(dir, edge2);
  const double det = DotD(edge1, p);
  if (!(det != 0.0)) return false;  // parallel, degenerate or NaN
  const double inverse = 1.0 / det;
  const Vec3d toOrigin = SubD({origin.x, origin.y, origin.z}, corner);
  const double hitU = DotD(toOrigin, p) * inverse;
  if (!(hitU >= 0.0 && hitU <= 1.0)) return false;
  const Vec3d q = CrossD(toOrigin, edge1);
  const double hitV = DotD(dir, q) * inverse;
  if (!(hitV >= 0.0 && hitU + hitV <= 1.0)) return false;
  const double t = DotD(edge2, q) * inverse;
  if (!(t >= 0.0) || !(t <= std::numeric_limits<float>::max())) return false;
  *u = static_cast<float>(hitU);
  *v = static_cast<float>(hitV);
  *distance = static_cast<float>(t);
  return true;
}

namespace {

// The three corners of a face, or false when an index is out of range.
bool FaceCorners(const TriangleList& mesh, std::size_t face, RayVec3* p0, RayVec3* p1,
                 RayVec3* p2) {
  const std::uint32_t* i = mesh.indices + face * 3;
  if (i[0] >= mesh.vertexCount || i[1] >= mesh.vertexCount || i[2] >= mesh.vertexCount) {
    return false;
  }
  *p0 = mesh.positions[i[0]];
  *p1 = mesh.positions[i[1]];
  *p2 = mesh.positions[i[2]];
  return true;
}

}  // namespace

bool IntersectBruteForce(const TriangleList& mesh, const RayVec3& origin,
                         const RayVec3& direction, RayHit* nearest) {
  bool found = false;
  RayHit best{0, 0, 0, std::numeric_limits<float>::infinity()};
  for (std::size_t face = 0; face < mesh.faceCount; ++face) {
    RayVec3 p0, p1, p2;
    if (!FaceCorners(mesh, face, &p0, &p1, &p2)) continue;
    RayHit hit{static_cast<std::uint32_t>(face), 0, 0, 0};
    if (!IntersectTriangle(p0, p1, p2, origin, direction, &hit.u, &hit.v, &hit.distance)) {
      continue;
    }
    if (!found || hit.distance < best.distance) best = hit;
    found = true;
  }
  if (found) *nearest = best;
  return found;
}

void AllHitsBruteForce(const TriangleList& mesh, const RayVec3& origin,
                       const RayVec3& direction, std::vector<RayHit>* hits) {
  hits->clear();
  for (std::size_t face = 0; face < mesh.faceCount; ++face) {
    RayVec3 p0, p1, p2;
    if (!FaceCorners(mesh, face, &p0, &p1, &p2)) continue;
    RayHit hit{static_cast<std::uint32_t>(face), 0, 0, 0};
    if (IntersectTriangle(p0, p1, p2, origin, direction, &hit.u, &hit.v, &hit.distance)) {
      hits->push_back(hit);
    }
  }
}

RayBvh::RayBvh(const TriangleList& mesh) {
  triangles_.reserve(mesh.faceCount);
  for (std::size_t face = 0; face < mesh.faceCount; ++face) {
    Triangle t;
    if (!FaceCorners(mesh, face, &t.p0, &t.p1, &t.p2)) continue;
    t.face = static_cast<std::uint32_t>(face);
    triangles_.push_back(t);
  }
  if (triangles_.empty()) return;
  std::vector<RayVec3> centres(triangles_.size());
  for (std::size_t i = 0; i < triangles_.size(); ++i) {
    const Triangle& t = triangles_[i];
    centres[i] = {(t.p0.x + t.p1.x + t.p2.x) / 3, (t.p0.y + t.p1.y + t.p2.y) / 3,
                  (t.p0.z + t.p1.z + t.p2.z) / 3};
  }
  nodes_.reserve(2 * triangles_.size() / kLeafSize + 1);
  Build(0, static_cast<std::uint32_t>(triangles_.size()), centres);
}

// Builds the subtree over triangles [begin, end) by splitting at the median
// centre along the widest axis of the centres. The boxes are padded a little so
// that rounding in the box test can never hide a hit the face test reports.
std::uint32_t RayBvh::Build(std::uint32_t begin, std::uint32_t end,
                            std::vector<RayVec3>& centres) {
  const std::uint32_t index = static_cast<std::uint32_t>(nodes_.size());
  nodes_.push_back({});
  Node node{};
  const float inf = std::numeric_limits<float>::infinity();
  float centreLo[3] = {inf, inf, inf}, centreHi[3] = {-inf, -inf, -inf};
  for (int a = 0; a < 3; ++a) node.lo[a] = inf, node.hi[a] = -inf;
  for (std::uint32_t i = begin; i < end; ++i) {
    const Triangle& t = triangles_[i];
    for (int a = 0; a < 3; ++a) {
      for (const RayVec3* p : {&t.p0, &t.p1, &t.p2}) {
        node.lo[a] = std::min(node.lo[a], Axis(*p, a));
        node.hi[a] = std::max(node.hi[a], Axis(*p, a));
      }
      centreLo[a] = std::min(centreLo[a], Axis(centres[i], a));
      centreHi[a] = std::max(centreHi[a], Axis(centres[i], a));
    }
  }
  float magnitude = 0;
  for (int a = 0; a < 3; ++a) {
    magnitude = std::max({magnitude, std::fabs(node.lo[a]), std::fabs(node.hi[a])});
  }
  const float pad = magnitude * 1e-4f + 1e-30f;
  for (int a = 0; a < 3; ++a) node.lo[a] -= pad, node.hi[a] += pad;

  if (end - begin <= kLeafSize) {
    node.first = begin;
    node.count = end - begin;
    nodes_[index] = node;
    return index;
  }
  int axis = 0;
  for (int a = 1; a < 3; ++a) {
    if (centreHi[a] - centreLo[a] > centreHi[axis] - centreLo[axis]) axis = a;
  }
  const std::uint32_t middle = begin + (end - begin) / 2;
  std::vector<std::uint32_t> order(end - begin);
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = begin + i;
  std::nth_element(order.begin(), order.begin() + (middle - begin), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) {
                     const float ca = Axis(centres[a], axis), cb = Axis(centres[b], axis);
                     return ca < cb || (ca == cb && a < b);
                   });
  std::vector<Triangle> sortedTriangles(order.size());
  std::vector<RayVec3> sortedCentres(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    sortedTriangles[i] = triangles_[order[i]];
    sortedCentres[i] = centres[order[i]];
  }
  std::copy(sortedTriangles.begin(), sortedTriangles.end(), triangles_.begin() + begin);
  std::copy(sortedCentres.begin(), sortedCentres.end(), centres.begin() + begin);

  node.count = 0;
  nodes_[index] = node;
  Build(begin, middle, centres);
  const std::uint32_t second = Build(middle, end, centres);
  nodes_[index].first = second;
  return index;
}

// The ray prepared for the slab test: per axis the reciprocal direction, or, for
// an axis the ray does not move along, just the requirement that the origin lies
// inside the slab (avoids 0 * infinity).
struct RayBvh::RaySetup {
  RayVec3 origin, direction;
  float o[3], inverse[3];
  float pad;  // rounding in the face test grows with the origin's distance
  bool still[3];

  RaySetup(const RayVec3& from, const RayVec3& along) : origin(from), direction(along) {
    pad = 1e-5f * std::max({std::fabs(from.x), std::fabs(from.y), std::fabs(from.z)});
    for (int a = 0; a < 3; ++a) {
      o[a] = Axis(from, a);
      const float d = Axis(along, a);
      still[a] = d == 0.0f;
      inverse[a] = still[a] ? 0.0f : 1.0f / d;
    }
  }

  // Entry distance into the box, or false when the ray misses it or the box
  // lies entirely behind the origin.
  bool Enter(const Node& node, float* entry) const {
    float near = -std::numeric_limits<float>::infinity();
    float far = std::numeric_limits<float>::infinity();
    for (int a = 0; a < 3; ++a) {
      const float lo = node.lo[a] - pad, hi = node.hi[a] + pad;
      if (still[a]) {
        if (o[a] < lo || o[a] > hi) return false;
        continue;
      }
      float t0 = (lo - o[a]) * inverse[a];
      float t1 = (hi - o[a]) * inverse[a];
      if (t0 > t1) std::swap(t0, t1);
      near = std::max(near, t0);
      far = std::min(far, t1);
    }
    if (!(near <= far) || far < 0.0f) return false;
    *entry = near;
    return true;
  }
};

// Visits every leaf triangle whose boxes the ray enters, nearer child first.
// With a limit, boxes entered clearly beyond *limit are skipped; the margin keeps
// faces at exactly the limit distance (ties) in play.
template <typename Visit>
void RayBvh::Walk(const RaySetup& ray, const float* limit, Visit&& visit) const {
  if (nodes_.empty()) return;
  struct Pending {
    std::uint32_t node;
    float entry;
  };
  Pending stack[96];
  int top = 0;
  float rootEntry;
  if (!ray.Enter(nodes_[0], &rootEntry)) return;
  stack[top++] = {0, rootEntry};
  while (top > 0) {
    const Pending pending = stack[--top];
    if (limit && pending.entry > *limit + std::fabs(*limit) * 1e-4f) continue;
    const Node& node = nodes_[pending.node];
    if (node.count > 0) {
      for (std::uint32_t i = node.first; i < node.first + node.count; ++i) visit(triangles_[i]);
      continue;
    }
    const std::uint32_t first = pending.node + 1;
    const std::uint32_t second = node.first;
    float entryFirst = 0, entrySecond = 0;
    const bool hitFirst = ray.Enter(nodes_[first], &entryFirst);
    const bool hitSecond = ray.Enter(nodes_[second], &entrySecond);
    // Push the farther child first so the nearer one is examined next.
    if (hitFirst && hitSecond) {
      const bool firstNearer = entryFirst <= entrySecond;
      stack[top++] = firstNearer ? Pending{second, entrySecond} : Pending{first, entryFirst};
      stack[top++] = firstNearer ? Pending{first, entryFirst} : Pending{second, entrySecond};
    } else if (hitFirst) {
      stack[top++] = {first, entryFirst};
    } else if (hitSecond) {
      stack[top++] = {second, entrySecond};
    }
  }
}

bool RayBvh::Intersect(const RayVec3& origin, const RayVec3& direction, RayHit* nearest) const {
  const RaySetup ray(origin, direction);
  bool found = false;
  RayHit best{0, 0, 0, std::numeric_limits<float>::infinity()};
  Walk(ray, &best.distance, [&](const Triangle& t) {
    RayHit hit{t.face, 0, 0, 0};
    if (!IntersectTriangle(t.p0, t.p1, t.p2, ray.origin, ray.direction, &hit.u, &hit.v,
                           &hit.distance)) {
      return;
    }
    if (!found || Better(hit, best)) best = hit;
    found = true;
  });
  if (found) *nearest = best;
  return found;
}

void RayBvh::AllHits(const RayVec3& origin, const RayVec3& direction,
                     std::vector<RayHit>* hits) const {
  const RaySetup ray(origin, direction);
  hits->clear();
  Walk(ray, nullptr, [&](const Triangle& t) {
    RayHit hit{t.face, 0, 0, 0};
    if (IntersectTriangle(t.p0, t.p1, t.p2, ray.origin, ray.direction, &hit.u, &hit.v,
                          &hit.distance)) {
      hits->push_back(hit);
    }
  });
  std::sort(hits->begin(), hits->end(),
            [](const RayHit& a, const RayHit& b) { return a.face < b.face; });
}

}  // namespace glomp
