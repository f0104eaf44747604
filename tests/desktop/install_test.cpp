// The game installed into a fresh prefix the way Debian lays out games, then
// started headless through the installed launcher from another folder, as the
// desktop entry would start it. Anything missing from the install fails here.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Executable(const fs::path& path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(testing::TempDir()) / "install_test";
    fs::remove_all(root);
    fs::create_directories(root / "elsewhere");
    prefix = root / "prefix";
    // Tests run in the build folder.
    const int code = RunShell("cmake --install . --prefix " + prefix.string() + " > " +
                         (root / "install.txt").string() + " 2>&1");
    ASSERT_EQ(code, 0) << Read(root / "install.txt");
    game = prefix / "share/games/glomp";
    launcher = prefix / "games/glomp";
  }

  // Starts `glomp` from the PATH in a folder of its own, headless, for a few frames.
  int Launch(const fs::path& launcherDir, std::string* out, std::string* err) {
    const int code = RunShell("cd " + (root / "elsewhere").string() + " && env PATH=" +
                         launcherDir.string() +
                         ":\"$PATH\" GLOMP_HEADLESS=1 GLOMP_HEADLESS_FRAMES=20 "
                         "SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null glomp > ../out.txt "
                         "2> ../err.txt");
    *out = Read(root / "out.txt");
    *err = Read(root / "err.txt");
    return code;
  }

  fs::path root, prefix, game, launcher;
};

TEST_F(Install, EverythingLandsInItsFolder) {
  EXPECT_TRUE(Executable(game / "glomp"));
  EXPECT_TRUE(Executable(launcher));
  for (const char* effect : {"Sample.fx", "ShadowMap.fx", "BlurShader.fx", "EdgeShader.fx",
                             "EnvironmentalMap.fx"}) {
    EXPECT_TRUE(fs::is_regular_file(game / "Shader" / effect)) << effect;
  }
  // Every file of the run folder's data/ is installed, and nothing else.
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator("data")) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const fs::path installed = game / entry.path();
    EXPECT_TRUE(fs::is_regular_file(installed)) << installed;
    if (fs::is_regular_file(installed)) {
      EXPECT_EQ(fs::file_size(installed), entry.file_size()) << installed;
    }
  }
  EXPECT_GT(files, 20u);
  size_t installedFiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(game / "data")) {
    installedFiles += entry.is_regular_file();
  }
  EXPECT_EQ(installedFiles, files);
  for (const char* needed : {"data/icon/ICON.ico", "data/csv/title.csv", "data/csv/model3.csv",
                             "data/model/Character/Player/slime9.x"}) {
    EXPECT_TRUE(fs::is_regular_file(game / needed)) << needed;
  }
}

TEST_F(Install, TheDesktopEntryStartsTheLauncherWithTheInstalledIcon) {
  const fs::path entry = prefix / "share/applications/glomp.desktop";
  ASSERT_TRUE(fs::is_regular_file(entry));
  const std::vector<std::string> lines = Lines(Read(entry));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "[Desktop Entry]");
  auto value = [&](const std::string& key) {
    for (const std::string& line : lines) {
      if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return std::string("<missing>");
  };
  EXPECT_EQ(value("Type"), "Application");
  EXPECT_EQ(value("Name"), "glomp!");
  EXPECT_EQ(value("Terminal"), "false");
  EXPECT_NE(value("Categories").find("Game;"), std::string::npos);
  // Exec names the launcher on the PATH; Icon names an icon of the hicolor theme.
  EXPECT_EQ(value("Exec"), launcher.filename().string());
  const fs::path icon =
      prefix / "share/icons/hicolor/scalable/apps" / (value("Icon") + ".svg");
  ASSERT_TRUE(fs::is_regular_file(icon)) << icon;
  EXPECT_NE(Read(icon).find("<svg"), std::string::npos);
}

TEST_F(Install, TheLauncherOnThePathPlaysTheGameFromItsFolder) {
  std::string out, err;
  ASSERT_EQ(Launch(launcher.parent_path(), &out, &err), 0) << err;
  // The title stage was read from the installed data/: the loader echoes each column.
  EXPECT_NE(out.find("\n[Map]"), std::string::npos) << out.substr(0, 500);
  EXPECT_EQ(err.find("失敗"), std::string::npos) << "a stage file was not found: " << err;
  // Only the two questions of a normal run: full screen at start, quit at the end
  // of the 20 frames. A missing effect file or device would have added a box.
  std::vector<std::string> boxes;
  for (const std::string& line : Lines(err)) {
    if (line.rfind("message box", 0) == 0) boxes.push_back(line);
  }
  ASSERT_EQ(boxes.size(), 2u) << err;
  EXPECT_NE(boxes[0].find("フルスクリーンにしますか？"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[1].find("in frame 19: \"終了確認\" \"終了しますか？\""), std::string::npos)
      << boxes[1];
}

TEST_F(Install, AnIncompleteInstallSaysWhatIsMissing) {
  fs::rename(game / "Shader", root / "Shader.away");
  std::string out, err;
  EXPECT_EQ(Launch(launcher.parent_path(), &out, &err), 1);
  EXPECT_NE(err.find("Shader is missing"), std::string::npos) << err;
  EXPECT_EQ(out, "") << "the game did not start";
}

TEST_F(Install, AMovedInstallStillFindsItsGame) {
  const fs::path moved = root / "moved";
  fs::rename(prefix, moved);
  std::string out, err;
  EXPECT_EQ(Launch(moved / "games", &out, &err), 0) << err;
  EXPECT_NE(out.find("\n[Map]"), std::string::npos);
}

}  // namespace
