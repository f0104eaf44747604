// xinfo: shows what the game's skinned-mesh loading makes of an X file.
//
//   xinfo [--json] [--rays] FILE.x
//
// Frames in list order with parent, matrices and index; mesh containers with counts,
// vertex format, attribute table, materials, bones and weight sums; animation sets.
// --json prints the same as one JSON document. --rays reads "ox oy oz dx dy dz" lines
// from standard input and answers each with "hit FACE DISTANCE" or "miss", tested with
// D3DXIntersect against the first container's mesh in the mesh's own space.
// Errors go to standard error, with exit code 1.
#include <d3dx9.h>
#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "glomp/xfile.h"
#include "render/SkinMesh.h"
#include "tools/common/json.h"

namespace {

using Korvex::CSkinMesh;
using Korvex::D3DXFRAME_EX;
using Korvex::MESHCONTAINER_EX;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Frame and bone names are Shift-JIS (code page 932); bytes that do not convert become U+FFFD.
std::string ToUtf8(const std::string& sjis) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return sjis;
  std::string out;
  std::vector<char> buffer(4 * sjis.size() + 8);
  std::string input = sjis;
  char* in = input.data();
  size_t inLeft = input.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), outPtr);
    if (result == static_cast<size_t>(-1)) {
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}


std::string Number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string Matrix(const D3DXMATRIX& m, bool json) {
  std::string out = json ? "[" : "";
  for (int i = 0; i < 16; ++i) {
    if (i) out += json ? ", " : (i % 4 == 0 ? " | " : " ");
    out += Number(m.m[i / 4][i % 4]);
  }
  return out + (json ? "]" : "");
}

// Everything printed about one mesh container.
struct ContainerInfo {
  const MESHCONTAINER_EX* container;
  int frame;
  std::vector<D3DXATTRIBUTERANGE> attributes;
  bool skinned;
  double weightMin = 0, weightMax = 0;
};

struct AnimationInfo {
  const Korvex::CAnimationSet* set;
  size_t animatedFrames = 0;
  size_t keys = 0;
};

ContainerInfo Describe(const MESHCONTAINER_EX* container, int frame) {
  ContainerInfo info{container, frame, {}, container->pSkinInfo != nullptr};
  ID3DXMesh* mesh = container->MeshData.pMesh;
  DWORD count = 0;
  mesh->GetAttributeTable(nullptr, &count);
  info.attributes.resize(count);
  if (count) mesh->GetAttributeTable(info.attributes.data(), &count);
  if (info.skinned) {
    ID3DXSkinInfo* skin = container->pSkinInfo;
    std::vector<double> sums(mesh->GetNumVertices(), 0.0);
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
      DWORD influences = skin->GetNumBoneInfluences(b);
      std::vector<DWORD> vertices(influences);
      std::vector<float> weights(influences);
      if (influences) skin->GetBoneInfluence(b, vertices.data(), weights.data());
      for (DWORD i = 0; i < influences; ++i) {
        if (vertices[i] < sums.size()) sums[vertices[i]] += weights[i];
      }
    }
    if (!sums.empty()) {
      info.weightMin = info.weightMax = sums[0];
      for (double sum : sums) {
        info.weightMin = std::min(info.weightMin, sum);
        info.weightMax = std::max(info.weightMax, sum);
      }
    }
  }
  return info;
}

AnimationInfo Describe(const Korvex::CAnimationSet* set) {
  AnimationInfo info{set};
  for (const Korvex::AnimationTrack* track : set->tracks) {
    size_t keys =
        track->rotationKeys.size() + track->scaleKeys.size() + track->translationKeys.size();
    if (keys) ++info.animatedFrames;
    info.keys += keys;
  }
  return info;
}

std::string TextureName(const MESHCONTAINER_EX* container, DWORD material) {
  return container->textures ? container->textures[material].fileName : std::string();
}

