// RGBA pictures drawn in floating point, lettering with a packaged TrueType
// font, and the PNG / ICO / DDS encoders the content needs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
};

Colour Rgb(uint32_t rgb, float a = 1.0f);  // 0xRRGGBB
Colour Mix(Colour a, Colour b, float t);

class Image {
 public:
  Image(int width, int height, Colour fill = {});
  int Width() const { return width_; }
  int Height() const { return height_; }
  Colour& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Colour& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  // "Over" blending of `c` with coverage `cover` (0..1).
  void Blend(int x, int y, Colour c, float cover);
  void FillRect(float x0, float y0, float x1, float y1, Colour c);
  void FillCircle(float cx, float cy, float r, Colour c);  // anti-aliased edge
  void Ring(float cx, float cy, float r, float width, Colour c);
  void FillEllipse(float cx, float cy, float rx, float ry, float angle, Colour c);
  void Line(float x0, float y0, float x1, float y1, float width, Colour c);
  void Paste(const Image& src, int x, int y);
  std::vector<uint8_t> Rgba8() const;

 private:
  int width_, height_;
  std::vector<Colour> pixels_;
};

// Coverage mask of a text line (0..1 per pixel) at the given pixel height.
struct TextMask {
  int width = 0, height = 0;
  std::vector<float> cover;
  float At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : cover[y * width + x];
  }
};
bool LoadFont(const std::string& path);
TextMask RenderText(const std::string& text, float pixelHeight, int padding);
// Mask of the glyph outline grown by `radius` pixels (for outlined lettering).
TextMask Dilate(const TextMask& mask, float radius);
// Draws a mask in a colour; the mask's (0, 0) goes to (x, y).
void DrawMask(Image& img, const TextMask& mask, int x, int y, Colour top, Colour bottom);

// Tileable value noise in 0..1 (period in cells along each axis).
float TileNoise(float x, float y, int periodX, int periodY, uint32_t seed);

// Deterministic pseudo-random numbers (no global state, same on every run).
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  float Uniform() { return (Next() >> 8) * (1.0f / 16777216.0f); }  // [0, 1)
  float Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }

 private:
  uint32_t state_;
};

std::vector<uint8_t> EncodePng(const Image& img);
bool WritePng(const std::string& path, const Image& img);
// Icon file with one 32-bit image per picture (sizes up to 256).
std::vector<uint8_t> EncodeIco(const std::vector<Image>& sizes);
// Uncompressed A8R8G8B8 cube map, faces in D3D order +x, -x, +y, -y, +z, -z.
std::vector<uint8_t> EncodeCubeDds(const std::vector<Image>& faces);

}  // namespace assetgen
