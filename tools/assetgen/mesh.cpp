#include "mesh.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace assetgen {

float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

Vec3 Normalize(Vec3 a) {
  const float l = Length(a);
  return l > 0 ? a * (1.0f / l) : Vec3{0, 1, 0};
}

int Mesh::AddMaterial(const Material& m) {
  materials.push_back(m);
  return static_cast<int>(materials.size()) - 1;
}

uint32_t Mesh::AddVertex(Vec3 p, Vec3 n, Vec2 uv) {
  positions.push_back(p);
  normals.push_back(n);
  uvs.push_back(uv);
  return static_cast<uint32_t>(positions.size() - 1);
}

void Mesh::AddTriangle(uint32_t a, uint32_t b, uint32_t c, Vec3 outward, int material) {
  const Vec3 e1 = positions[b] - positions[a], e2 = positions[c] - positions[a];
  const Vec3 n = Cross(e1, e2);
  // Degenerate (or a sliver that six decimals would flatten): nothing to draw or hit.
  if (Length(n) <= 1e-6f * Length(e1) * Length(e2) || Length(n) < 1e-10f) return;
  if (Dot(n, outward) < 0) std::swap(b, c);
  indices.insert(indices.end(), {a, b, c});
  faceMaterial.push_back(material);
}

void Mesh::AddQuad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 outward, Vec2 t0, Vec2 t1, Vec2 t2,
                   Vec2 t3, int material) {
  const Vec3 n = Normalize(outward);
  const uint32_t a = AddVertex(p0, n, t0), b = AddVertex(p1, n, t1);
  const uint32_t c = AddVertex(p2, n, t2), d = AddVertex(p3, n, t3);
  AddTriangle(a, b, c, n, material);
  AddTriangle(a, c, d, n, material);
}

void Mesh::Append(const Mesh& other) {
  const uint32_t base = static_cast<uint32_t>(positions.size());
  const int matBase = static_cast<int>(materials.size());
  positions.insert(positions.end(), other.positions.begin(), other.positions.end());
  normals.insert(normals.end(), other.normals.begin(), other.normals.end());
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  for (uint32_t i : other.indices) indices.push_back(i + base);
  for (int f : other.faceMaterial) faceMaterial.push_back(f + matBase);
  materials.insert(materials.end(), other.materials.begin(), other.materials.end());
}

void AddBox(Mesh& m, Vec3 lo, Vec3 hi, int topMaterial, int sideMaterial, float tile,
            int bottomMaterial) {
  if (bottomMaterial < 0) bottomMaterial = sideMaterial;
  const float s = 1.0f / tile;
  // Top (+y) and bottom (-y).
  m.AddQuad({lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z},
            {0, 1, 0}, {lo.x * s, -lo.z * s}, {lo.x * s, -hi.z * s}, {hi.x * s, -hi.z * s},
            {hi.x * s, -lo.z * s}, topMaterial);
  m.AddQuad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z},
            {0, -1, 0}, {lo.x * s, lo.z * s}, {hi.x * s, lo.z * s}, {hi.x * s, hi.z * s},
            {lo.x * s, hi.z * s}, bottomMaterial);
  // Sides: v runs down from the top edge so textures with a grass rim sit on top.
  const float vt = 0, vb = (hi.y - lo.y) * s;
  m.AddQuad({lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z},
            {0, 0, -1}, {lo.x * s, vt}, {hi.x * s, vt}, {hi.x * s, vb}, {lo.x * s, vb},
            sideMaterial);
  m.AddQuad({hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
            {0, 0, 1}, {-hi.x * s, vt}, {-lo.x * s, vt}, {-lo.x * s, vb}, {-hi.x * s, vb},
            sideMaterial);
  m.AddQuad({lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z},
            {-1, 0, 0}, {-hi.z * s, vt}, {-lo.z * s, vt}, {-lo.z * s, vb}, {-hi.z * s, vb},
            sideMaterial);
  m.AddQuad({hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z},
            {1, 0, 0}, {lo.z * s, vt}, {hi.z * s, vt}, {hi.z * s, vb}, {lo.z * s, vb},
            sideMaterial);
}

