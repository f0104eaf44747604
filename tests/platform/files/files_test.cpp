#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "glomp/files.h"

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("glomp_files_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "data" / "texture" / "shader");
    std::ofstream(root_ / "data" / "texture" / "shader" / "Toon.png") << "ramp";
    previous_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(root_);
  }
  fs::path root_, previous_;
};

TEST_F(FilesTest, FindsPathsRegardlessOfCaseAndSeparator) {
  EXPECT_EQ(glomp::ResolvePath("data/texture/shader/Toon.png"), "data/texture/shader/Toon.png");
  EXPECT_EQ(glomp::ResolvePath("data/Texture/SHADER/toon.PNG"), "data/texture/shader/Toon.png");
  EXPECT_EQ(glomp::ResolvePath("data\\texture\\shader\\Toon.png"), "data/texture/shader/Toon.png");
  EXPECT_EQ(glomp::ResolvePath("./data/Texture/shader/Toon.png"), "./data/texture/shader/Toon.png");
}

TEST_F(FilesTest, MissingFilesAndFoldersGiveNothing) {
  EXPECT_EQ(glomp::ResolvePath("data/texture/none.png"), "");
  EXPECT_EQ(glomp::ResolvePath(""), "");
  EXPECT_EQ(glomp::ResolvePath(nullptr), "");
  EXPECT_EQ(glomp::OpenFile("data/nothing/here.png", "rb"), nullptr);
  EXPECT_EQ(glomp::OpenFile("data/texture", "rb"), nullptr);  // a folder is not a file
  std::vector<unsigned char> bytes{1, 2};
  EXPECT_FALSE(glomp::ReadWholeFile("missing.bin", &bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(FilesTest, ReadsWholeFileThroughCaseInsensitiveMatch) {
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(glomp::ReadWholeFile("DATA/texture/shader/toon.png", &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "ramp");
}
