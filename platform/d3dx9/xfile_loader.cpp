// Turns the data objects of a text X file into meshes, frame hierarchies, skin information
// and animation sets, with the results D3DX gives: polygons become triangle fans in file
// order, faces are grouped by material (stable order inside a material), a vertex is split
// where its corners use different normals, and indices are 16-bit.
#include <d3dx9.h>

#include "d3dx9/animation_impl.h"
#include "d3dx9/mesh_impl.h"
#include "d3dx9/xfile_parser.h"
#include "glomp/files.h"
#include "glomp/xfile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace {

using glomp::xfile::DataReader;
using glomp::xfile::Object;

thread_local std::string lastError;

constexpr DWORD kFvfXyz = 0x002, kFvfNormal = 0x010, kFvfTex1 = 0x100;
constexpr double kDefaultTicksPerSecond = 4800.0;

bool SameType(const Object& object, const char* type) {
  return !object.isReference && object.type.size() == std::strlen(type) &&
         std::equal(object.type.begin(), object.type.end(), type,
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b)); });
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

bool IsIdentity(const D3DXMATRIX& m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    }
  }
  return true;
}

D3DXMATRIX Multiply(const D3DXMATRIX& a, const D3DXMATRIX& b) {
  D3DXMATRIX out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] +
                    a.m[r][3] * b.m[3][c];
    }
  }
  return out;
}

struct MaterialSource {
  D3DMATERIAL9 material{};
  std::string texture;
  bool hasTexture = false;
};

struct BoneSource {
  std::string name;
  std::vector<DWORD> vertices;
  std::vector<float> weights;
  D3DXMATRIX offset;
};

// Everything the file says about one Mesh object.
struct MeshSource {
  std::string name;
  std::vector<float> positions;     // 3 per vertex
  std::vector<DWORD> cornerStart;   // per polygon, into corners; one extra at the end
  std::vector<DWORD> corners;       // vertex index of every polygon corner
  bool hasNormals = false;
  std::vector<float> normals;       // 3 per normal
  std::vector<DWORD> cornerNormals; // normal index of every corner
  bool hasTexcoords = false;
  std::vector<float> texcoords;     // 2 per vertex
  std::vector<MaterialSource> materials;
  std::vector<DWORD> polygonMaterials;  // per polygon
  bool hasSkin = false;
  std::vector<BoneSource> bones;

  DWORD VertexCount() const { return static_cast<DWORD>(positions.size() / 3); }
  DWORD PolygonCount() const { return static_cast<DWORD>(cornerStart.size() - 1); }
};

// A mesh as D3DX hands it out, with what goes alongside it.
struct BuiltMesh {
  glomp::d3dx::Mesh* mesh = nullptr;
  ID3DXSkinInfo* skin = nullptr;
  std::vector<DWORD> adjacency;
  ~BuiltMesh() {
    if (mesh) mesh->Release();
    if (skin) skin->Release();
  }
};

class Reader {
 public:
  explicit Reader(const glomp::xfile::Document& document) {
    for (const Object& object : document.objects) {
      if (SameType(object, "Material") && !object.name.empty()) {
        materials_.emplace(object.name, &object);
      }
    }
  }

