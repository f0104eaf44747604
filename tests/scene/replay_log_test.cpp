// The scene flow as the replay tool's state log reports it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": ";
  const size_t at = line.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t start = at + key.size();
  return line.substr(start, line.find_first_of(",}", start) - start);
}

TEST(ReplayLog, FollowsTheSceneIdFadeChangeClockAndLoadingFrames) {
  if (!fs::exists("replay")) FAIL() << "replay is missing: it is built with the tests";
  const fs::path directory = fs::path(testing::TempDir()) / "scene_replay";
  fs::remove_all(directory);
  fs::create_directories(directory);
  std::ofstream(directory / "enter.script") << "0 ANSWER no\n40 KEY RETURN down\n42 KEY RETURN up\n";
  const std::string command = "./replay --script " + (directory / "enter.script").string() +
                              " --frames 125 --log " + (directory / "state.log").string() +
                              " > " + (directory / "out.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream in(directory / "state.log");
  std::vector<std::string> frames;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("{\"frame\"", 0) == 0) frames.push_back(line);
  }
  ASSERT_EQ(frames.size(), 125u);

  EXPECT_EQ(Field(frames[0], "scene"), "0");
  EXPECT_EQ(Field(frames[0], "fading"), "true");
  EXPECT_EQ(Field(frames[0], "fade_alpha"), "245");
  EXPECT_EQ(Field(frames[0], "changing"), "false");
  EXPECT_EQ(Field(frames[0], "frame_count"), "0");
  EXPECT_EQ(Field(frames[0], "loading_frames"), "0");
  EXPECT_EQ(Field(frames[30], "frame_count"), "6");  // counting since frame 25
  EXPECT_EQ(Field(frames[40], "changing"), "true");
  EXPECT_EQ(Field(frames[40], "fade_alpha"), "0");
  EXPECT_EQ(Field(frames[91], "fade_alpha"), "255");
  EXPECT_EQ(Field(frames[91], "scene"), "0");
  EXPECT_EQ(Field(frames[92], "scene"), "1");
  EXPECT_EQ(Field(frames[92], "changing"), "false");
  EXPECT_EQ(Field(frames[92], "frame_count"), "0");
  EXPECT_EQ(Field(frames[93], "loading_frames"), "0");
  EXPECT_EQ(Field(frames[118], "fading"), "false");
}

}  // namespace