void PrintText(const CSkinMesh& model, const std::vector<ContainerInfo>& containers,
               const std::vector<AnimationInfo>& animations) {
  std::ostringstream out;
  out << "frames: " << model.frames.size() << "\n";
  for (const D3DXFRAME_EX* frame : model.frames) {
    out << "  [" << frame->index << "] \"" << ToUtf8(frame->Name) << "\" (" << Hex(frame->Name)
        << ") parent " << (frame->parent ? std::to_string(frame->parent->index) : "-") << "\n"
        << "      transform " << Matrix(frame->TransformationMatrix, false) << "\n"
        << "      bind pose " << Matrix(frame->bindPoseMatrix, false) << "\n"
        << "      offset    " << Matrix(frame->offsetMatrix, false) << "\n";
  }
  out << "containers: " << containers.size() << "\n";
  for (size_t c = 0; c < containers.size(); ++c) {
    const ContainerInfo& info = containers[c];
    const MESHCONTAINER_EX* container = info.container;
    ID3DXMesh* mesh = container->MeshData.pMesh;
    char fvf[16];
    std::snprintf(fvf, sizeof fvf, "0x%x", static_cast<unsigned>(mesh->GetFVF()));
    out << "  [" << c << "] \"" << ToUtf8(container->Name) << "\" on frame " << info.frame
        << ": " << mesh->GetNumVertices() << " vertices, " << mesh->GetNumFaces()
        << " faces, fvf " << fvf << "\n";
    for (const D3DXATTRIBUTERANGE& range : info.attributes) {
      out << "      attribute " << range.AttribId << ": faces " << range.FaceStart << " +"
          << range.FaceCount << ", vertices " << range.VertexStart << " +" << range.VertexCount
          << "\n";
    }
    for (DWORD m = 0; m < container->NumMaterials; ++m) {
      const D3DCOLORVALUE& d = container->pMaterials[m].MatD3D.Diffuse;
      out << "      material " << m << ": diffuse " << Number(d.r) << " " << Number(d.g) << " "
          << Number(d.b) << " " << Number(d.a) << ", power "
          << Number(container->pMaterials[m].MatD3D.Power) << ", texture \""
          << TextureName(container, m) << "\"\n";
    }
    if (!info.skinned) continue;
    ID3DXSkinInfo* skin = container->pSkinInfo;
    out << "      bones: " << skin->GetNumBones() << ", weight sums " << Number(info.weightMin)
        << " .. " << Number(info.weightMax) << "\n";
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
      out << "        bone " << b << " \"" << ToUtf8(skin->GetBoneName(b)) << "\" ("
          << Hex(skin->GetBoneName(b)) << ") frame " << container->boneFrames[b]->index << ", "
          << skin->GetNumBoneInfluences(b) << " influences\n";
    }
  }
  out << "animation sets: " << animations.size() << "\n";
  for (const AnimationInfo& info : animations) {
    out << "  \"" << ToUtf8(info.set->name) << "\": " << Number(info.set->ticksPerSecond)
        << " ticks/s, length " << Number(info.set->length) << ", " << info.animatedFrames
        << " animated frames, " << info.keys << " keys\n";
  }
  std::cout << out.str();
}

void PrintJson(const CSkinMesh& model, const std::vector<ContainerInfo>& containers,
               const std::vector<AnimationInfo>& animations) {
  std::ostringstream out;
  out << "{\n  \"frames\": [";
  for (size_t i = 0; i < model.frames.size(); ++i) {
    const D3DXFRAME_EX* frame = model.frames[i];
    out << (i ? ",\n    " : "\n    ") << "{\"name\": " << JsonString(ToUtf8(frame->Name))
        << ", \"name_hex\": \"" << Hex(frame->Name) << "\", \"parent\": "
        << (frame->parent ? std::to_string(frame->parent->index) : "null")
        << ", \"index\": " << frame->index
        << ", \"transform\": " << Matrix(frame->TransformationMatrix, true)
        << ", \"bind_pose\": " << Matrix(frame->bindPoseMatrix, true)
        << ", \"offset\": " << Matrix(frame->offsetMatrix, true) << "}";
  }
  out << "\n  ],\n  \"containers\": [";
  for (size_t c = 0; c < containers.size(); ++c) {
    const ContainerInfo& info = containers[c];
    const MESHCONTAINER_EX* container = info.container;
    ID3DXMesh* mesh = container->MeshData.pMesh;
    out << (c ? ",\n    " : "\n    ") << "{\"name\": " << JsonString(ToUtf8(container->Name))
        << ", \"frame\": " << info.frame << ", \"vertices\": " << mesh->GetNumVertices()
        << ", \"faces\": " << mesh->GetNumFaces() << ", \"fvf\": " << mesh->GetFVF()
        << ",\n     \"attributes\": [";
    for (size_t a = 0; a < info.attributes.size(); ++a) {
      const D3DXATTRIBUTERANGE& r = info.attributes[a];
      out << (a ? ", " : "") << "{\"id\": " << r.AttribId << ", \"face_start\": " << r.FaceStart
          << ", \"face_count\": " << r.FaceCount << ", \"vertex_start\": " << r.VertexStart
          << ", \"vertex_count\": " << r.VertexCount << "}";
    }
    out << "],\n     \"materials\": [";
    for (DWORD m = 0; m < container->NumMaterials; ++m) {
      const D3DMATERIAL9& material = container->pMaterials[m].MatD3D;
      std::string texture = TextureName(container, m);
      out << (m ? ", " : "") << "{\"diffuse\": [" << Number(material.Diffuse.r) << ", "
          << Number(material.Diffuse.g) << ", " << Number(material.Diffuse.b) << ", "
          << Number(material.Diffuse.a) << "], \"power\": " << Number(material.Power)
          << ", \"texture\": " << (texture.empty() ? "null" : JsonString(ToUtf8(texture))) << "}";
    }
    out << "],\n     \"bones\": [";
    ID3DXSkinInfo* skin = container->pSkinInfo;
    for (DWORD b = 0; skin && b < skin->GetNumBones(); ++b) {
      out << (b ? ",\n       " : "\n       ") << "{\"name_hex\": \"" << Hex(skin->GetBoneName(b))
          << "\", \"frame\": " << container->boneFrames[b]->index
          << ", \"influences\": " << skin->GetNumBoneInfluences(b) << "}";
    }
    out << "],\n     \"weight_sum_min\": " << (info.skinned ? Number(info.weightMin) : "null")
        << ", \"weight_sum_max\": " << (info.skinned ? Number(info.weightMax) : "null") << "}";
  }
  out << "\n  ],\n  \"animation_sets\": [";
  for (size_t s = 0; s < animations.size(); ++s) {
    const AnimationInfo& info = animations[s];
    out << (s ? ",\n    " : "\n    ") << "{\"name\": " << JsonString(ToUtf8(info.set->name))
        << ", \"ticks_per_second\": " << Number(info.set->ticksPerSecond)
        << ", \"length\": " << Number(info.set->length)
        << ", \"animated_frames\": " << info.animatedFrames << ", \"keys\": " << info.keys << "}";
  }
  out << "\n  ]\n}\n";
  std::cout << out.str();
}