  const std::string& Error() const { return error_; }

  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
    return false;
  }

  bool ReadMatrix(DataReader& data, D3DXMATRIX* matrix) {
    for (int i = 0; i < 16; ++i) {
      if (!data.Float(&matrix->m[i / 4][i % 4])) return Fail("bad matrix");
    }
    return true;
  }

  bool ReadFrameMatrix(const Object& frame, D3DXMATRIX* matrix) {
    *matrix = Identity();
    for (const Object& child : frame.children) {
      if (SameType(child, "FrameTransformMatrix")) {
        DataReader data(child);
        return ReadMatrix(data, matrix);
      }
    }
    return true;
  }

  bool ReadMesh(const Object& object, MeshSource* mesh) {
    mesh->name = object.name;
    DataReader data(object);
    DWORD vertexCount = 0;
    if (!data.Count(static_cast<DWORD>(data.Remaining() / 3), &vertexCount)) {
      return Fail("mesh '" + object.name + "': bad vertex count");
    }
    mesh->positions.resize(3 * static_cast<size_t>(vertexCount));
    for (float& value : mesh->positions) {
      if (!data.Float(&value)) return Fail("mesh '" + object.name + "': bad vertex");
    }
    if (!ReadPolygons(data, vertexCount, &mesh->cornerStart, &mesh->corners)) {
      return Fail("mesh '" + object.name + "': bad faces");
    }
    for (const Object& child : object.children) {
      bool ok = true;
      if (SameType(child, "MeshNormals")) {
        ok = ReadNormals(child, mesh);
      } else if (SameType(child, "MeshTextureCoords")) {
        ok = ReadTexcoords(child, mesh);
      } else if (SameType(child, "MeshMaterialList")) {
        ok = ReadMaterialList(child, mesh);
      } else if (SameType(child, "XSkinMeshHeader")) {
        mesh->hasSkin = true;
      } else if (SameType(child, "SkinWeights")) {
        mesh->hasSkin = true;
        mesh->bones.emplace_back();
        ok = ReadSkinWeights(child, vertexCount, &mesh->bones.back());
      }
      if (!ok) return Fail("mesh '" + object.name + "': bad " + child.type);
    }
    if (mesh->polygonMaterials.empty()) mesh->polygonMaterials.assign(mesh->PolygonCount(), 0);
    return true;
  }

  bool ReadAnimationSet(const Object& object, double ticksPerSecond,
                        glomp::d3dx::AnimationSetData* set) {
    set->name = object.name;
    set->ticksPerSecond = ticksPerSecond;
    for (const Object& child : object.children) {
      if (!SameType(child, "Animation")) continue;
      glomp::d3dx::AnimationKeys keys;
      bool hasTarget = false;
      for (const Object& part : child.children) {
        if (part.isReference && !hasTarget) {
          keys.target = part.name;
          hasTarget = true;
        } else if (SameType(part, "AnimationKey")) {
          if (!ReadAnimationKey(part, &keys)) {
            return Fail("animation set '" + object.name + "': bad AnimationKey");
          }
        }
      }
      if (hasTarget) set->animations.push_back(std::move(keys));
    }
    return true;
  }

 private:
  // Polygons: count, then per polygon its corner count and vertex indices.
  bool ReadPolygons(DataReader& data, DWORD vertexCount, std::vector<DWORD>* starts,
                    std::vector<DWORD>* corners) {
    DWORD count = 0;
    if (!data.Count(static_cast<DWORD>(data.Remaining()), &count)) return false;
    starts->assign(1, 0);
    for (DWORD p = 0; p < count; ++p) {
      DWORD cornerCount = 0;
      if (!data.Count(static_cast<DWORD>(data.Remaining()), &cornerCount)) return false;
      if (cornerCount < 3) return Fail("a face needs at least three corners");
      for (DWORD c = 0; c < cornerCount; ++c) {
        DWORD index = 0;
        if (!data.Count(0xFFFFFFFFu, &index)) return false;
        if (index >= vertexCount) return Fail("index " + std::to_string(index) + " out of range");
        corners->push_back(index);
      }
      starts->push_back(static_cast<DWORD>(corners->size()));
    }
    return true;
  }

  bool ReadNormals(const Object& object, MeshSource* mesh) {
    DataReader data(object);
    DWORD count = 0;
    if (!data.Count(static_cast<DWORD>(data.Remaining() / 3), &count)) return false;
    mesh->normals.resize(3 * static_cast<size_t>(count));
    for (float& value : mesh->normals) {
      if (!data.Float(&value)) return false;
    }
    std::vector<DWORD> starts;
    if (!ReadPolygons(data, count, &starts, &mesh->cornerNormals)) return false;
    if (starts != mesh->cornerStart) {
      return Fail("normal faces do not match the mesh faces");
    }
    mesh->hasNormals = true;
    return true;
  }

  bool ReadTexcoords(const Object& object, MeshSource* mesh) {
    DataReader data(object);
    DWORD count = 0;
    if (!data.Count(static_cast<DWORD>(data.Remaining() / 2), &count)) return false;
    if (count != mesh->VertexCount()) {
      return Fail("texture coordinate count differs from the vertex count");
    }
    mesh->texcoords.resize(2 * static_cast<size_t>(count));
    for (float& value : mesh->texcoords) {
      if (!data.Float(&value)) return false;
    }
    mesh->hasTexcoords = true;
    return true;
  }

  bool ReadMaterialList(const Object& object, MeshSource* mesh) {
    DataReader data(object);
    DWORD materialCount = 0, indexCount = 0;
    if (!data.Count(static_cast<DWORD>(object.children.size()), &materialCount)) {
      return Fail("material count exceeds the materials given");
    }
    if (!data.Count(static_cast<DWORD>(data.Remaining()), &indexCount)) return false;
    std::vector<DWORD> indices(indexCount);
    for (DWORD& index : indices) {
      if (!data.Count(0xFFFFFFFFu, &index)) return false;
      if (index >= materialCount) return Fail("material index out of range");
    }
    // Faces beyond the list take the last index given.
    DWORD polygons = mesh->PolygonCount();
    mesh->polygonMaterials.assign(polygons, 0);
    for (DWORD p = 0; p < polygons && !indices.empty(); ++p) {
      mesh->polygonMaterials[p] = indices[std::min<size_t>(p, indices.size() - 1)];
    }
    for (const Object& child : object.children) {
      if (mesh->materials.size() == materialCount) break;
      const Object* material = &child;
      if (child.isReference) {
        auto found = materials_.find(child.name);
        if (found == materials_.end()) return Fail("unknown material '" + child.name + "'");
        material = found->second;
      } else if (!SameType(child, "Material")) {
        continue;
      }
      mesh->materials.emplace_back();
      if (!ReadMaterial(*material, &mesh->materials.back())) return false;
    }
    if (mesh->materials.size() != materialCount) return Fail("materials missing");
    return true;
  }

  bool ReadMaterial(const Object& object, MaterialSource* out) {
    DataReader data(object);
    D3DMATERIAL9& m = out->material;
    bool ok = data.Float(&m.Diffuse.r) && data.Float(&m.Diffuse.g) && data.Float(&m.Diffuse.b) &&
              data.Float(&m.Diffuse.a) && data.Float(&m.Power) && data.Float(&m.Specular.r) &&
              data.Float(&m.Specular.g) && data.Float(&m.Specular.b) &&
              data.Float(&m.Emissive.r) && data.Float(&m.Emissive.g) && data.Float(&m.Emissive.b);
    if (!ok) return Fail("bad material '" + object.name + "'");
    m.Specular.a = 1.0f;
    m.Emissive.a = 1.0f;
    for (const Object& child : object.children) {
      if (SameType(child, "TextureFilename")) {
        DataReader name(child);
        if (!name.String(&out->texture)) return Fail("bad TextureFilename");
        out->hasTexture = true;
      }
    }
    return true;
  }

  bool ReadSkinWeights(const Object& object, DWORD vertexCount, BoneSource* bone) {
    DataReader data(object);
    DWORD count = 0;
    if (!data.String(&bone->name)) return false;
    if (!data.Count(static_cast<DWORD>(data.Remaining() / 2), &count)) return false;
    bone->vertices.resize(count);
    bone->weights.resize(count);
    for (DWORD& vertex : bone->vertices) {
      if (!data.Count(0xFFFFFFFFu, &vertex)) return false;
      if (vertex >= vertexCount) return Fail("skin weight vertex index out of range");
    }
    for (float& weight : bone->weights) {
      if (!data.Float(&weight)) return false;
    }
    return ReadMatrix(data, &bone->offset);
  }

  bool ReadAnimationKey(const Object& object, glomp::d3dx::AnimationKeys* keys) {
    DataReader data(object);
    DWORD type = 0, count = 0;
    if (!data.Count(4, &type)) return false;
    if (!data.Count(static_cast<DWORD>(data.Remaining() / 3), &count)) return false;
    static constexpr DWORD kValuesByType[5] = {4, 3, 3, 16, 16};
    for (DWORD k = 0; k < count; ++k) {
      float time = 0;
      DWORD valueCount = 0;
      if (!data.Float(&time) || !data.Count(16, &valueCount)) return false;
      if (valueCount != kValuesByType[type]) return false;
      float v[16];
      for (DWORD i = 0; i < valueCount; ++i) {
        if (!data.Float(&v[i])) return false;
      }
      switch (type) {
        case 0: keys->rotation.push_back({time, {v[1], v[2], v[3], v[0]}}); break;
        case 1: keys->scale.push_back({time, D3DXVECTOR3(v[0], v[1], v[2])}); break;
        case 2: keys->translation.push_back({time, D3DXVECTOR3(v[0], v[1], v[2])}); break;
        default: AddMatrixKey(time, v, keys); break;
      }
    }
    return true;
  }

  // A matrix key becomes a scale, a rotation and a translation key. The rotation is stored
  // the way the file's own rotation keys are (the conjugate of D3DX's quaternion).
  static void AddMatrixKey(float time, const float* m, glomp::d3dx::AnimationKeys* keys) {
    float scale[3];
    float r[3][3];
    for (int row = 0; row < 3; ++row) {
      const float* v = m + 4 * row;
      scale[row] = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      for (int c = 0; c < 3; ++c) r[row][c] = scale[row] != 0 ? v[c] / scale[row] : 0.0f;
    }
    float x, y, z, w;
    float trace = r[0][0] + r[1][1] + r[2][2];
    if (trace > 0) {
      float s = std::sqrt(trace + 1.0f) * 2.0f;
      w = 0.25f * s;
      x = (r[1][2] - r[2][1]) / s;
      y = (r[2][0] - r[0][2]) / s;
      z = (r[0][1] - r[1][0]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
      float s = std::sqrt(1.0f + r[0][0] - r[1][1] - r[2][2]) * 2.0f;
      w = (r[1][2] - r[2][1]) / s;
      x = 0.25f * s;
      y = (r[0][1] + r[1][0]) / s;
      z = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] > r[2][2]) {
      float s = std::sqrt(1.0f + r[1][1] - r[0][0] - r[2][2]) * 2.0f;
      w = (r[2][0] - r[0][2]) / s;
      x = (r[0][1] + r[1][0]) / s;
      y = 0.25f * s;
      z = (r[1][2] + r[2][1]) / s;
    } else {
      float s = std::sqrt(1.0f + r[2][2] - r[0][0] - r[1][1]) * 2.0f;
      w = (r[0][1] - r[1][0]) / s;
      x = (r[0][2] + r[2][0]) / s;
      y = (r[1][2] + r[2][1]) / s;
      z = 0.25f * s;
    }
    keys->scale.push_back({time, D3DXVECTOR3(scale[0], scale[1], scale[2])});
    keys->rotation.push_back({time, {-x, -y, -z, w}});
    keys->translation.push_back({time, D3DXVECTOR3(m[12], m[13], m[14])});
  }

  std::map<std::string, const Object*> materials_;
  std::string error_;
};

