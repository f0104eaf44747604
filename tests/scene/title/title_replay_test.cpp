// The title screen as the replay tool runs it: faded in from white, the slime
// recoloured by Up and Down, Escape asking to quit, Enter and Space starting
// the game once, a held Enter not starting it. Screenshots of each run are
// written next to the logs for a look.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chara/TitleSlime.h"


#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;

// The text after "name": up to the next comma or closing brace (or the whole
// bracketed list for a list).
std::string Field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": ";
  const size_t at = line.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t start = at + key.size();
  if (line[start] == '[') return line.substr(start, line.find(']', start) - start + 1);
  return line.substr(start, line.find_first_of(",}", start) - start);
}

std::vector<float> Numbers(const std::string& list) {
  std::vector<float> values;
  const char* p = list.c_str() + 1;
  while (*p && *p != ']') {
    char* end = nullptr;
    values.push_back(std::strtof(p, &end));
    p = end;
    while (*p == ',' || *p == ' ') ++p;
  }
  return values;
}

struct ReplayRun {
  std::vector<std::string> frames;
  fs::path shots;

  // The title slime's part of a frame line ("null" while no title runs).
  std::string Slime(int frame) const {
    const std::string& line = frames.at(frame);
    const size_t at = line.find("\"title_slime\": ");
    return at == std::string::npos ? "<missing>" : line.substr(at + 15);
  }
  int Hue(int frame) const { return std::stoi(Field(Slime(frame), "hue")); }
  int HopDelay(int frame) const { return std::stoi(Field(Slime(frame), "hop_delay")); }
};

ReplayRun Replay(const std::string& name, const std::string& script, int frames,
           const std::string& shotAt = "") {
  ReplayRun run;
  const fs::path directory = fs::path(testing::TempDir()) / "title_replay" / name;
  fs::remove_all(directory);
  fs::create_directories(directory);
  std::ofstream(directory / "run.script") << script;
  run.shots = directory / "shots";
  std::string command = "./replay --script " + (directory / "run.script").string() +
                        " --frames " + std::to_string(frames) + " --log " +
                        (directory / "state.log").string();
  if (!shotAt.empty()) command += " --shots " + run.shots.string() + " --shot-at " + shotAt;
  command += " > " + (directory / "out.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  std::ifstream in(directory / "state.log");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("{\"frame\"", 0) == 0) run.frames.push_back(line);
  }
  return run;
}

// Mean RGB of a block of a screenshot.
struct Rgb {
  float r, g, b;
};
Rgb MeanOf(const fs::path& png, int x0, int y0, int size) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load(png.string().c_str(), &width, &height, &channels, 3);
  Rgb mean{-1, -1, -1};
  if (!rgb) return mean;
  mean = {0, 0, 0};
  for (int y = y0; y < y0 + size; ++y) {
    for (int x = x0; x < x0 + size; ++x) {
      const size_t i = (static_cast<size_t>(y) * width + x) * 3;
      mean.r += rgb[i];
      mean.g += rgb[i + 1];
      mean.b += rgb[i + 2];
    }
  }
  stbi_image_free(rgb);
  const float n = static_cast<float>(size * size);
  return {mean.r / n, mean.g / n, mean.b / n};
}

class TitleReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("replay")) FAIL() << "replay is missing: it is built with the tests";
  }
};

TEST_F(TitleReplay, TheTitleFadesInFromWhiteWithItsSlimeAndCamera) {
  const ReplayRun run = Replay("fade_in", "0 ANSWER no\n", 40, "0,12,39");
  ASSERT_EQ(run.frames.size(), 40u);
  EXPECT_EQ(Field(run.frames[0], "scene"), "0");
  EXPECT_EQ(Field(run.frames[0], "fade_alpha"), "245");
  EXPECT_EQ(Field(run.frames[25], "fading"), "false");
  EXPECT_EQ(Field(run.frames[0], "quit_requested"), "false");
  // The plain camera: (0, 0.1, −1.8) turned 5 degrees about X.
  const std::vector<float> camera = Numbers(Field(run.frames[0], "camera"));
  ASSERT_EQ(camera.size(), 3u);
  EXPECT_NEAR(camera[0], 0.0f, 1e-4f);
  EXPECT_NEAR(camera[1], 0.1f * 0.99619f + 1.8f * 0.08716f, 1e-3f);
  EXPECT_NEAR(camera[2], -1.8f * 0.99619f + 0.1f * 0.08716f, 1e-3f);
  // The slime starts at its start point, cyan, hue 360.
  EXPECT_EQ(Field(run.Slime(0), "position"), "[-1.45, 1.4, 0]");
  EXPECT_EQ(run.Hue(0), 360);
  EXPECT_EQ(Field(run.Slime(0), "colour"), "[0, 1, 1, 1]");

  // Nearly white at first, whiter than in the middle of the fade, then the sky.
  const Rgb first = MeanOf(run.shots / "frame0000.png", 600, 40, 40);
  const Rgb middle = MeanOf(run.shots / "frame0012.png", 600, 40, 40);
  const Rgb shown = MeanOf(run.shots / "frame0039.png", 600, 40, 40);
  EXPECT_GT(first.r, 240);
  EXPECT_GT(first.r, middle.r);
  EXPECT_GT(middle.r, shown.r);
  EXPECT_GT(shown.b, shown.r + 30) << "the sky's blue";
}

