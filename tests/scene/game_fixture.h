// The whole game run headless in a scratch folder of its own, so that each test
// decides which pictures exist (the fade's white picture, the loading message).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace scene_test {

struct Rgb {
  int r, g, b;
};

class GameTest : public ::testing::Test {
 protected:
  // Loading picture size and colour used by the tests.
  static constexpr int kLoadingWidth = 100;
  static constexpr int kLoadingHeight = 40;
  static constexpr Rgb kLoadingColour = {200, 30, 40};

  void SetUp() override;
  void TearDown() override;

  // Writes the fade's white picture and the loading message into the scratch folder.
  void WriteWhitePicture();
  void WriteLoadingPicture();

  // Runs the game through WinMain; `atFrame` sees each frame just before it
  // starts (so frame f's results are seen at f + 1). After `frames` frames the
  // window is closed and the quit question answered Yes.
  int RunGame(int frames, const std::function<void(int)>& atFrame = nullptr);

  // The back buffer as it is now (RGB of each pixel, rows top-down).
  std::vector<uint32_t> ReadBackBuffer();
  static Rgb At(const std::vector<uint32_t>& pixels, int x, int y);
  // Saves the back buffer as a PNG next to the test's scratch folder, for a look.
  void SaveBackBuffer(const std::string& name);

  std::filesystem::path scratch;
  std::filesystem::path previousDirectory;
};

bool Near(const Rgb& pixel, int r, int g, int b, int tolerance = 3);

}  // namespace scene_test