// Splits vertices by corner normal, triangulates, groups faces by material and fills a mesh.
HRESULT BuildMesh(const MeshSource& source, DWORD options, IDirect3DDevice9* device,
                  BuiltMesh* built, std::string* error) {
  DWORD sourceVertices = source.VertexCount();
  // Final vertex list: the file's vertices keep their indices, and a corner whose normal
  // differs from the one its vertex already has gets a copy appended at the end.
  std::vector<DWORD> origin(sourceVertices);
  std::iota(origin.begin(), origin.end(), 0);
  std::vector<DWORD> vertexNormal(sourceVertices, 0);
  std::vector<bool> assigned(sourceVertices, false);
  std::map<std::pair<DWORD, DWORD>, DWORD> copies;
  std::vector<DWORD> cornerVertex(source.corners.size());
  for (size_t c = 0; c < source.corners.size(); ++c) {
    DWORD position = source.corners[c];
    DWORD normal = source.hasNormals ? source.cornerNormals[c] : 0;
    if (!assigned[position]) {
      assigned[position] = true;
      vertexNormal[position] = normal;
      cornerVertex[c] = position;
    } else if (vertexNormal[position] == normal) {
      cornerVertex[c] = position;
    } else {
      auto [it, added] = copies.emplace(std::make_pair(position, normal),
                                        static_cast<DWORD>(origin.size()));
      if (added) {
        origin.push_back(position);
        vertexNormal.push_back(normal);
      }
      cornerVertex[c] = it->second;
    }
  }
  if (origin.size() > glomp::d3dx::kMaxVertices16) {
    *error = "mesh '" + source.name + "' needs 32-bit indices (" +
             std::to_string(origin.size()) + " vertices)";
    return D3DXERR_INVALIDDATA;
  }

  struct Triangle {
    DWORD corner[3];
    DWORD attribute;
  };
  std::vector<Triangle> triangles;
  for (DWORD p = 0; p < source.PolygonCount(); ++p) {
    DWORD first = source.cornerStart[p];
    DWORD count = source.cornerStart[p + 1] - first;
    for (DWORD i = 1; i + 1 < count; ++i) {
      triangles.push_back({{cornerVertex[first], cornerVertex[first + i],
                            cornerVertex[first + i + 1]},
                           source.polygonMaterials[p]});
    }
  }
  std::stable_sort(triangles.begin(), triangles.end(),
                   [](const Triangle& a, const Triangle& b) { return a.attribute < b.attribute; });

  DWORD fvf = kFvfXyz | (source.hasNormals ? kFvfNormal : 0) | (source.hasTexcoords ? kFvfTex1 : 0);
  glomp::d3dx::Mesh* mesh = nullptr;
  HRESULT hr = glomp::d3dx::CreateMesh(static_cast<DWORD>(triangles.size()),
                                       static_cast<DWORD>(origin.size()), options, fvf, device,
                                       &mesh);
  if (FAILED(hr)) {
    *error = "mesh '" + source.name + "' cannot be created (no faces, or unsupported options)";
    return hr;
  }
  built->mesh = mesh;
  const glomp::d3dx::FvfLayout& layout = mesh->Layout();
  BYTE* vertices = mesh->Vertices().data();
  for (size_t v = 0; v < origin.size(); ++v) {
    BYTE* vertex = vertices + v * layout.stride;
    std::memcpy(vertex, &source.positions[3 * origin[v]], 12);
    if (source.hasNormals && assigned[origin[v]]) {
      std::memcpy(vertex + layout.normalOffset, &source.normals[3 * vertexNormal[v]], 12);
    }
    if (source.hasTexcoords) {
      std::memcpy(vertex + layout.texCoordOffset[0], &source.texcoords[2 * origin[v]], 8);
    }
  }
  for (size_t f = 0; f < triangles.size(); ++f) {
    for (int c = 0; c < 3; ++c) {
      mesh->Indices()[3 * f + c] = static_cast<WORD>(triangles[f].corner[c]);
    }
    mesh->Attributes()[f] = triangles[f].attribute;
  }
  mesh->BuildAttributeTable();
  built->adjacency.resize(3 * triangles.size());
  mesh->GenerateAdjacency(0.0f, built->adjacency.data());

  if (source.hasSkin) {
    hr = D3DXCreateSkinInfoFVF(static_cast<DWORD>(origin.size()), fvf,
                               static_cast<DWORD>(source.bones.size()), &built->skin);
    if (FAILED(hr)) return hr;
    // Influences name the file's vertices; every copy of a vertex is influenced alike.
    std::vector<std::vector<DWORD>> copiesOf(sourceVertices);
    for (size_t v = 0; v < origin.size(); ++v) copiesOf[origin[v]].push_back(static_cast<DWORD>(v));
    for (size_t b = 0; b < source.bones.size(); ++b) {
      const BoneSource& bone = source.bones[b];
      std::vector<DWORD> influenced;
      std::vector<float> weights;
      for (size_t i = 0; i < bone.vertices.size(); ++i) {
        for (DWORD copy : copiesOf[bone.vertices[i]]) {
          influenced.push_back(copy);
          weights.push_back(bone.weights[i]);
        }
      }
      built->skin->SetBoneName(static_cast<DWORD>(b), bone.name.c_str());
      built->skin->SetBoneOffsetMatrix(static_cast<DWORD>(b), &bone.offset);
      built->skin->SetBoneInfluence(static_cast<DWORD>(b), static_cast<DWORD>(influenced.size()),
                                    influenced.data(), weights.data());
    }
  }
  return S_OK;
}