int TestRays(const CSkinMesh& model) {
  if (model.meshContainers.empty()) {
    std::cerr << "xinfo: the model has no mesh to test rays against\n";
    return 1;
  }
  ID3DXMesh* mesh = model.meshContainers[0]->MeshData.pMesh;
  std::string line;
  int lineNumber = 0;
  std::ostringstream out;
  while (std::getline(std::cin, line)) {
    ++lineNumber;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::istringstream fields(line);
    float v[6];
    std::string extra;
    for (float& value : v) fields >> value;
    if (fields.fail() || (fields >> extra)) {
      std::cout << out.str();
      std::cerr << "xinfo: line " << lineNumber << ": expected six numbers: ox oy oz dx dy dz\n";
      return 1;
    }
    D3DXVECTOR3 origin(v[0], v[1], v[2]);
    D3DXVECTOR3 direction(v[3], v[4], v[5]);
    BOOL hit = FALSE;
    DWORD face = 0;
    float distance = 0;
    if (FAILED(D3DXIntersect(mesh, &origin, &direction, &hit, &face, nullptr, nullptr, &distance,
                             nullptr, nullptr))) {
      std::cout << out.str();
      std::cerr << "xinfo: line " << lineNumber << ": the ray test failed\n";
      return 1;
    }
    if (hit) {
      out << "hit " << face << " " << Number(distance) << "\n";
    } else {
      out << "miss\n";
    }
  }
  std::cout << out.str();
  return 0;
}

int Usage() {
  std::cerr << "usage: xinfo [--json] [--rays] FILE.x\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false, rays = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--rays") {
      rays = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      std::cerr << "xinfo: unknown option " << arg << "\n";
      return Usage();
    } else if (path) {
      return Usage();
    } else {
      path = argv[i];
    }
  }
  if (!path) return Usage();

  auto model = std::make_shared<CSkinMesh>();
  if (!model->Load(path)) {
    std::string why = glomp::XFileLastError();
    if (why.empty()) why = "a bone of the skin names no frame of the hierarchy";
    std::cerr << "xinfo: " << path << ": " << why << "\n";
    return 1;
  }
  if (rays) return TestRays(*model);

  std::map<const MESHCONTAINER_EX*, int> frameOf;
  for (const D3DXFRAME_EX* frame : model->frames) {
    for (LPD3DXMESHCONTAINER c = frame->pMeshContainer; c; c = c->pNextMeshContainer) {
      frameOf[static_cast<const MESHCONTAINER_EX*>(c)] = frame->index;
    }
  }
  std::vector<ContainerInfo> containers;
  for (const MESHCONTAINER_EX* container : model->meshContainers) {
    containers.push_back(Describe(container, frameOf[container]));
  }
  std::vector<AnimationInfo> animations;
  for (const auto& set : model->animationSets) animations.push_back(Describe(set.get()));
  if (json) {
    PrintJson(*model, containers, animations);
  } else {
    PrintText(*model, containers, animations);
  }
  return 0;
}
