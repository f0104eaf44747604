// Triangle meshes as the game's X files hold them (position, normal, one
// texture coordinate, 16-bit indices, one material per face), the few shapes
// the stage is built from, and the writer of the X text format.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Vec2 {
  float u = 0, v = 0;
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(Vec3 a);
Vec3 Normalize(Vec3 a);

struct Material {
  float r = 1, g = 1, b = 1, a = 1;
  float power = 20;
  float sr = 0.3f, sg = 0.3f, sb = 0.3f;
  std::string texture;  // empty: no TextureFilename
};

struct Mesh {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<Vec2> uvs;
  std::vector<uint32_t> indices;  // three per face
  std::vector<int> faceMaterial;  // one per face
  std::vector<Material> materials;

  int AddMaterial(const Material& m);
  uint32_t AddVertex(Vec3 p, Vec3 n, Vec2 uv);
  // Adds the face so that it is a front face for D3D's default culling in its
  // left-handed space: clockwise seen from the side `outward` points to. With
  // that order (v1 - v0) x (v2 - v0) points along `outward`.
  void AddTriangle(uint32_t a, uint32_t b, uint32_t c, Vec3 outward, int material);
  // Four corners in order around the quad; two faces facing `outward`.
  void AddQuad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 outward, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3,
               int material);
  void Append(const Mesh& other);  // materials are merged by index offset
  size_t FaceCount() const { return faceMaterial.size(); }
};

// Shapes. `tile` is world units per texture repeat (UVs follow the world size,
// so pieces of different sizes show the texture at the same scale).
// Axis-aligned box from `lo` to `hi`; the top and the sides may differ in material.
void AddBox(Mesh& m, Vec3 lo, Vec3 hi, int topMaterial, int sideMaterial, float tile,
            int bottomMaterial = -1);
// Vertical cylinder (or cone when the radii differ) around (cx, cz), with caps.
void AddCylinder(Mesh& m, float cx, float cz, float y0, float y1, float r0, float r1, int segments,
                 int sideMaterial, int capMaterial, float tile);
// Sphere (or ellipsoid) of smooth normals; `inward` makes it visible from inside.
void AddSphere(Mesh& m, Vec3 centre, Vec3 radii, int rings, int segments, int material,
               bool inward = false, float vFrom = 0.0f, float vTo = 1.0f);
// Ramp rising along +x from (x0, y0) to (x1, y1), z from z0 to z1, on a floor at `base`.
void AddRamp(Mesh& m, float x0, float x1, float z0, float z1, float base, float y0, float y1,
             int topMaterial, int sideMaterial, float tile);

// Moves and turns a whole mesh: rotation about y by `yawDegrees`, then translation.
void TransformMesh(Mesh& m, float yawDegrees, Vec3 offset);

// X text writer.
std::string FormatFloat(float v);  // fixed six decimals, "-0.000000" written as "0.000000"
std::string MeshToX(const Mesh& m, const std::string& name, const std::string& indent);
bool WriteStaticModel(const std::string& path, const Mesh& m, const std::string& meshName);
bool WriteTextFile(const std::string& path, const std::string& text);
bool WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assetgen
