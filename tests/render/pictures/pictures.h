// The pictures the drawing must keep: the benchmark scene and the two stages
// seen from the game's fixed camera poses, drawn through the game's own drawing
// frame (CScene::Render) at 1280 x 720, and the measures that compare a picture
// with the one drawn before a change.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pictures {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// 0xAARRGGBB pixels, row by row from the top.
using Pixels = std::vector<std::uint32_t>;

// bench: the scene of bench_render_frame; title: the title stage from the title
// camera; start, overview, clear-final: the game stage from the start and clear
// cameras' fixed poses.
inline const char* const kPictureNames[] = {"bench", "title", "start", "overview", "clear-final"};

// Starts the game headless (windowed, the start-up fade over); false if it cannot.
bool StartGame();
void StopGame();
// Draws the named picture; empty for an unknown name or when nothing could be read.
Pixels Draw(const std::string& name);

// Where the pictures drawn before the change are kept: NAME.png in this folder.
std::filesystem::path ReferenceFolder();
bool WritePng(const std::filesystem::path& path, const Pixels& pixels);
// Empty when the file is missing, unreadable or not kWidth x kHeight.
Pixels ReadPng(const std::filesystem::path& path);

// Mean over all pixels of the mean absolute difference of red, green and blue,
// in levels of 0..255.
double MeanDifference(const Pixels& a, const Pixels& b);

// Where a picture's drawn structure is, one flag per pixel:
// - lines: thin dark strokes (the outline and the edge overlay), pixels darker by
//   a clear margin than the pixels three to either side of them;
// - steps: sharp brightness steps to the next pixel (the toon ramp's bands and
//   shadow borders, and the lines' sides).
struct Features {
  std::vector<bool> lines;
  std::vector<bool> steps;
};
Features FindFeatures(const Pixels& pixels);
int Count(const std::vector<bool>& mask);
// The share of `from`'s set pixels that have a set pixel of `to` within one
// pixel (1 when `from` has none).
double ShareFound(const std::vector<bool>& from, const std::vector<bool>& to);

}  // namespace pictures