TEST_F(TitleReplay, UpAndDownRecolourTheSlimeOnceItHasLandedAndWaited) {
  const ReplayRun run = Replay("recolour",
                         "0 ANSWER no\n150 KEY UP down\n180 KEY UP up\n"
                         "200 KEY DOWN down\n210 KEY DOWN up\n",
                         230, "149,229");
  ASSERT_EQ(run.frames.size(), 230u);
  EXPECT_GE(run.HopDelay(149), TitleSlime::kWaitFrames) << "not waited out by frame 149";
  EXPECT_EQ(run.Hue(149), 360);
  EXPECT_EQ(run.Hue(150), 1);
  EXPECT_EQ(run.Hue(179), 30);
  const std::vector<float> colour = Numbers(Field(run.Slime(179), "colour"));
  ASSERT_EQ(colour.size(), 4u);
  EXPECT_NEAR(colour[0], 1.0f, 1e-3f);
  EXPECT_NEAR(colour[1], 0.0f, 1e-3f);
  EXPECT_NEAR(colour[2], 0.707f, 1e-3f);
  EXPECT_EQ(run.Hue(200), 29);
  EXPECT_EQ(run.Hue(229), 20);
  for (int f = 0; f < 230; ++f) EXPECT_EQ(Field(run.frames[f], "changing"), "false") << f;
}

TEST_F(TitleReplay, EscapeAsksToQuitAndNoReturnsToTheTitle) {
  const ReplayRun run = Replay("escape", "0 ANSWER no\n60 KEY ESCAPE down\n62 KEY ESCAPE up\n"
                                   "60 ANSWER no\n",
                         100, "59,99");
  ASSERT_EQ(run.frames.size(), 100u) << "the game ended after No";
  int asked = -1;
  // Frame 0 carries the start-up full-screen question; the quit question comes once.
  for (int f = 1; f < 100; ++f) {
    if (Field(run.frames[f], "messagebox") != "null") {
      EXPECT_EQ(asked, -1) << "asked twice";
      asked = f;
      EXPECT_EQ(Field(run.frames[f], "messagebox"), "\"終了しますか？\"");
    }
  }
  EXPECT_GE(asked, 60);
  EXPECT_LE(asked, 61);
  for (int f = 0; f < 100; ++f) {
    EXPECT_EQ(Field(run.frames[f], "scene"), "0") << f;
    EXPECT_EQ(Field(run.frames[f], "changing"), "false") << f;
  }
  EXPECT_EQ(Field(run.frames[99], "quit_requested"), "false");
  EXPECT_NE(run.Slime(99).rfind("null", 0), 0u) << "the title still runs";
}

// Frames in which a change was asked for: changing goes from false to true.
std::vector<int> ChangeStarts(const ReplayRun& run) {
  std::vector<int> starts;
  bool before = false;
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const bool now = Field(run.frames[f], "changing") == "true";
    if (now && !before) starts.push_back(static_cast<int>(f));
    before = now;
  }
  return starts;
}

TEST_F(TitleReplay, EnterAndSpaceEachStartOneChangeEvenTogether) {
  for (const char* keys : {"RETURN", "SPACE", "BOTH"}) {
    const std::string both = keys == std::string("BOTH") ? "60 KEY SPACE down\n64 KEY SPACE up\n" : "";
    const std::string key = keys == std::string("BOTH") ? "RETURN" : keys;
    const ReplayRun run = Replay(std::string("start_") + keys,
                           "0 ANSWER no\n60 KEY " + key + " down\n64 KEY " + key + " up\n" + both +
                               "80 KEY " + key + " down\n82 KEY " + key + " up\n",
                           120, keys == std::string("BOTH") ? "70,119" : "");
    ASSERT_EQ(run.frames.size(), 120u) << keys;
    EXPECT_EQ(ChangeStarts(run), std::vector<int>{60}) << keys;
    EXPECT_EQ(Field(run.frames[111], "scene"), "0") << keys;
    EXPECT_EQ(Field(run.frames[112], "scene"), "1") << keys;
    EXPECT_EQ(run.Slime(112).rfind("null", 0), 0u) << keys << ": no title slime after the title";
  }
}

TEST_F(TitleReplay, EnterHeldFromBeforeTheTitleDoesNotStartTheGame) {
  const ReplayRun run = Replay("held_enter", "0 ANSWER no\n0 KEY RETURN down\n", 90);
  ASSERT_EQ(run.frames.size(), 90u);
  EXPECT_TRUE(ChangeStarts(run).empty());
  EXPECT_EQ(Field(run.frames[89], "scene"), "0");
}

}  // namespace