void AddCylinder(Mesh& m, float cx, float cz, float y0, float y1, float r0, float r1, int segments,
                 int sideMaterial, int capMaterial, float tile) {
  const float kTwoPi = 6.2831853f;
  const float slope = (r0 - r1) / (y1 - y0);
  const float around = kTwoPi * std::max(r0, r1) / tile;
  std::vector<uint32_t> bottom, top;
  for (int i = 0; i <= segments; ++i) {
    const float a = kTwoPi * i / segments;
    const float c = std::cos(a), s = std::sin(a);
    const Vec3 n = Normalize({c, slope, s});
    const float u = around * i / segments;
    bottom.push_back(m.AddVertex({cx + r0 * c, y0, cz + r0 * s}, n, {u, (y1 - y0) / tile}));
    top.push_back(m.AddVertex({cx + r1 * c, y1, cz + r1 * s}, n, {u, 0}));
  }
  for (int i = 0; i < segments; ++i) {
    const float a = kTwoPi * (i + 0.5f) / segments;
    const Vec3 out{std::cos(a), 0, std::sin(a)};
    m.AddTriangle(bottom[i], top[i], top[i + 1], out, sideMaterial);
    m.AddTriangle(bottom[i], top[i + 1], bottom[i + 1], out, sideMaterial);
  }
  if (capMaterial < 0) return;
  for (int cap = 0; cap < 2; ++cap) {
    const float y = cap ? y1 : y0, r = cap ? r1 : r0;
    if (r <= 0) continue;
    const Vec3 n{0, cap ? 1.0f : -1.0f, 0};
    const uint32_t centre = m.AddVertex({cx, y, cz}, n, {cx / tile, cz / tile});
    std::vector<uint32_t> ring;
    for (int i = 0; i <= segments; ++i) {
      const float a = kTwoPi * i / segments;
      const Vec3 p{cx + r * std::cos(a), y, cz + r * std::sin(a)};
      ring.push_back(m.AddVertex(p, n, {p.x / tile, p.z / tile}));
    }
    for (int i = 0; i < segments; ++i) m.AddTriangle(centre, ring[i], ring[i + 1], n, capMaterial);
  }
}

void AddSphere(Mesh& m, Vec3 centre, Vec3 radii, int rings, int segments, int material, bool inward,
               float vFrom, float vTo) {
  const float kPi = 3.14159265f;
  std::vector<std::vector<uint32_t>> grid(rings + 1);
  for (int r = 0; r <= rings; ++r) {
    const float v = vFrom + (vTo - vFrom) * r / rings;
    const float polar = kPi * v;  // 0 at the top
    // sin(pi) is not quite 0 in floats: keep the poles exact so the faces
    // that meet there are dropped as degenerate, not kept as slivers.
    const float ring = (v <= 0.0f || v >= 1.0f) ? 0.0f : std::sin(polar);
    for (int s = 0; s <= segments; ++s) {
      const float az = 2 * kPi * s / segments;
      // u = 0.5 faces -z (the slime's face looks that way); u grows to the right
      // seen from there.
      const Vec3 dir{-ring * std::sin(az), std::cos(polar), ring * std::cos(az)};
      const Vec3 p{centre.x + radii.x * dir.x, centre.y + radii.y * dir.y,
                   centre.z + radii.z * dir.z};
      Vec3 n = Normalize({dir.x / radii.x, dir.y / radii.y, dir.z / radii.z});
      if (inward) n = n * -1.0f;
      grid[r].push_back(m.AddVertex(p, n, {static_cast<float>(s) / segments, v}));
    }
  }
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const uint32_t a = grid[r][s], b = grid[r][s + 1], c = grid[r + 1][s + 1], d = grid[r + 1][s];
      const Vec3 mid = (m.positions[a] + m.positions[c]) * 0.5f - centre;
      const Vec3 out = inward ? mid * -1.0f : mid;
      m.AddTriangle(a, b, c, out, material);
      m.AddTriangle(a, c, d, out, material);
    }
  }
}

void AddRamp(Mesh& m, float x0, float x1, float z0, float z1, float base, float y0, float y1,
             int topMaterial, int sideMaterial, float tile) {
  const float s = 1.0f / tile;
  const Vec3 slopeNormal = Normalize({-(y1 - y0), x1 - x0, 0});
  const float len = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
  m.AddQuad({x0, y0, z0}, {x0, y0, z1}, {x1, y1, z1}, {x1, y1, z0}, slopeNormal, {0, -z0 * s},
            {0, -z1 * s}, {len * s, -z1 * s}, {len * s, -z0 * s}, topMaterial);
  m.AddQuad({x0, base, z0}, {x1, base, z0}, {x1, base, z1}, {x0, base, z1}, {0, -1, 0},
            {x0 * s, z0 * s}, {x1 * s, z0 * s}, {x1 * s, z1 * s}, {x0 * s, z1 * s}, sideMaterial);
  m.AddQuad({x1, y1, z0}, {x1, y1, z1}, {x1, base, z1}, {x1, base, z0}, {1, 0, 0}, {z0 * s, 0},
            {z1 * s, 0}, {z1 * s, (y1 - base) * s}, {z0 * s, (y1 - base) * s}, sideMaterial);
  if (y0 > base) {
    m.AddQuad({x0, y0, z1}, {x0, y0, z0}, {x0, base, z0}, {x0, base, z1}, {-1, 0, 0}, {z1 * s, 0},
              {z0 * s, 0}, {z0 * s, (y0 - base) * s}, {z1 * s, (y0 - base) * s}, sideMaterial);
  }
  for (int side = 0; side < 2; ++side) {
    const float z = side ? z1 : z0;
    const Vec3 n{0, 0, side ? 1.0f : -1.0f};
    const uint32_t a = m.AddVertex({x0, base, z}, n, {x0 * s, 0});
    const uint32_t b = m.AddVertex({x1, base, z}, n, {x1 * s, 0});
    const uint32_t c = m.AddVertex({x1, y1, z}, n, {x1 * s, (y1 - base) * s});
    const uint32_t d = m.AddVertex({x0, y0, z}, n, {x0 * s, (y0 - base) * s});
    m.AddTriangle(a, b, c, n, sideMaterial);
    m.AddTriangle(a, c, d, n, sideMaterial);
  }
}

