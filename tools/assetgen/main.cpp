// assetgen DATA_DIR FONT.ttf — writes the generated content of the game into
// DATA_DIR (the run directory's data/ folder): models, pictures and sounds.
// The output depends on nothing but this program and the font, so every run
// writes the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>

#include "content.h"
#include "image.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: assetgen DATA_DIR FONT.ttf\n");
    return 2;
  }
  const std::string dataDir = argv[1];
  if (!assetgen::LoadFont(argv[2])) {
    std::fprintf(stderr, "assetgen: cannot read the font %s\n", argv[2]);
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(dataDir, ec);
  if (!std::filesystem::is_directory(dataDir, ec)) {
    std::fprintf(stderr, "assetgen: cannot make the folder %s\n", dataDir.c_str());
    return 1;
  }
  bool ok = assetgen::WriteSlime(dataDir);
  ok = assetgen::WriteMapModels(dataDir) && ok;
  ok = assetgen::WriteTextures(dataDir) && ok;
  ok = assetgen::WriteSounds(dataDir) && ok;
  if (!ok) {
    std::fprintf(stderr, "assetgen: some content could not be written\n");
    return 1;
  }
  return 0;
}
