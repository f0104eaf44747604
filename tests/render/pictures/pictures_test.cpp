// The game's pictures stay as they were drawn before the drawing got faster:
// each is drawn again and compared with the one kept in reference/, by a mean
// difference nobody would see and by where its lines (outline, edge overlay)
// and steps (toon bands, shadow borders) lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "pictures.h"

namespace pictures {
namespace {

// Levels of 0..255, averaged over every pixel and channel.
constexpr double kMeanLimit = 1.0;
// Share of the reference's line and step pixels that must be found again within
// a pixel, and the other way round.
constexpr double kShareLimit = 0.95;

Pixels Reference(const std::string& name) { return ReadPng(ReferenceFolder() / (name + ".png")); }

class PictureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PictureTest, LooksAsItDidBefore) {
  const std::string name = GetParam();
  const Pixels before = Reference(name);
  ASSERT_FALSE(before.empty()) << "no reference picture " << name << ".png in " << ReferenceFolder();
  const Pixels after = Draw(name);
  ASSERT_FALSE(after.empty()) << "the frame could not be read back";
  // Kept next to the tests for a look side by side with the reference.
  std::filesystem::create_directories("pictures");
  WritePng(std::filesystem::path("pictures") / (name + ".png"), after);

  const Features was = FindFeatures(before);
  const Features now = FindFeatures(after);
  // A reference without structure would let anything pass.
  ASSERT_GT(Count(was.lines), 200) << name;
  ASSERT_GT(Count(was.steps), 2000) << name;
  std::printf("%s: mean difference %.3f; lines %d -> %d, found %.4f / %.4f; steps %d -> %d, found %.4f / %.4f\n",
              name.c_str(), MeanDifference(before, after), Count(was.lines), Count(now.lines),
              ShareFound(was.lines, now.lines), ShareFound(now.lines, was.lines),
              Count(was.steps), Count(now.steps), ShareFound(was.steps, now.steps),
              ShareFound(now.steps, was.steps));
  EXPECT_LE(MeanDifference(before, after), kMeanLimit) << name;
  EXPECT_GE(ShareFound(was.lines, now.lines), kShareLimit) << name << ": lines gone";
  EXPECT_GE(ShareFound(now.lines, was.lines), kShareLimit) << name << ": new lines";
  EXPECT_GE(ShareFound(was.steps, now.steps), kShareLimit) << name << ": steps gone";
  EXPECT_GE(ShareFound(now.steps, was.steps), kShareLimit) << name << ": new steps";
}

INSTANTIATE_TEST_SUITE_P(Kept, PictureTest, ::testing::ValuesIn(kPictureNames),
                         [](const auto& info) {
                           std::string name(info.param);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// The measures themselves: a picture whose lines and bands sit three pixels
// further right is caught although it is the same picture otherwise, and a
// picture compared with itself passes everything.
TEST(PictureMeasures, CatchLinesAndBandsThatMoved) {
  const Pixels before = Reference("bench");
  ASSERT_FALSE(before.empty());
  Pixels moved(before.size());
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      moved[std::size_t(y) * kWidth + x] = before[std::size_t(y) * kWidth + std::max(0, x - 3)];
    }
  }
  const Features was = FindFeatures(before);
  const Features now = FindFeatures(moved);
  EXPECT_LT(ShareFound(was.lines, now.lines), kShareLimit);
  EXPECT_LT(ShareFound(was.steps, now.steps), kShareLimit);
  EXPECT_EQ(MeanDifference(before, before), 0.0);
  EXPECT_EQ(ShareFound(was.lines, was.lines), 1.0);
}

TEST(PictureMeasures, CatchAPictureWithoutItsEdgeOverlay) {
  // Lines are what the edge overlay draws: a picture with every line pixel
  // replaced by its left neighbour three pixels away has lost them.
  const Pixels before = Reference("start");
  ASSERT_FALSE(before.empty());
  const Features was = FindFeatures(before);
  Pixels erased = before;
  for (std::size_t i = 3; i < erased.size(); ++i) {
    if (was.lines[i]) erased[i] = before[i - 3];
  }
  EXPECT_LT(ShareFound(was.lines, FindFeatures(erased).lines), kShareLimit);
}

}  // namespace
}  // namespace pictures