void TransformMesh(Mesh& m, float yawDegrees, Vec3 offset) {
  const float a = yawDegrees * 0.017453292f;
  const float c = std::cos(a), s = std::sin(a);
  // D3DX RotationY for row vectors: x' = x c + z s, z' = -x s + z c.
  auto turn = [&](Vec3 v) { return Vec3{v.x * c + v.z * s, v.y, -v.x * s + v.z * c}; };
  for (auto& p : m.positions) p = turn(p) + offset;
  for (auto& n : m.normals) n = turn(n);
}

std::string FormatFloat(float v) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(v));
  std::string out = text;
  if (out == "-0.000000") out = "0.000000";
  return out;
}

namespace {

std::string Vec3Text(Vec3 v) {
  return FormatFloat(v.x) + ";" + FormatFloat(v.y) + ";" + FormatFloat(v.z) + ";";
}

std::string MaterialToX(const Material& mat, const std::string& in) {
  std::string s = in + "Material {\n";
  s += in + " " + FormatFloat(mat.r) + ";" + FormatFloat(mat.g) + ";" + FormatFloat(mat.b) + ";" +
       FormatFloat(mat.a) + ";;\n";
  s += in + " " + FormatFloat(mat.power) + ";\n";
  s += in + " " + FormatFloat(mat.sr) + ";" + FormatFloat(mat.sg) + ";" + FormatFloat(mat.sb) +
       ";;\n";
  s += in + " 0.000000;0.000000;0.000000;;\n";
  if (!mat.texture.empty()) {
    s += in + " TextureFilename {\n" + in + "  \"" + mat.texture + "\";\n" + in + " }\n";
  }
  s += in + "}\n";
  return s;
}

}  // namespace

std::string MeshToX(const Mesh& m, const std::string& name, const std::string& in) {
  const size_t nv = m.positions.size(), nf = m.FaceCount();
  std::string s = in + "Mesh " + name + " {\n";
  s += in + " " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) {
    s += in + " " + Vec3Text(m.positions[i]) + (i + 1 < nv ? ",\n" : ";\n");
  }
  std::string faces = in + " " + std::to_string(nf) + ";\n";
  for (size_t f = 0; f < nf; ++f) {
    faces += in + " 3;" + std::to_string(m.indices[3 * f]) + "," +
             std::to_string(m.indices[3 * f + 1]) + "," + std::to_string(m.indices[3 * f + 2]) +
             ";" + (f + 1 < nf ? ",\n" : ";\n");
  }
  s += faces;
  s += in + " MeshNormals {\n";
  s += in + "  " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) {
    s += in + "  " + Vec3Text(m.normals[i]) + (i + 1 < nv ? ",\n" : ";\n");
  }
  s += faces;
  s += in + " }\n";
  s += in + " MeshTextureCoords {\n";
  s += in + "  " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) {
    s += in + "  " + FormatFloat(m.uvs[i].u) + ";" + FormatFloat(m.uvs[i].v) + ";" +
         (i + 1 < nv ? ",\n" : ";\n");
  }
  s += in + " }\n";
  s += in + " MeshMaterialList {\n";
  s += in + "  " + std::to_string(m.materials.size()) + ";\n";
  s += in + "  " + std::to_string(nf) + ";\n";
  for (size_t f = 0; f < nf; ++f) {
    s += in + "  " + std::to_string(m.faceMaterial[f]) + (f + 1 < nf ? ",\n" : ";\n");
  }
  for (const Material& mat : m.materials) s += MaterialToX(mat, in + "  ");
  s += in + " }\n";
  return s;  // the caller closes the Mesh block (skin data may follow)
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  return WriteBinaryFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path p(path);
  std::error_code ec;
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteStaticModel(const std::string& path, const Mesh& m, const std::string& meshName) {
  if (m.positions.size() > 65535) {
    std::fprintf(stderr, "assetgen: %s has more vertices than 16-bit indices reach\n",
                 path.c_str());
    return false;
  }
  std::string s = "xof 0303txt 0032\n\n";
  s += MeshToX(m, meshName, "");
  s += "}\n";
  return WriteTextFile(path, s);
}

}  // namespace assetgen