// D3DXMATERIAL records whose texture names point into owned strings.
struct MaterialArray {
  std::vector<std::string> names;
  std::vector<D3DXMATERIAL> materials;
  std::vector<D3DXEFFECTINSTANCE> effects;

  explicit MaterialArray(const std::vector<MaterialSource>& sources) {
    names.reserve(sources.size());
    for (const MaterialSource& source : sources) names.push_back(source.texture);
    for (size_t i = 0; i < sources.size(); ++i) {
      D3DXMATERIAL material;
      material.MatD3D = sources[i].material;
      material.pTextureFilename = sources[i].hasTexture ? names[i].data() : nullptr;
      materials.push_back(material);
      effects.push_back({nullptr, 0, nullptr});
    }
  }
};

HRESULT ReadDocument(LPCSTR filename, glomp::xfile::Document* document) {
  std::vector<unsigned char> bytes;
  if (!filename || !glomp::ReadWholeFile(filename, &bytes)) {
    lastError = "cannot open file";
    return E_FAIL;
  }
  std::string error;
  HRESULT hr = glomp::xfile::Parse(bytes.data(), bytes.size(), document, &error);
  if (FAILED(hr)) lastError = error;
  return hr;
}

// Appends `addition` to `target`, placed by `matrix`.
void MergeMesh(const MeshSource& addition, const D3DXMATRIX& matrix, MeshSource* target) {
  DWORD vertexBase = target->VertexCount();
  DWORD normalBase = static_cast<DWORD>(target->normals.size() / 3);
  DWORD materialBase = static_cast<DWORD>(target->materials.size());
  bool identity = IsIdentity(matrix);
  for (DWORD v = 0; v < addition.VertexCount(); ++v) {
    const float* p = &addition.positions[3 * v];
    for (int c = 0; c < 3; ++c) {
      target->positions.push_back(
          identity ? p[c]
                   : p[0] * matrix.m[0][c] + p[1] * matrix.m[1][c] + p[2] * matrix.m[2][c] +
                         matrix.m[3][c]);
    }
  }
  for (size_t n = 0; n < addition.normals.size() / 3; ++n) {
    const float* v = &addition.normals[3 * n];
    float out[3];
    for (int c = 0; c < 3; ++c) {
      out[c] = identity ? v[c] : v[0] * matrix.m[0][c] + v[1] * matrix.m[1][c] + v[2] * matrix.m[2][c];
    }
    float length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    for (int c = 0; c < 3; ++c) {
      target->normals.push_back(identity || length == 0 ? out[c] : out[c] / length);
    }
  }
  DWORD cornerBase = static_cast<DWORD>(target->corners.size());
  for (DWORD p = 1; p < addition.cornerStart.size(); ++p) {
    target->cornerStart.push_back(cornerBase + addition.cornerStart[p]);
  }
  for (size_t c = 0; c < addition.corners.size(); ++c) {
    target->corners.push_back(vertexBase + addition.corners[c]);
    // A part without normals points its corners at one shared zero normal.
    target->cornerNormals.push_back(addition.hasNormals ? normalBase + addition.cornerNormals[c]
                                                        : 0xFFFFFFFFu);
  }
  if (addition.hasTexcoords) {
    target->texcoords.resize(2 * static_cast<size_t>(vertexBase), 0.0f);
    target->texcoords.insert(target->texcoords.end(), addition.texcoords.begin(),
                             addition.texcoords.end());
  }
  for (DWORD material : addition.polygonMaterials) {
    target->polygonMaterials.push_back(addition.materials.empty() ? 0 : materialBase + material);
  }
  target->materials.insert(target->materials.end(), addition.materials.begin(),
                           addition.materials.end());
  target->hasNormals |= addition.hasNormals;
  target->hasTexcoords |= addition.hasTexcoords;
}

