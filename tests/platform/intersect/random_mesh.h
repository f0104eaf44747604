// A lumpy closed surface of many faces plus a few duplicated faces (exact ties),
// and random rays around it: the test bed for the ray hierarchy.
#pragma once
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "glomp/ray_bvh.h"

namespace testmesh {

struct Mesh {
  std::vector<glomp::RayVec3> positions;
  std::vector<std::uint32_t> indices;
  glomp::TriangleList List() const {
    return {positions.data(), positions.size(), indices.data(), indices.size() / 3};
  }
};

// A sphere of radius ~1 with bumps, `rings` x `segments` quads split in two,
// then `duplicates` copies of earlier faces appended (same corners, so every ray
// that hits the original hits the copy at the same distance).
inline Mesh LumpySphere(int rings, int segments, int duplicates, std::uint32_t seed) {
  Mesh mesh;
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> bump(0.9f, 1.1f);
  for (int r = 0; r <= rings; ++r) {
    const float theta = 3.14159265f * r / rings;
    for (int s = 0; s < segments; ++s) {
      const float phi = 6.2831853f * s / segments;
      const float radius = (r == 0 || r == rings) ? 1.0f : bump(random);
      mesh.positions.push_back({radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                                radius * std::sin(theta) * std::sin(phi)});
    }
  }
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const std::uint32_t a = r * segments + s, b = r * segments + (s + 1) % segments;
      const std::uint32_t c = a + segments, d = b + segments;
      mesh.indices.insert(mesh.indices.end(), {a, b, c, b, d, c});
    }
  }
  std::uniform_int_distribution<std::size_t> pick(0, mesh.indices.size() / 3 - 1);
  for (int i = 0; i < duplicates; ++i) {
    const std::size_t face = pick(random);
    for (int k = 0; k < 3; ++k) mesh.indices.push_back(mesh.indices[face * 3 + k]);
  }
  return mesh;
}

// Random rays: a third from anywhere around the mesh in any direction, a third
// aimed at a random face's interior, a third aimed exactly at a vertex (edges and
// corners are where padding mistakes would show). Directions have random lengths.
struct Ray {
  glomp::RayVec3 origin, direction;
};

inline std::vector<Ray> RandomRays(const Mesh& mesh, std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f), length(0.2f, 3.0f), far(-4.0f, 4.0f);
  std::uniform_int_distribution<std::size_t> face(0, mesh.indices.size() / 3 - 1);
  std::uniform_int_distribution<std::size_t> vertex(0, mesh.positions.size() - 1);
  std::vector<Ray> rays;
  rays.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const glomp::RayVec3 origin{far(random), far(random), far(random)};
    glomp::RayVec3 target;
    switch (i % 3) {
      case 0:
        target = {origin.x + unit(random), origin.y + unit(random), origin.z + unit(random)};
        break;
      case 1: {
        const std::size_t f = face(random);
        const auto& p0 = mesh.positions[mesh.indices[f * 3]];
        const auto& p1 = mesh.positions[mesh.indices[f * 3 + 1]];
        const auto& p2 = mesh.positions[mesh.indices[f * 3 + 2]];
        float a = std::fabs(unit(random)), b = std::fabs(unit(random));
        if (a + b > 1) a = 1 - a, b = 1 - b;
        target = {p0.x + a * (p1.x - p0.x) + b * (p2.x - p0.x),
                  p0.y + a * (p1.y - p0.y) + b * (p2.y - p0.y),
                  p0.z + a * (p1.z - p0.z) + b * (p2.z - p0.z)};
        break;
      }
      default:
        target = mesh.positions[vertex(random)];
    }
    glomp::RayVec3 d{target.x - origin.x, target.y - origin.y, target.z - origin.z};
    const float n = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const float scale = n > 0 ? length(random) / n : 0.0f;
    rays.push_back({origin, {d.x * scale, d.y * scale, d.z * scale}});
  }
  return rays;
}

}  // namespace testmesh
