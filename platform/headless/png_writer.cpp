// Screenshots of headless runs are PNG files.
#include <stb_image_write.h>

#include "glomp/headless.h"

namespace glomp::headless {

bool WritePngRgb(const std::string& path, int width, int height, const unsigned char* rgb) {
  if (rgb == nullptr || width <= 0 || height <= 0) return false;
  return stbi_write_png(path.c_str(), width, height, 3, rgb, width * 3) != 0;
}

}  // namespace glomp::headless