HRESULT CollectMeshes(Reader& reader, const Object& object, const D3DXMATRIX& parent,
                      MeshSource* merged, int* meshCount) {
  if (SameType(object, "Mesh")) {
    MeshSource mesh;
    if (!reader.ReadMesh(object, &mesh)) return D3DXERR_INVALIDDATA;
    MergeMesh(mesh, parent, merged);
    ++*meshCount;
  } else if (SameType(object, "Frame")) {
    D3DXMATRIX local;
    if (!reader.ReadFrameMatrix(object, &local)) return D3DXERR_INVALIDDATA;
    D3DXMATRIX combined = Multiply(local, parent);
    for (const Object& child : object.children) {
      HRESULT hr = CollectMeshes(reader, child, combined, merged, meshCount);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT CopyToBuffer(const void* bytes, size_t size, LPD3DXBUFFER* buffer) {
  HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), buffer);
  if (SUCCEEDED(hr) && size) std::memcpy((*buffer)->GetBufferPointer(), bytes, size);
  return hr;
}

// Materials as D3DX returns them: the records, then the texture names they point to.
HRESULT MaterialBuffer(const std::vector<MaterialSource>& materials, LPD3DXBUFFER* buffer) {
  size_t size = materials.size() * sizeof(D3DXMATERIAL);
  for (const MaterialSource& m : materials) size += m.hasTexture ? m.texture.size() + 1 : 0;
  HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), buffer);
  if (FAILED(hr) || size == 0) return hr;
  BYTE* base = static_cast<BYTE*>((*buffer)->GetBufferPointer());
  char* names = reinterpret_cast<char*>(base + materials.size() * sizeof(D3DXMATERIAL));
  for (size_t i = 0; i < materials.size(); ++i) {
    D3DXMATERIAL record;
    record.MatD3D = materials[i].material;
    record.pTextureFilename = nullptr;
    if (materials[i].hasTexture) {
      record.pTextureFilename = names;
      std::memcpy(names, materials[i].texture.c_str(), materials[i].texture.size() + 1);
      names += materials[i].texture.size() + 1;
    }
    std::memcpy(base + i * sizeof(D3DXMATERIAL), &record, sizeof record);
  }
  return S_OK;
}

