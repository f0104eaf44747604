// The parts of the game's content that assetgen writes, one function per kind.
// Every function takes the data/ folder to write into and reports success.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "mesh.h"

namespace assetgen {

struct SlimeBone {
  std::string name;  // direction words, Shift-JIS
  Vec3 axis;         // the words' axes, components -1, 0 or 1
  Vec3 rest;         // rest offset from the core
};
std::vector<SlimeBone> SlimeBones();
std::string SlimeCoreName();
Mesh SlimeBody();
// For each vertex: (bone index, weight in millionths) pairs summing to 1000000.
std::vector<std::vector<std::pair<int, int>>> SlimeWeights(const Mesh& body,
                                                           const std::vector<SlimeBone>& bones);
bool WriteSlime(const std::string& dataDir);

// Sky dome, stage pieces and the title logo under data/model/Map/.
bool WriteMapModels(const std::string& dataDir);
// Every model the stages name, by name, for previews and checks.
std::vector<std::pair<std::string, Mesh>> BuildMapModels();

bool WriteTextures(const std::string& dataDir);
bool WriteSounds(const std::string& dataDir);

}  // namespace assetgen
