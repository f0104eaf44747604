// The picture test's program. With --write-references DIR it draws every
// picture into DIR as NAME.png instead of testing (how reference/ was made,
// with the drawing as it was before the change).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "pictures.h"

namespace {

// The game is started once for the program, and only when a test runs.
class GameEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(pictures::StartGame()) << "the game could not start"; }
  void TearDown() override { pictures::StopGame(); }
};

int WriteReferences(const std::filesystem::path& folder) {
  if (!pictures::StartGame()) return 1;
  std::filesystem::create_directories(folder);
  int failures = 0;
  for (const char* name : pictures::kPictureNames) {
    const std::filesystem::path path = folder / (std::string(name) + ".png");
    if (pictures::WritePng(path, pictures::Draw(name))) {
      std::printf("%s\n", path.string().c_str());
    } else {
      std::fprintf(stderr, "could not draw or write %s\n", path.string().c_str());
      ++failures;
    }
  }
  pictures::StopGame();
  return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-references") return WriteReferences(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GameEnvironment);
  return RUN_ALL_TESTS();
}