class HierarchyBuilder {
 public:
  HierarchyBuilder(Reader& reader, DWORD options, IDirect3DDevice9* device,
                   ID3DXAllocateHierarchy* alloc)
      : reader_(reader), options_(options), device_(device), alloc_(alloc) {}

  // Creates a frame and links it through `link` at once, so that everything made so far
  // is reachable from the root when a later step fails.
  HRESULT NewFrame(const std::string& name, const std::function<void(LPD3DXFRAME)>& link,
                   LPD3DXFRAME* frame) {
    *frame = nullptr;
    HRESULT hr = alloc_->CreateFrame(name.c_str(), frame);
    if (FAILED(hr)) return hr;
    if (!*frame) return E_FAIL;
    (*frame)->pFrameSibling = nullptr;
    (*frame)->pFrameFirstChild = nullptr;
    (*frame)->pMeshContainer = nullptr;
    (*frame)->TransformationMatrix = Identity();
    link(*frame);
    return S_OK;
  }

  HRESULT BuildFrame(const Object& object, const std::function<void(LPD3DXFRAME)>& link) {
    LPD3DXFRAME frame = nullptr;
    HRESULT hr = NewFrame(object.name, link, &frame);
    if (FAILED(hr)) return hr;
    if (!reader_.ReadFrameMatrix(object, &frame->TransformationMatrix)) return D3DXERR_INVALIDDATA;
    LPD3DXFRAME lastChild = nullptr;
    auto linkChild = [frame, &lastChild](LPD3DXFRAME child) {
      (lastChild ? lastChild->pFrameSibling : frame->pFrameFirstChild) = child;
      lastChild = child;
    };
    for (const Object& child : object.children) {
      if (SameType(child, "Frame")) {
        hr = BuildFrame(child, linkChild);
      } else if (SameType(child, "Mesh")) {
        hr = AddContainer(child, frame);
      }
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  HRESULT AddContainer(const Object& object, LPD3DXFRAME frame) {
    MeshSource source;
    if (!reader_.ReadMesh(object, &source)) return D3DXERR_INVALIDDATA;
    if (source.corners.empty()) return S_OK;  // nothing to draw: no container
    BuiltMesh built;
    std::string error;
    HRESULT hr = BuildMesh(source, options_, device_, &built, &error);
    if (FAILED(hr)) {
      reader_.Fail(error);
      return hr;
    }
    MaterialArray materials(source.materials);
    D3DXMESHDATA data;
    data.Type = D3DXMESHTYPE_MESH;
    data.pMesh = built.mesh;
    LPD3DXMESHCONTAINER container = nullptr;
    hr = alloc_->CreateMeshContainer(
        source.name.c_str(), &data, materials.materials.empty() ? nullptr : materials.materials.data(),
        materials.effects.empty() ? nullptr : materials.effects.data(),
        static_cast<DWORD>(materials.materials.size()), built.adjacency.data(), built.skin,
        &container);
    if (FAILED(hr)) {
      reader_.Fail("the allocator refused mesh '" + source.name + "'");
      return hr;
    }
    if (!container) return S_OK;
    container->pNextMeshContainer = nullptr;
    LPD3DXMESHCONTAINER* end = &frame->pMeshContainer;
    while (*end) end = &(*end)->pNextMeshContainer;
    *end = container;
    return S_OK;
  }

 private:
  Reader& reader_;
  DWORD options_;
  IDirect3DDevice9* device_;
  ID3DXAllocateHierarchy* alloc_;
};

void DestroyFrames(LPD3DXFRAME frame, ID3DXAllocateHierarchy* alloc) {
  while (frame) {
    LPD3DXFRAME next = frame->pFrameSibling;
    LPD3DXMESHCONTAINER container = frame->pMeshContainer;
    while (container) {
      LPD3DXMESHCONTAINER nextContainer = container->pNextMeshContainer;
      alloc->DestroyMeshContainer(container);
      container = nextContainer;
    }
    DestroyFrames(frame->pFrameFirstChild, alloc);
    alloc->DestroyFrame(frame);
    frame = next;
  }
}

}  // namespace

const char* glomp::XFileLastError() { return lastError.c_str(); }

HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                           LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                           LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                           LPD3DXMESH* mesh) {
  lastError.clear();
  if (adjacency) *adjacency = nullptr;
  if (materials) *materials = nullptr;
  if (effectInstances) *effectInstances = nullptr;
  if (numMaterials) *numMaterials = 0;
  if (!mesh) return D3DERR_INVALIDCALL;
  *mesh = nullptr;
  glomp::xfile::Document document;
  HRESULT hr = ReadDocument(filename, &document);
  if (FAILED(hr)) return hr;
  Reader reader(document);
  MeshSource merged;
  merged.cornerStart.assign(1, 0);
  int meshCount = 0;
  for (const Object& object : document.objects) {
    hr = CollectMeshes(reader, object, Identity(), &merged, &meshCount);
    if (FAILED(hr)) {
      lastError = reader.Error();
      return hr;
    }
  }
  if (meshCount == 0 || merged.corners.empty()) {
    lastError = "no mesh with faces in the file";
    return D3DXERR_LOADEDMESHASNODATA;
  }
  // Corners of parts without normals use a zero normal added at the end.
  if (merged.hasNormals) {
    DWORD zero = static_cast<DWORD>(merged.normals.size() / 3);
    bool needed = false;
    for (DWORD& n : merged.cornerNormals) {
      if (n == 0xFFFFFFFFu) {
        n = zero;
        needed = true;
      }
    }
    if (needed) merged.normals.insert(merged.normals.end(), {0.0f, 0.0f, 0.0f});
  }
  if (merged.hasTexcoords) merged.texcoords.resize(2 * static_cast<size_t>(merged.VertexCount()), 0);
  BuiltMesh built;
  std::string error;
  hr = BuildMesh(merged, options, device, &built, &error);
  if (FAILED(hr)) {
    lastError = error;
    return hr;
  }
  MaterialArray records(merged.materials);
  LPD3DXBUFFER adjacencyBuffer = nullptr, materialBuffer = nullptr, effectBuffer = nullptr;
  hr = CopyToBuffer(built.adjacency.data(), built.adjacency.size() * sizeof(DWORD),
                    &adjacencyBuffer);
  if (SUCCEEDED(hr)) hr = MaterialBuffer(merged.materials, &materialBuffer);
  if (SUCCEEDED(hr)) {
    hr = CopyToBuffer(records.effects.data(), records.effects.size() * sizeof(D3DXEFFECTINSTANCE),
                      &effectBuffer);
  }
  if (FAILED(hr)) {
    for (LPD3DXBUFFER buffer : {adjacencyBuffer, materialBuffer, effectBuffer}) {
      if (buffer) buffer->Release();
    }
    lastError = "out of memory";
    return hr;
  }
  auto handOut = [](LPD3DXBUFFER buffer, LPD3DXBUFFER* out) {
    if (out) {
      *out = buffer;
    } else {
      buffer->Release();
    }
  };
  handOut(adjacencyBuffer, adjacency);
  handOut(materialBuffer, materials);
  handOut(effectBuffer, effectInstances);
  if (numMaterials) *numMaterials = static_cast<DWORD>(merged.materials.size());
  *mesh = built.mesh;
  built.mesh = nullptr;
  return S_OK;
}

