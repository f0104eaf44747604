// The shipped content after a build: every file the game asks for is there
// under the name it asks for, parses, and has the layout the game relies on;
// the stages name only models that exist; the sounds are the PCM format the
// sound buffers take; and generating the content twice gives the same bytes.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "content/xtext.h"
#include "glomp/files.h"

namespace fs = std::filesystem;
using content_test::MeshData;
using content_test::ParseXText;
using content_test::ReadMesh;
using content_test::XFile;
using content_test::XObject;

namespace {

std::string ReadText(const std::string& path) {
  std::vector<unsigned char> bytes;
  if (!glomp::ReadWholeFile(path.c_str(), &bytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

// Every data file the game opens by a fixed name (stage models are checked
// through the stage files below).
const char* const kFixedFiles[] = {
    "./data/csv/title.csv",
    "./data/csv/model3.csv",
    "./data/model/Character/Player/slime9.x",
    "./data/model/Map/Sky.x",
    "data/icon/ICON.ico",
    "./data/texture/white.png",
    "data/texture/message/loading_message.png",
    "data/texture/message/press_enter_key.png",
    "data/texture/message/start_message.png",
    "data/texture/message/clear_message.png",
    "data/texture/kamifubuki.png",
    "data/texture/shader/Toon.png",
    "data/Texture/Toon.png",
    "data/Texture/CubeMap.dds",
    "data/texture/WalkEffect.png",
    "data/texture/WalkEffect2.png",
    "data/texture/jumpEffect.png",
    "data/texture/flag.png",
    "data/texture/flag2.png",
    "data/texture/checkeffect.png",
    "data/sound/bgm/title.wav",
    "data/sound/bgm/game.wav",
    "data/sound/se/UI/button_select.wav",
    "data/sound/se/UI/button_derection.wav",
    "data/sound/se/Slime/jump.wav",
    "data/sound/se/Slime/stamp.wav",
    "data/sound/se/Slime/walk.wav",
    "data/sound/se/Effect/flag_effect.wav",
    "data/sound/se/Effect/clear_effect.wav",
    "data/sound/se/Map/gate.wav",
    "data/sound/se/Map/gate_open.wav",
};

TEST(Content, EveryFileTheGameNamesIsThere) {
  for (const char* path : kFixedFiles) {
    EXPECT_FALSE(glomp::ResolvePath(path).empty()) << path;
  }
}

struct Png {
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;
};

Png LoadPng(const std::string& path) {
  Png p;
  int n = 0;
  const std::string onDisk = glomp::ResolvePath(path.c_str());
  unsigned char* d = stbi_load(onDisk.c_str(), &p.w, &p.h, &n, 4);
  if (d) {
    p.rgba.assign(d, d + static_cast<size_t>(p.w) * p.h * 4);
    stbi_image_free(d);
  }
  return p;
}

TEST(Content, PicturesHaveTheSizesTheGameAssumes) {
  for (const char* path : kFixedFiles) {
    const std::string p = path;
    if (p.size() > 4 && p.substr(p.size() - 4) == ".png") {
      EXPECT_GT(LoadPng(p).w, 0) << p << " does not decode";
    }
  }
  // The start band grows by 4 / height per frame: the white picture must be short.
  EXPECT_LT(LoadPng("./data/texture/white.png").h, 4);
  // Confetti: 36 cells of 640 x 480, a whole number of columns, transparent ground.
  const Png confetti = LoadPng("data/texture/kamifubuki.png");
  ASSERT_GT(confetti.w, 0);
  EXPECT_EQ(confetti.w % 640, 0);
  EXPECT_EQ(confetti.h % 480, 0);
  EXPECT_GE((confetti.w / 640) * (confetti.h / 480), 36);
  EXPECT_EQ(confetti.rgba[3], 0) << "corner of the confetti sheet should be transparent";
  // Ten ring frames side by side, each one square.
  const Png rings = LoadPng("data/texture/WalkEffect.png");
  EXPECT_EQ(rings.w, rings.h * 10);
  // Lettering fits its picture: nothing drawn on the outermost pixels.
  for (const char* message :
       {"data/texture/message/loading_message.png", "data/texture/message/press_enter_key.png",
        "data/texture/message/start_message.png", "data/texture/message/clear_message.png"}) {
    const Png m = LoadPng(message);
    ASSERT_GT(m.w, 0) << message;
    int touching = 0;
    for (int y = 0; y < m.h; ++y) {
      touching += m.rgba[(static_cast<size_t>(y) * m.w) * 4 + 3] > 0;
      touching += m.rgba[(static_cast<size_t>(y) * m.w + m.w - 1) * 4 + 3] > 0;
    }
    for (int x = 0; x < m.w; ++x) {
      touching += m.rgba[static_cast<size_t>(x) * 4 + 3] > 0;
      touching += m.rgba[(static_cast<size_t>(m.h - 1) * m.w + x) * 4 + 3] > 0;
    }
    EXPECT_EQ(touching, 0) << message << " is cut off at its edge";
  }
  // The loading picture is cut into ten equal slices.
  EXPECT_EQ(LoadPng("data/texture/message/loading_message.png").w % 10, 0);
}

TEST(Content, CubeMapIsAnUncompressedSixFaceDds) {
  const std::string dds = ReadText("data/Texture/CubeMap.dds");
  ASSERT_GE(dds.size(), 128u);
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, dds.data() + at, 4);
    return v;
  };
  EXPECT_EQ(dds.substr(0, 4), "DDS ");
  const uint32_t size = u32(12);
  EXPECT_EQ(u32(16), size);                // square faces
  EXPECT_EQ(u32(112) & 0xFE00u, 0xFE00u);  // a cube map with all six faces
  EXPECT_EQ(u32(88), 32u);                 // 32 bits per pixel
  EXPECT_EQ(dds.size(), 128u + 6u * size * size * 4u);
}

TEST(Content, IconHoldsImagesItsDirectoryPointsAt) {
  const std::string ico = ReadText("data/icon/ICON.ico");
  ASSERT_GE(ico.size(), 6u);
  uint16_t type, count;
  std::memcpy(&type, ico.data() + 2, 2);
  std::memcpy(&count, ico.data() + 4, 2);
  EXPECT_EQ(type, 1);
  ASSERT_GE(count, 1);
  for (int i = 0; i < count; ++i) {
    uint32_t bytes, offset;
    std::memcpy(&bytes, ico.data() + 6 + 16 * i + 8, 4);
    std::memcpy(&offset, ico.data() + 6 + 16 * i + 12, 4);
    EXPECT_LE(static_cast<size_t>(offset) + bytes, ico.size());
  }
}

// ---- WAV ----

struct Wav {
  uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
  uint32_t rate = 0, byteRate = 0;
  std::vector<int16_t> samples;
  bool ok = false;
};

Wav ReadWav(const std::string& path) {
  Wav w;
  const std::string b = ReadText(path);
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return w;
  size_t at = 12;
  bool haveFmt = false;
  while (at + 8 <= b.size()) {
    uint32_t size;
    std::memcpy(&size, b.data() + at + 4, 4);
    const std::string id = b.substr(at, 4);
    if (at + 8 + size > b.size()) return w;
    if (id == "fmt " && size >= 16) {
      std::memcpy(&w.format, b.data() + at + 8, 2);
      std::memcpy(&w.channels, b.data() + at + 10, 2);
      std::memcpy(&w.rate, b.data() + at + 12, 4);
      std::memcpy(&w.byteRate, b.data() + at + 16, 4);
      std::memcpy(&w.blockAlign, b.data() + at + 20, 2);
      std::memcpy(&w.bits, b.data() + at + 22, 2);
      haveFmt = true;
    } else if (id == "data" && haveFmt) {
      w.samples.resize(size / 2);
      std::memcpy(w.samples.data(), b.data() + at + 8, w.samples.size() * 2);
      w.ok = true;
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

TEST(Content, SoundsArePcm44kHz16BitAndMusicLoopsCleanly) {
  for (const char* path : kFixedFiles) {
    const std::string p = path;
    if (p.find(".wav") == std::string::npos) continue;
    const Wav w = ReadWav(p);
    ASSERT_TRUE(w.ok) << p;
    EXPECT_EQ(w.format, 1) << p;
    EXPECT_EQ(w.rate, 44100u) << p;
    EXPECT_EQ(w.bits, 16) << p;
    // 3D-capable buffers take one channel.
    EXPECT_EQ(w.channels, 1) << p;
    EXPECT_EQ(w.blockAlign, w.channels * 2) << p;
    EXPECT_EQ(w.byteRate, w.rate * w.blockAlign) << p;
    ASSERT_FALSE(w.samples.empty()) << p;
    int peak = 0;
    for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 2000) << p << " is nearly silent";
    const bool music = p.find("/bgm/") != std::string::npos;
    if (music) {
      EXPECT_GE(w.samples.size(), 20u * 44100u) << p;
      // The step from the last sample back to the first is no bigger than the
      // steps inside the track: no click at the loop point.
      int largestStep = 0;
      for (size_t i = 1; i < w.samples.size(); ++i) {
        largestStep = std::max(largestStep, std::abs(w.samples[i] - w.samples[i - 1]));
      }
      EXPECT_LE(std::abs(w.samples.front() - w.samples.back()), largestStep / 4) << p;
    } else {
      // Effects start and end at silence.
      EXPECT_LT(std::abs(w.samples.front()), 200) << p;
      EXPECT_LT(std::abs(w.samples.back()), 200) << p;
    }
  }
  const Wav title = ReadWav("data/sound/bgm/title.wav"), game = ReadWav("data/sound/bgm/game.wav");
  EXPECT_NE(title.samples.size(), game.samples.size()) << "two different tracks";
}

// ---- Models ----

// Checks one static mesh as the stage and the toon pass read it; returns the
// parsed data for further checks.
MeshData CheckMesh(const XObject& mesh, const std::string& what) {
  MeshData d = ReadMesh(mesh);
  EXPECT_TRUE(d.error.empty()) << what << ": " << d.error;
  const size_t nv = d.positions.size() / 3;
  EXPECT_GT(nv, 0u) << what;
  EXPECT_LE(nv, 65535u) << what << ": more vertices than 16-bit indices reach";
  EXPECT_EQ(d.normals.size(), nv * 3) << what << ": one normal per vertex";
  EXPECT_EQ(d.uvs.size(), nv * 2) << what << ": one texture coordinate per vertex";
  EXPECT_EQ(d.faceMaterial.size(), d.faces.size()) << what;
  EXPECT_EQ(static_cast<int>(d.materials.size()), d.materialCount) << what;
  int wrongWinding = 0;
  for (size_t f = 0; f < d.faces.size(); ++f) {
    const auto& face = d.faces[f];
    bool valid = face.size() == 3;
    for (int i : face) valid = valid && i >= 0 && static_cast<size_t>(i) < nv;
    EXPECT_TRUE(valid) << what << ": face " << f << " is not a triangle of known vertices";
    if (!valid) continue;
    EXPECT_LT(d.faceMaterial[f], d.materialCount) << what;
    // Front faces are clockwise seen from outside in D3D's left-handed space,
    // which makes (v1 - v0) x (v2 - v0) point the way the normals do.
    auto P = [&](int i, int c) { return d.positions[3 * face[i] + c]; };
    const double e1[3] = {P(1, 0) - P(0, 0), P(1, 1) - P(0, 1), P(1, 2) - P(0, 2)};
    const double e2[3] = {P(2, 0) - P(0, 0), P(2, 1) - P(0, 1), P(2, 2) - P(0, 2)};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    double along = 0;
    for (int i = 0; i < 3; ++i) {
      for (int c = 0; c < 3; ++c) along += n[c] * d.normals[3 * face[i] + c];
    }
    if (along <= 0) ++wrongWinding;
  }
  EXPECT_EQ(wrongWinding, 0) << what << ": faces wound against their normals";
  return d;
}

double Alpha(const XObject& material) {
  return material.numbers.size() > 3 ? material.numbers[3] : -1;
}

std::string TextureOf(const XObject& material) {
  const XObject* t = material.Child("TextureFilename");
  return t && !t->strings.empty() ? t->strings[0] : std::string();
}

struct StageRow {
  std::vector<std::string> columns;
};

std::vector<StageRow> ReadStage(const std::string& path) {
  std::vector<StageRow> rows;
  std::istringstream in(ReadText(path));
  std::string line;
  int skip = 2;
  while (std::getline(in, line)) {
    if (skip > 0) {
      --skip;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    StageRow row;
    size_t start = 0;
    while (true) {
      const size_t comma = line.find(',', start);
      if (comma == std::string::npos) {
        if (start < line.size()) row.columns.push_back(line.substr(start));
        break;
      }
      row.columns.push_back(line.substr(start, comma - start));
      start = comma + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(Content, StagesNameOnlyModelsThatParseWithSoundMaterials) {
  std::set<std::string> checked;
  for (const char* stage : {"./data/csv/title.csv", "./data/csv/model3.csv"}) {
    const auto rows = ReadStage(stage);
    ASSERT_FALSE(rows.empty()) << stage;
    for (const StageRow& row : rows) {
      ASSERT_GE(row.columns.size(), 11u) << stage;
      const std::string& kind = row.columns[10];
      if (kind == "MoveObject" || kind == "CheckPoint" || kind == "Gate") {
        EXPECT_GE(row.columns.size(), 15u) << stage << " " << row.columns[0];
      }
      const std::string model = row.columns[0];
      if (!checked.insert(model + "|" + kind).second) continue;
      const std::string text = ReadText(model);
      ASSERT_FALSE(text.empty()) << model << " named by " << stage << " is missing";
      const XFile x = ParseXText(text);
      ASSERT_TRUE(x.error.empty()) << model << ": " << x.error;
      EXPECT_EQ(x.header, "xof 0303txt 0032") << model;
      ASSERT_EQ(x.objects.size(), 1u) << model;
      ASSERT_EQ(x.objects[0]->type, "Mesh") << model;
      const MeshData d = CheckMesh(*x.objects[0], model);
      for (const XObject* m : d.materials) {
        if (kind == "Water") {
          EXPECT_GT(Alpha(*m), 0.5) << model << ": the toon pass skips alpha at or below 0.5";
          EXPECT_LT(Alpha(*m), 1.0) << model << ": water is translucent";
        } else {
          EXPECT_GT(Alpha(*m), 0.5) << model;
        }
        const std::string tex = TextureOf(*m);
        if (!tex.empty()) {
          EXPECT_FALSE(glomp::ResolvePath(tex.c_str()).empty()) << model << " names " << tex;
        }
      }
    }
  }
}

TEST(Content, GameStageHasItsGoalAndLinksEveryBlockToAnEarlierCheckpoint) {
  const auto rows = ReadStage("./data/csv/model3.csv");
  std::set<int> checkpointsSoFar;
  bool goal = false;
  int gates[2] = {0, 0};
  for (const StageRow& row : rows) {
    const std::string& kind = row.columns[10];
    if (kind == "CheckPoint") {
      const int number = std::atoi(row.columns[14].c_str());
      checkpointsSoFar.insert(number);
      if (number == 0) {
        goal = true;
        // The goal stands on the goal platform where the clear walk happens.
        EXPECT_NEAR(std::atof(row.columns[1].c_str()), -134, 6);
        EXPECT_NEAR(std::atof(row.columns[3].c_str()), 125, 6);
      }
    } else if (kind == "MoveObject") {
      const int number = std::atoi(row.columns[14].c_str());
      if (number != 0) {
        EXPECT_TRUE(checkpointsSoFar.count(number))
            << "block " << number << " before its checkpoint";
      }
    } else if (kind == "Gate") {
      ++gates[std::atoi(row.columns[14].c_str()) > 0 ? 1 : 0];
    }
  }
  EXPECT_TRUE(goal);
  EXPECT_GE(checkpointsSoFar.size(), 3u);
  EXPECT_EQ(gates[0], 1);
  EXPECT_EQ(gates[1], 1) << "two wings swinging apart";
}

TEST(Content, TitleStageHasOneSolidFloorAndAFlag) {
  // The title slime's look-ahead wants every solid object below its probe, so
  // the floor is one object and all else is scenery.
  int solid = 0, flags = 0;
  for (const StageRow& row : ReadStage("./data/csv/title.csv")) {
    const std::string& kind = row.columns[10];
    if (kind == "Map" || kind == "MoveObject" || kind == "Gate") ++solid;
    if (kind == "Flag") ++flags;
  }
  EXPECT_EQ(solid, 1);
  EXPECT_EQ(flags, 1);
}

TEST(Content, SkyIsSeenFromInside) {
  const XFile x = ParseXText(ReadText("./data/model/Map/Sky.x"));
  ASSERT_TRUE(x.error.empty()) << x.error;
  const MeshData d = CheckMesh(*x.objects[0], "Sky.x");
  // Normals (and so the front faces) point at the centre.
  double inward = 0;
  for (size_t v = 0; v < d.positions.size() / 3; ++v) {
    for (int c = 0; c < 3; ++c) inward -= d.positions[3 * v + c] * d.normals[3 * v + c];
  }
  EXPECT_GT(inward, 0);
}

// ---- The slime ----

const std::string kWords[6] = {"\x89\x45", "\x8D\xB6", "\x8F\xE3",
                               "\x89\xBA", "\x91\x4F", "\x8C\xE3"};
const int kAxis[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

// Splits a bone name into direction words; false if it is not made of them.
bool DirectionOf(const std::string& name, int dir[3], int* words) {
  dir[0] = dir[1] = dir[2] = 0;
  *words = 0;
  if (name.empty() || name.size() % 2) return false;
  for (size_t at = 0; at < name.size(); at += 2) {
    int found = -1;
    for (int w = 0; w < 6; ++w) {
      if (name.compare(at, 2, kWords[w]) == 0) found = w;
    }
    if (found < 0) return false;
    for (int c = 0; c < 3; ++c) {
      if (kAxis[found][c] && dir[c]) return false;  // one word per axis
      dir[c] += kAxis[found][c];
    }
    ++*words;
  }
  return *words >= 1 && *words <= 3;
}

TEST(Content, SlimeHasTheCoreAndTwentySixDirectionBones) {
  const XFile x = ParseXText(ReadText("./data/model/Character/Player/slime9.x"));
  ASSERT_TRUE(x.error.empty()) << x.error;
  ASSERT_EQ(x.objects.size(), 1u) << "one root frame";
  const XObject& core = *x.objects[0];
  EXPECT_EQ(core.type, "Frame");
  EXPECT_EQ(core.name, std::string("\x8A\x6A")) << "frame 0 is the core";
  const XObject* coreMatrix = core.Child("FrameTransformMatrix");
  ASSERT_NE(coreMatrix, nullptr);
  ASSERT_EQ(coreMatrix->numbers.size(), 16u);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(coreMatrix->numbers[i], i % 5 == 0 ? 1.0 : 0.0) << "core at the origin";

  std::map<std::string, std::vector<double>> rest;
  std::set<std::vector<int>> directions;
  for (const auto& child : core.children) {
    if (child->type != "Frame") continue;
    EXPECT_TRUE(child->Child("Frame") == nullptr) << "bones have no children of their own";
    int dir[3], words;
    ASSERT_TRUE(DirectionOf(child->name, dir, &words)) << "bone name is not direction words";
    directions.insert({dir[0], dir[1], dir[2]});
    const XObject* m = child->Child("FrameTransformMatrix");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->numbers.size(), 16u);
    const double t[3] = {m->numbers[12], m->numbers[13], m->numbers[14]};
    const double len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
    EXPECT_NEAR(len, 0.5, 0.05) << "rest offset on a sphere of radius 0.5";
    const double dirLen = std::sqrt(static_cast<double>(words));
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(t[c] / len, dir[c] / dirLen, 1e-4) << "offset along the words' axes";
    rest[child->name] = {t[0], t[1], t[2]};
  }
  EXPECT_EQ(rest.size(), 26u);
  EXPECT_EQ(directions.size(), 26u) << "every face, edge and corner once";

  // The skinned body: weights to the 26 bones only, summing to one per vertex;
  // offset matrices undo each bone's bind pose.
  const XObject* mesh = core.Child("Mesh");
  ASSERT_NE(mesh, nullptr);
  const MeshData body = CheckMesh(*mesh, "slime9.x");
  EXPECT_EQ(body.materialCount, 1);
  const size_t nv = body.positions.size() / 3;
  for (size_t v = 0; v < nv; ++v) {
    const double r = std::sqrt(body.positions[3 * v] * body.positions[3 * v] +
                               body.positions[3 * v + 1] * body.positions[3 * v + 1] +
                               body.positions[3 * v + 2] * body.positions[3 * v + 2]);
    EXPECT_NEAR(r, 0.5, 0.05) << "a body of radius about 0.5";
  }
  const XObject* header = mesh->Child("XSkinMeshHeader");
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(header->numbers.size(), 3u);
  EXPECT_EQ(header->numbers[2], 26);
  std::vector<double> sums(nv, 0.0);
  std::vector<int> influences(nv, 0);
  std::set<std::string> skinned;
  for (const auto& c : mesh->children) {
    if (c->type != "SkinWeights") continue;
    ASSERT_EQ(c->strings.size(), 1u);
    const std::string bone = c->strings[0];
    ASSERT_TRUE(rest.count(bone)) << "weights name a bone frame";
    EXPECT_TRUE(skinned.insert(bone).second);
    const auto& n = c->numbers;
    ASSERT_FALSE(n.empty());
    const size_t count = static_cast<size_t>(n[0]);
    ASSERT_EQ(n.size(), 1 + 2 * count + 16);
    for (size_t i = 0; i < count; ++i) {
      const size_t v = static_cast<size_t>(n[1 + i]);
      ASSERT_LT(v, nv);
      sums[v] += n[1 + count + i];
      ++influences[v];
    }
    const double* offset = &n[1 + 2 * count];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(offset[12 + k], -rest[bone][k], 1e-6);
  }
  EXPECT_EQ(skinned.size(), 26u);
  for (size_t v = 0; v < nv; ++v) {
    EXPECT_NEAR(sums[v], 1.0, 1e-5) << "vertex " << v;
    EXPECT_GE(influences[v], 1);
    EXPECT_LE(influences[v], header->numbers[0]);
  }
  // Its texture sits next to the model: the skinned loader prefixes the folder.
  const std::string tex = TextureOf(*body.materials[0]);
  EXPECT_FALSE(glomp::ResolvePath(("./data/model/Character/Player/" + tex).c_str()).empty()) << tex;
}

// ---- Reproducible generation ----

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file())
      files[fs::relative(e.path(), root).string()] = ReadText(e.path().string());
  }
  return files;
}

TEST(Content, GeneratingAgainWritesTheSameBytesAsTheBuild) {
  // The build ran the generator once into data/; a second run elsewhere must
  // write every file again, byte for byte.
  const char* font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
  const fs::path out = fs::temp_directory_path() / ("glomp_content_" + std::to_string(::getpid()));
  fs::remove_all(out);
  const std::string cmd = "./assetgen " + out.string() + " " + font;
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  const auto again = Tree(out);
  EXPECT_GT(again.size(), 40u);
  for (const auto& [name, bytes] : again) {
    EXPECT_TRUE(ReadText("data/" + name) == bytes) << name << " differs from the build's copy";
  }
  fs::remove_all(out);
}

TEST(Content, GeneratorRefusesAMissingFontWithoutWriting) {
  const fs::path out = fs::temp_directory_path() / ("glomp_nofont_" + std::to_string(::getpid()));
  const std::string cmd = "./assetgen " + out.string() + " /nonexistent/font.ttf 2>/dev/null";
  EXPECT_NE(std::system(cmd.c_str()), 0);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_NE(std::system("./assetgen 2>/dev/null"), 0) << "no arguments is a usage error";
  // A data folder that cannot be made (a plain file stands in its way) fails
  // the run instead of reporting success.
  const fs::path blocker =
      fs::temp_directory_path() / ("glomp_blocker_" + std::to_string(::getpid()));
  std::ofstream(blocker) << "not a folder";
  const std::string blocked = "./assetgen " + blocker.string() +
                              " /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf 2>/dev/null";
  EXPECT_NE(std::system(blocked.c_str()), 0);
  fs::remove(blocker);
}

}  // namespace

// ---- Through the game's own X reader (tools/xinfo) ----

namespace xinfo_check {

std::string Run(const std::string& args, int* status) {
  std::string out;
  std::FILE* p = ::popen(("./xinfo " + args + " 2>&1").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
  *status = ::pclose(p);
  return out;
}

// The value after "key": on a line of xinfo's JSON (numbers, null, or a string).
std::string Field(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\": ");
  if (at == std::string::npos) return {};
  size_t start = at + key.size() + 4;
  if (line[start] == '"') return line.substr(start + 1, line.find('"', start + 1) - start - 1);
  if (line[start] == '[') return line.substr(start + 1, line.find(']', start) - start - 1);
  size_t end = line.find_first_of(",}", start);
  return line.substr(start, end - start);
}

std::vector<double> Numbers(const std::string& list) {
  std::vector<double> v;
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) v.push_back(std::atof(item.c_str()));
  return v;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

}  // namespace xinfo_check

TEST(Content, SlimeAsTheGameLoadsIt) {
  if (!fs::exists("xinfo")) FAIL() << "xinfo is missing: it is built with the tests";
  int status = -1;
  const std::string json =
      xinfo_check::Run("--json ./data/model/Character/Player/slime9.x", &status);
  ASSERT_EQ(status, 0) << json;
  std::istringstream in(json);
  std::string line;
  int frames = 0, bones = 0;
  double sumMin = 0, sumMax = 0;
  bool inFrames = false;
  while (std::getline(in, line)) {
    if (line.find("\"frames\"") != std::string::npos) inFrames = true;
    if (line.find("\"containers\"") != std::string::npos) inFrames = false;
    if (inFrames && line.find("\"name_hex\"") != std::string::npos) {
      const std::string name = xinfo_check::Unhex(xinfo_check::Field(line, "name_hex"));
      const std::string parent = xinfo_check::Field(line, "parent");
      const auto t = xinfo_check::Numbers(xinfo_check::Field(line, "transform"));
      ASSERT_EQ(t.size(), 16u);
      if (frames == 0) {
        EXPECT_EQ(name, std::string("\x8A\x6A")) << "frame 0 is the core";
        EXPECT_EQ(parent, "null");
      } else {
        EXPECT_EQ(parent, "0") << "bones hang from the core";
        int dir[3], words;
        ASSERT_TRUE(DirectionOf(name, dir, &words));
        const double len = std::sqrt(t[12] * t[12] + t[13] * t[13] + t[14] * t[14]);
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(t[12 + c] / len, dir[c] / std::sqrt(words * 1.0), 1e-4);
      }
      ++frames;
    } else if (!inFrames && line.find("\"influences\"") != std::string::npos) {
      ++bones;
    }
    if (line.find("\"weight_sum_min\"") != std::string::npos) {
      sumMin = std::atof(xinfo_check::Field(line, "weight_sum_min").c_str());
      sumMax = std::atof(xinfo_check::Field(line, "weight_sum_max").c_str());
    }
  }
  EXPECT_EQ(frames, 27);
  EXPECT_EQ(bones, 26);
  EXPECT_NEAR(sumMin, 1.0, 1e-5);
  EXPECT_NEAR(sumMax, 1.0, 1e-5);
}

TEST(Content, EveryModelLoadsThroughTheGamesReader) {
  if (!fs::exists("xinfo")) FAIL() << "xinfo is missing: it is built with the tests";
  std::set<std::string> models{"./data/model/Map/Sky.x", "./data/model/Character/Player/slime9.x"};
  for (const char* stage : {"./data/csv/title.csv", "./data/csv/model3.csv"}) {
    for (const StageRow& row : ReadStage(stage)) models.insert(row.columns[0]);
  }
  for (const std::string& m : models) {
    int status = -1;
    const std::string out = xinfo_check::Run(m, &status);
    EXPECT_EQ(status, 0) << m << ": " << out;
    EXPECT_NE(out.find("containers: 1"), std::string::npos) << m;
  }
}

// ---- The fixed spots of the design stand on the stage's floors ----

namespace floors {

struct Triangle {
  double p[3][3];
};

// The solid triangles of a stage in world space (objects placed as the
// loader places them: scale, then yaw-pitch-roll, then translation).
std::vector<Triangle> SolidTriangles(const std::string& stage) {
  std::vector<Triangle> out;
  std::map<std::string, MeshData> meshes;
  for (const StageRow& row : ReadStage(stage)) {
    const std::string& kind = row.columns[10];
    if (kind != "Map" && kind != "MoveObject" && kind != "Gate") continue;
    if (!meshes.count(row.columns[0])) {
      const XFile x = ParseXText(ReadText(row.columns[0]));
      if (!x.error.empty() || x.objects.empty()) continue;
      meshes[row.columns[0]] = ReadMesh(*x.objects[0]);
    }
    const MeshData& m = meshes[row.columns[0]];
    double v[10];
    for (int i = 1; i <= 9; ++i) v[i] = std::atof(row.columns[i].c_str());
    const double k = 0.017453292;
    const double cy = std::cos(v[8] * k), sy = std::sin(v[8] * k);
    const double cx = std::cos(v[7] * k), sx = std::sin(v[7] * k);
    const double cz = std::cos(v[9] * k), sz = std::sin(v[9] * k);
    auto place = [&](const double* in, double* o) {
      double a[3] = {in[0] * v[4], in[1] * v[5], in[2] * v[6]};
      double b[3] = {a[0] * cz - a[1] * sz, a[0] * sz + a[1] * cz, a[2]};  // roll about z
      double c[3] = {b[0], b[1] * cx - b[2] * sx, b[1] * sx + b[2] * cx};  // pitch about x
      o[0] = c[0] * cy + c[2] * sy + v[1];                                 // yaw about y
      o[1] = c[1] + v[2];
      o[2] = -c[0] * sy + c[2] * cy + v[3];
    };
    for (const auto& f : m.faces) {
      if (f.size() != 3) continue;
      Triangle t;
      for (int c = 0; c < 3; ++c) place(&m.positions[3 * f[c]], t.p[c]);
      out.push_back(t);
    }
  }
  return out;
}

// Height of the highest solid surface straight below (x, z); NaN when none.
double FloorAt(const std::vector<Triangle>& tris, double x, double z) {
  double best = std::nan("");
  for (const Triangle& t : tris) {
    const double* a = t.p[0];
    const double* b = t.p[1];
    const double* c = t.p[2];
    const double d = (b[2] - c[2]) * (a[0] - c[0]) + (c[0] - b[0]) * (a[2] - c[2]);
    if (std::fabs(d) < 1e-12) continue;  // a vertical face
    const double l1 = ((b[2] - c[2]) * (x - c[0]) + (c[0] - b[0]) * (z - c[2])) / d;
    const double l2 = ((c[2] - a[2]) * (x - c[0]) + (a[0] - c[0]) * (z - c[2])) / d;
    const double l3 = 1 - l1 - l2;
    if (l1 < -1e-9 || l2 < -1e-9 || l3 < -1e-9) continue;
    const double y = l1 * a[1] + l2 * b[1] + l3 * c[1];
    if (std::isnan(best) || y > best) best = y;
  }
  return best;
}

}  // namespace floors

TEST(Content, FixedSpotsStandOnFloorsHalfAUnitAboveThem) {
  // A standing slime's position is 0.5 below the surface it stands on.
  const auto game = floors::SolidTriangles("./data/csv/model3.csv");
  ASSERT_FALSE(game.empty());
  EXPECT_NEAR(floors::FloorAt(game, 0, 145), 0.5, 1e-4) << "start (0, 0, 145)";
  EXPECT_NEAR(floors::FloorAt(game, -130.2, 122.3), 63.5, 1e-4)
      << "clear placement (-130.2, 63, 122.3)";
  EXPECT_NEAR(floors::FloorAt(game, -127.3, 127.3), 63.5, 1e-4)
      << "end of the clear walk (-127.3, 63, 127.3)";
  // The slime drifts west along z 127.3 after its walk: the platform carries on.
  EXPECT_NEAR(floors::FloorAt(game, -138, 127.3), 63.5, 1e-4);
  // The clear camera's last pose looks at ground level near (-93, 0, 120).
  EXPECT_NEAR(floors::FloorAt(game, -93, 125), 0.0, 1e-4);
}

TEST(Content, TitleFloorHasGapsTheHopClears) {
  // The title slime walks right along z 0 from x -1.45. At its scale of 0.05
  // a hop carries it 0.27 units, and it takes off as soon as its probes (up
  // to 0.1 ahead) find no floor, so it comes down about 0.17 past a gap's
  // start: every gap must be narrower than that, with room to spare, and the
  // floor must span the picture.
  const auto title = floors::SolidTriangles("./data/csv/title.csv");
  ASSERT_FALSE(title.empty());
  EXPECT_NEAR(floors::FloorAt(title, -1.45, 0), -0.35, 1e-4);
  int gaps = 0;
  double gapStart = 0;
  bool inGap = false;
  for (double x = -1.45; x <= 1.8; x += 0.001) {
    const bool floor = !std::isnan(floors::FloorAt(title, x, 0));
    if (!floor && !inGap) gapStart = x, inGap = true, ++gaps;
    if (floor && inGap) {
      inGap = false;
      EXPECT_LT(x - gapStart, 0.15) << "gap at x " << gapStart;
    }
  }
  EXPECT_FALSE(inGap) << "the floor reaches the right of the picture";
  EXPECT_GE(gaps, 2) << "gaps to hop over inside the view";
}
