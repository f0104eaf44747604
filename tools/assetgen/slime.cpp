// The slime model: a core frame "核" with the 26 face, edge and corner bones of
// a 3 x 3 x 3 lattice as its children, named by direction words (Shift-JIS),
// and a smooth skinned body of radius 0.5 weighted to those 26 bones.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "content.h"
#include "mesh.h"

namespace assetgen {
namespace {

// Shift-JIS bytes of the core and the six direction words.
const std::string kCore = "\x8A\x6A";                       // 核
const std::string kRight = "\x89\x45", kLeft = "\x8D\xB6";  // 右 左 (+x, -x)
const std::string kUp = "\x8F\xE3", kDown = "\x89\xBA";     // 上 下 (+y, -y)
const std::string kFront = "\x91\x4F", kBack = "\x8C\xE3";  // 前 後 (+z, -z)

constexpr float kBoneRadius = 0.5f;
constexpr float kBodyRadius = 0.5f;

std::string Matrix(const float m[16]) {
  std::string s;
  for (int i = 0; i < 16; ++i) s += FormatFloat(m[i]) + (i < 15 ? "," : ";;");
  return s;
}

std::string TranslationMatrix(Vec3 t) {
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, t.x, t.y, t.z, 1};
  return Matrix(m);
}

}  // namespace

std::vector<SlimeBone> SlimeBones() {
  std::vector<SlimeBone> bones;
  // Faces, then edges, then corners; words always in x, y, z order.
  for (int words = 1; words <= 3; ++words) {
    for (int dx = 1; dx >= -1; --dx) {
      for (int dy = 1; dy >= -1; --dy) {
        for (int dz = 1; dz >= -1; --dz) {
          if ((dx != 0) + (dy != 0) + (dz != 0) != words) continue;
          SlimeBone b;
          if (dx) b.name += dx > 0 ? kRight : kLeft;
          if (dy) b.name += dy > 0 ? kUp : kDown;
          if (dz) b.name += dz > 0 ? kFront : kBack;
          b.axis = {static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
          b.rest = Normalize(b.axis) * kBoneRadius;
          bones.push_back(b);
        }
      }
    }
  }
  return bones;
}

std::string SlimeCoreName() { return kCore; }

Mesh SlimeBody() {
  Mesh body;
  Material skin;
  // White so that the game's tint decides the colour; a glossy highlight.
  skin.r = skin.g = skin.b = 1.0f;
  skin.a = 1.0f;
  skin.power = 40.0f;
  skin.sr = skin.sg = skin.sb = 0.9f;
  skin.texture = "slime_face.png";  // next to the model; the skinned loader prefixes the folder
  const int mat = body.AddMaterial(skin);
  AddSphere(body, {0, 0, 0}, {kBodyRadius, kBodyRadius, kBodyRadius}, 18, 32, mat);
  return body;
}

std::vector<std::vector<std::pair<int, int>>> SlimeWeights(const Mesh& body,
                                                           const std::vector<SlimeBone>& bones) {
  // Per vertex: up to four bones nearest in angle, weights in millionths that
  // add up to exactly 1000000, so the file's six-decimal weights sum to 1.
  std::vector<std::vector<std::pair<int, int>>> result(body.positions.size());
  for (size_t v = 0; v < body.positions.size(); ++v) {
    const Vec3 dir = Normalize(body.positions[v]);
    std::vector<std::pair<float, int>> near;
    for (size_t b = 0; b < bones.size(); ++b)
      near.push_back({Dot(dir, Normalize(bones[b].rest)), static_cast<int>(b)});
    std::stable_sort(near.begin(), near.end(), [](auto& a, auto& b) { return a.first > b.first; });
    const float floorCos = near[4].first;
    std::vector<std::pair<float, int>> picked;
    float total = 0;
    for (int i = 0; i < 4; ++i) {
      const float w =
          std::pow(std::max(0.0f, near[i].first - floorCos), 1.5f) + (i == 0 ? 1e-4f : 0.0f);
      if (w <= 0) continue;
      picked.push_back({w, near[i].second});
      total += w;
    }
    int given = 0;
    std::vector<std::pair<int, int>> out;
    for (size_t i = 0; i < picked.size(); ++i) {
      int micro = static_cast<int>(std::lround(picked[i].first / total * 1e6));
      if (micro < 20000 && i > 0) continue;  // drop faint influences
      out.push_back({picked[i].second, micro});
      given += micro;
    }
    out[0].second += 1000000 - given;  // the strongest bone takes the rounding rest
    result[v] = out;
  }
  return result;
}

bool WriteSlime(const std::string& dataDir) {
  const std::vector<SlimeBone> bones = SlimeBones();
  const Mesh body = SlimeBody();
  const auto weights = SlimeWeights(body, bones);

  std::string s = "xof 0303txt 0032\n\n";
  s += "Frame " + kCore + " {\n";
  s += " FrameTransformMatrix {\n  " + TranslationMatrix({0, 0, 0}) + "\n }\n";
  for (const SlimeBone& b : bones) {
    s += " Frame " + b.name + " {\n";
    s += "  FrameTransformMatrix {\n   " + TranslationMatrix(b.rest) + "\n  }\n";
    s += " }\n";
  }
  s += MeshToX(body, "SlimeBody", " ");

  // Skin: header, then one SkinWeights block per bone.
  size_t maxPerVertex = 0, maxPerFace = 0;
  for (const auto& w : weights) maxPerVertex = std::max(maxPerVertex, w.size());
  for (size_t f = 0; f < body.FaceCount(); ++f) {
    std::vector<int> used;
    for (int k = 0; k < 3; ++k) {
      for (auto [bone, micro] : weights[body.indices[3 * f + k]]) used.push_back(bone);
    }
    std::sort(used.begin(), used.end());
    maxPerFace = std::max<size_t>(maxPerFace, std::unique(used.begin(), used.end()) - used.begin());
  }
  s += "  XSkinMeshHeader {\n   " + std::to_string(maxPerVertex) + ";\n   " +
       std::to_string(maxPerFace) + ";\n   " + std::to_string(bones.size()) + ";\n  }\n";
  for (size_t b = 0; b < bones.size(); ++b) {
    std::vector<std::pair<size_t, int>> influenced;
    for (size_t v = 0; v < weights.size(); ++v) {
      for (auto [bone, micro] : weights[v]) {
        if (bone == static_cast<int>(b)) influenced.push_back({v, micro});
      }
    }
    s += "  SkinWeights {\n   \"" + bones[b].name + "\";\n   " + std::to_string(influenced.size()) +
         ";\n";
    for (size_t i = 0; i < influenced.size(); ++i) {
      s +=
          "   " + std::to_string(influenced[i].first) + (i + 1 < influenced.size() ? ",\n" : ";\n");
    }
    for (size_t i = 0; i < influenced.size(); ++i) {
      char text[32];
      std::snprintf(text, sizeof text, "%d.%06d", influenced[i].second / 1000000,
                    influenced[i].second % 1000000);
      s += std::string("   ") + text + (i + 1 < influenced.size() ? ",\n" : ";\n");
    }
    // Offset matrix: the inverse of the bone's bind pose (a pure translation).
    s += "   " + TranslationMatrix(bones[b].rest * -1.0f) + "\n  }\n";
  }
  s += " }\n";  // Mesh
  s += "}\n";   // core frame
  return WriteTextFile(dataDir + "/model/Character/Player/slime9.x", s);
}

}  // namespace assetgen