HRESULT D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions, LPDIRECT3DDEVICE9 device,
                                    LPD3DXALLOCATEHIERARCHY alloc, LPD3DXLOADUSERDATA,
                                    LPD3DXFRAME* frameHierarchy,
                                    LPD3DXANIMATIONCONTROLLER* animController) {
  lastError.clear();
  if (frameHierarchy) *frameHierarchy = nullptr;
  if (animController) *animController = nullptr;
  if (!alloc || !frameHierarchy) return D3DERR_INVALIDCALL;
  glomp::xfile::Document document;
  HRESULT hr = ReadDocument(filename, &document);
  if (FAILED(hr)) return hr;
  Reader reader(document);
  HierarchyBuilder builder(reader, meshOptions, device, alloc);
  LPD3DXFRAME root = nullptr, last = nullptr;
  auto linkTop = [&root, &last](LPD3DXFRAME frame) {
    (last ? last->pFrameSibling : root) = frame;
    last = frame;
  };
  double ticksPerSecond = kDefaultTicksPerSecond;
  for (const Object& object : document.objects) {
    if (SameType(object, "AnimTicksPerSecond")) {
      DataReader data(object);
      DWORD ticks = 0;
      if (data.Count(0x7FFFFFFF, &ticks) && ticks > 0) ticksPerSecond = ticks;
    }
  }
  std::vector<glomp::d3dx::AnimationSetData> sets;
  for (const Object& object : document.objects) {
    if (SameType(object, "Frame")) {
      hr = builder.BuildFrame(object, linkTop);
    } else if (SameType(object, "Mesh")) {
      // A mesh outside any frame gets an unnamed frame of its own.
      LPD3DXFRAME frame = nullptr;
      hr = builder.NewFrame("", linkTop, &frame);
      if (SUCCEEDED(hr)) hr = builder.AddContainer(object, frame);
    } else if (SameType(object, "AnimationSet")) {
      sets.emplace_back();
      if (!reader.ReadAnimationSet(object, ticksPerSecond, &sets.back())) hr = D3DXERR_INVALIDDATA;
    }
    if (FAILED(hr)) break;
  }
  if (SUCCEEDED(hr) && !root) {
    reader.Fail("no frame or mesh in the file");
    hr = D3DXERR_LOADEDMESHASNODATA;
  }
  if (FAILED(hr)) {
    lastError = reader.Error().empty() ? "out of memory" : reader.Error();
    DestroyFrames(root, alloc);
    return hr;
  }
  if (animController && !sets.empty()) {
    // D3DX registers the sets so that the last one in the file comes first.
    std::reverse(sets.begin(), sets.end());
    *animController = glomp::d3dx::CreateAnimationController(std::move(sets));
    if (!*animController) {
      DestroyFrames(root, alloc);
      lastError = "out of memory";
      return E_OUTOFMEMORY;
    }
  }
  *frameHierarchy = root;
  return S_OK;
}

HRESULT D3DXFrameDestroy(LPD3DXFRAME frameRoot, LPD3DXALLOCATEHIERARCHY alloc) {
  if (!frameRoot || !alloc) return D3DERR_INVALIDCALL;
  DestroyFrames(frameRoot, alloc);
  return S_OK;
}
