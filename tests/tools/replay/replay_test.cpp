// The replay tool run as a program, the way demos and whole-game tests use it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("replay")) FAIL() << "replay is missing: it is built with the tests";
    // ctest runs the cases of this file side by side: each gets its own folder.
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    directory = fs::path(testing::TempDir()) / ("replay_" + name);
    fs::remove_all(directory);
    fs::create_directories(directory);
  }
  int Run(const std::string& script, const std::string& arguments) {
    const fs::path scriptPath = directory / "test.script";
    std::ofstream(scriptPath) << script;
    const std::string command = "./replay --script " + scriptPath.string() + " " + arguments +
                                " > " + (directory / "out.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path directory;
};

TEST_F(ReplayTest, LogsTheWindowAndEveryFrameAndEndsWithExitCodeZero) {
  const fs::path log = directory / "state.log";
  const fs::path shots = directory / "shots";
  ASSERT_EQ(Run("0 ANSWER no\n2 KEY ESCAPE down\n4 KEY ESCAPE up\n3 MOUSEX 9\n",
                "--frames 6 --shots " + shots.string() + " --shot-at 1,5,99 --log " +
                    log.string()),
            0);
  const auto lines = ReadLines(log);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0],
            "{\"window\": {\"title\": \"glomp! ver1.0.2\", \"client_width\": 1280, "
            "\"client_height\": 720, \"fullscreen\": false}}");
  // The frame line starts with these fields; later fields (sounds, scene, ...) follow them.
  // The clock at frame 0 depends on how many loading frames (16 ms each) the
  // title took to build during start-up; from there a frame is 16 ms.
  const auto timeOf = [](const std::string& line) {
    const size_t at = line.find("\"time\": ");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 8));
  };
  const int start = timeOf(lines[1]);
  EXPECT_GE(start, 0);
  EXPECT_EQ(start % 16, 0);
  EXPECT_EQ(lines[1].rfind("{\"frame\": 0, \"time\": " + std::to_string(start) +
                               ", \"keys\": [0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0], "
                               "\"mouse_dx\": 0, \"messagebox\": \"フルスクリーンにしますか？\"",
                           0),
            0u)
      << lines[1];
  // Escape on the title asks whether to quit; after the default No the keyboard
  // is read again, so the frame ends with Escape held.
  EXPECT_NE(lines[3].find("\"frame\": 2, \"time\": " + std::to_string(start + 32) +
                          ", \"keys\": [2,"),
            std::string::npos);
  EXPECT_NE(lines[3].find("\"messagebox\": \"終了しますか？\""), std::string::npos);
  EXPECT_NE(lines[4].find("\"keys\": [2,"), std::string::npos);
  EXPECT_NE(lines[4].find("\"mouse_dx\": 9, \"messagebox\": null"), std::string::npos);
  EXPECT_NE(lines[5].find("\"keys\": [3,"), std::string::npos);
  EXPECT_NE(lines[6].find("\"frame\": 5, \"time\": " + std::to_string(start + 80) + ","),
            std::string::npos);
  EXPECT_GT(fs::file_size(shots / "frame0001.png"), 100u);
  EXPECT_TRUE(fs::exists(shots / "frame0005.png"));
  EXPECT_FALSE(fs::exists(shots / "frame0099.png"));
}

// Drawing only the shot frames changes nothing the game does: the same input
// logs the same frames (apart from the clock, which counts loading frames), and
// the shot frame is drawn all the same.
TEST_F(ReplayTest, DrawingOnlyTheShotsPlaysTheSame) {
  const std::string script = "0 ANSWER no\n30 KEY UP down\n34 KEY UP up\n";
  const auto withoutTime = [](std::vector<std::string> lines) {
    for (std::string& line : lines) {
      const size_t at = line.find("\"time\": ");
      if (at != std::string::npos) line.erase(at, line.find(',', at) - at);
      const size_t loading = line.find("\"loading_frames\": ");
      if (loading != std::string::npos) line.erase(loading, line.find(',', loading) - loading);
    }
    return lines;
  };
  const fs::path shots = directory / "shots";
  ASSERT_EQ(Run(script, "--frames 90 --log " + (directory / "all.log").string()), 0);
  ASSERT_EQ(Run(script, "--frames 90 --draw shots --shots " + shots.string() +
                            " --shot-at 80 --log " + (directory / "shots.log").string()),
            0);
  const auto all = withoutTime(ReadLines(directory / "all.log"));
  const auto quick = withoutTime(ReadLines(directory / "shots.log"));
  ASSERT_EQ(all.size(), 91u);
  EXPECT_EQ(all, quick);
  EXPECT_GT(fs::file_size(shots / "frame0080.png"), 10000u);  // a picture, not a blank
  EXPECT_EQ(Run("", "--draw some"), 2);
}

TEST_F(ReplayTest, ScriptedYesToFullScreenIsLogged) {
  const fs::path log = directory / "full.log";
  ASSERT_EQ(Run("0 ANSWER yes\n", "--frames 1 --log " + log.string()), 0);
  const auto lines = ReadLines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("\"fullscreen\": true"), std::string::npos);
}

TEST_F(ReplayTest, BadScriptsAndOptionsAreRefusedWithAReason) {
  EXPECT_EQ(Run("1 KEY NOSUCHKEY down\n", "--frames 1"), 2);
  std::ifstream out(directory / "out.txt");
  const std::string message((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  EXPECT_NE(message.find("line 1"), std::string::npos) << message;
  EXPECT_EQ(Run("", "--frames -3"), 2);
  EXPECT_EQ(Run("", "--shot-at 3"), 2);  // shots need a directory
}

}  // namespace
