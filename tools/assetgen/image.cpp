#include "image.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "mesh.h"

// stb_truetype is third-party code compiled here once; its warnings are not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
#pragma GCC diagnostic pop

namespace assetgen {

Colour Rgb(uint32_t rgb, float a) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, a};
}

Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Image::Image(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Image::Blend(int x, int y, Colour c, float cover) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || cover <= 0) return;
  Colour& d = At(x, y);
  const float sa = std::min(1.0f, c.a * cover);
  const float oa = sa + d.a * (1 - sa);
  if (oa <= 0) return;
  d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
  d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
  d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
  d.a = oa;
}

void Image::FillRect(float x0, float y0, float x1, float y1, Colour c) {
  for (int y = std::max(0, static_cast<int>(y0));
       y < std::min(height_, static_cast<int>(std::ceil(y1))); ++y) {
    for (int x = std::max(0, static_cast<int>(x0));
         x < std::min(width_, static_cast<int>(std::ceil(x1))); ++x) {
      const float cx = std::clamp(std::min<float>(x + 1, x1) - std::max<float>(x, x0), 0.0f, 1.0f);
      const float cy = std::clamp(std::min<float>(y + 1, y1) - std::max<float>(y, y0), 0.0f, 1.0f);
      Blend(x, y, c, cx * cy);
    }
  }
}

void Image::FillCircle(float cx, float cy, float r, Colour c) { FillEllipse(cx, cy, r, r, 0, c); }

void Image::Ring(float cx, float cy, float r, float width, Colour c) {
  const int x0 = static_cast<int>(cx - r - width), x1 = static_cast<int>(cx + r + width) + 1;
  const int y0 = static_cast<int>(cy - r - width), y1 = static_cast<int>(cy + r + width) + 1;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      const float edge = width * 0.5f - std::fabs(d - r);
      Blend(x, y, c, std::clamp(edge + 0.5f, 0.0f, 1.0f));
    }
  }
}

void Image::FillEllipse(float cx, float cy, float rx, float ry, float angle, Colour c) {
  const float ca = std::cos(angle), sa = std::sin(angle);
  const float reach = std::max(rx, ry) + 1;
  for (int y = static_cast<int>(cy - reach); y <= static_cast<int>(cy + reach); ++y) {
    for (int x = static_cast<int>(cx - reach); x <= static_cast<int>(cx + reach); ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float u = (dx * ca + dy * sa) / rx, v = (-dx * sa + dy * ca) / ry;
      const float d = std::sqrt(u * u + v * v);
      // Signed distance in pixels, roughly, for a one-pixel soft edge.
      const float edge = (1 - d) * std::min(rx, ry);
      Blend(x, y, c, std::clamp(edge + 0.5f, 0.0f, 1.0f));
    }
  }
}

void Image::Line(float x0, float y0, float x1, float y1, float width, Colour c) {
  const float len = std::hypot(x1 - x0, y1 - y0);
  const int bx0 = static_cast<int>(std::min(x0, x1) - width),
            bx1 = static_cast<int>(std::max(x0, x1) + width) + 1;
  const int by0 = static_cast<int>(std::min(y0, y1) - width),
            by1 = static_cast<int>(std::max(y0, y1) + width) + 1;
  for (int y = by0; y <= by1; ++y) {
    for (int x = bx0; x <= bx1; ++x) {
      const float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float t = len > 0 ? (px * (x1 - x0) + py * (y1 - y0)) / (len * len) : 0;
      t = std::clamp(t, 0.0f, 1.0f);
      const float d = std::hypot(px - t * (x1 - x0), py - t * (y1 - y0));
      Blend(x, y, c, std::clamp(width * 0.5f - d + 0.5f, 0.0f, 1.0f));
    }
  }
}

void Image::Paste(const Image& src, int x, int y) {
  for (int j = 0; j < src.Height(); ++j) {
    for (int i = 0; i < src.Width(); ++i) {
      if (x + i >= 0 && y + j >= 0 && x + i < width_ && y + j < height_)
        At(x + i, y + j) = src.At(i, j);
    }
  }
}

std::vector<uint8_t> Image::Rgba8() const {
  std::vector<uint8_t> out;
  out.reserve(pixels_.size() * 4);
  auto q = [](float v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  for (const Colour& c : pixels_) {
    out.push_back(q(c.r));
    out.push_back(q(c.g));
    out.push_back(q(c.b));
    out.push_back(q(c.a));
  }
  return out;
}

namespace {
std::vector<unsigned char> g_fontData;
stbtt_fontinfo g_font;
bool g_fontLoaded = false;
}  // namespace

bool LoadFont(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  g_fontData.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  g_fontLoaded = stbtt_InitFont(&g_font, g_fontData.data(), 0) != 0;
  return g_fontLoaded;
}

TextMask RenderText(const std::string& text, float pixelHeight, int padding) {
  TextMask mask;
  if (!g_fontLoaded) return mask;
  const float scale = stbtt_ScaleForPixelHeight(&g_font, pixelHeight);
  int ascent, descent, gap;
  stbtt_GetFontVMetrics(&g_font, &ascent, &descent, &gap);
  const int baseline = static_cast<int>(std::ceil(ascent * scale));
  float width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    int advance, lsb;
    stbtt_GetCodepointHMetrics(&g_font, text[i], &advance, &lsb);
    width += advance * scale;
    if (i + 1 < text.size())
      width += scale * stbtt_GetCodepointKernAdvance(&g_font, text[i], text[i + 1]);
  }
  mask.width = static_cast<int>(std::ceil(width)) + 2 * padding;
  mask.height = baseline + static_cast<int>(std::ceil(-descent * scale)) + 2 * padding;
  mask.cover.assign(static_cast<size_t>(mask.width) * mask.height, 0.0f);
  float x = static_cast<float>(padding);
  for (size_t i = 0; i < text.size(); ++i) {
    const int ch = static_cast<unsigned char>(text[i]);
    int x0, y0, x1, y1;
    const float shift = x - std::floor(x);
    stbtt_GetCodepointBitmapBoxSubpixel(&g_font, ch, scale, scale, shift, 0, &x0, &y0, &x1, &y1);
    const int gw = x1 - x0, gh = y1 - y0;
    if (gw > 0 && gh > 0) {
      std::vector<unsigned char> glyph(static_cast<size_t>(gw) * gh);
      stbtt_MakeCodepointBitmapSubpixel(&g_font, glyph.data(), gw, gh, gw, scale, scale, shift, 0,
                                        ch);
      for (int j = 0; j < gh; ++j) {
        for (int i2 = 0; i2 < gw; ++i2) {
          const int px = static_cast<int>(std::floor(x)) + x0 + i2,
                    py = padding + baseline + y0 + j;
          if (px < 0 || py < 0 || px >= mask.width || py >= mask.height) continue;
          float& c = mask.cover[py * mask.width + px];
          c = std::min(1.0f, c + glyph[j * gw + i2] / 255.0f);
        }
      }
    }
    int advance, lsb;
    stbtt_GetCodepointHMetrics(&g_font, ch, &advance, &lsb);
    x += advance * scale;
    if (i + 1 < text.size()) x += scale * stbtt_GetCodepointKernAdvance(&g_font, ch, text[i + 1]);
  }
  return mask;
}

TextMask Dilate(const TextMask& mask, float radius) {
  TextMask out = mask;
  const int r = static_cast<int>(std::ceil(radius));
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      float best = 0;
      for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
          const float d = std::hypot(static_cast<float>(dx), static_cast<float>(dy));
          if (d > radius + 0.5f) continue;
          const float w = std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
          best = std::max(best, mask.At(x + dx, y + dy) * w);
        }
      }
      out.cover[y * mask.width + x] = best;
    }
  }
  return out;
}

void DrawMask(Image& img, const TextMask& mask, int x, int y, Colour top, Colour bottom) {
  for (int j = 0; j < mask.height; ++j) {
    const Colour c =
        Mix(top, bottom, mask.height > 1 ? static_cast<float>(j) / (mask.height - 1) : 0);
    for (int i = 0; i < mask.width; ++i) img.Blend(x + i, y + j, c, mask.cover[j * mask.width + i]);
  }
}

namespace {
float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / 16777215.0f;
}
}  // namespace

float TileNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const float fx = x - xi, fy = y - yi;
  auto wrap = [](int v, int p) { return ((v % p) + p) % p; };
  const float a = Hash(wrap(xi, periodX), wrap(yi, periodY), seed);
  const float b = Hash(wrap(xi + 1, periodX), wrap(yi, periodY), seed);
  const float c = Hash(wrap(xi, periodX), wrap(yi + 1, periodY), seed);
  const float d = Hash(wrap(xi + 1, periodX), wrap(yi + 1, periodY), seed);
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

namespace {
void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}
void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 255);
  v.push_back((x >> 8) & 255);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
}  // namespace

std::vector<uint8_t> EncodePng(const Image& img) {
  std::vector<uint8_t> out;
  const std::vector<uint8_t> rgba = img.Rgba8();
  stbi_write_png_to_func(AppendBytes, &out, img.Width(), img.Height(), 4, rgba.data(),
                         img.Width() * 4);
  return out;
}

bool WritePng(const std::string& path, const Image& img) {
  const std::vector<uint8_t> png = EncodePng(img);
  return !png.empty() && WriteBinaryFile(path, png);
}

std::vector<uint8_t> EncodeIco(const std::vector<Image>& sizes) {
  // Each entry is a classic 32-bit DIB: BITMAPINFOHEADER with doubled height,
  // bottom-up BGRA rows, then a 1-bit AND mask (all zero: alpha decides).
  std::vector<std::vector<uint8_t>> dibs;
  for (const Image& img : sizes) {
    std::vector<uint8_t> d;
    const int w = img.Width(), h = img.Height();
    Put32(d, 40);
    Put32(d, w);
    Put32(d, h * 2);
    Put16(d, 1);
    Put16(d, 32);
    Put32(d, 0);
    const int maskStride = ((w + 31) / 32) * 4;
    Put32(d, w * h * 4 + maskStride * h);
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, 0);
    const std::vector<uint8_t> rgba = img.Rgba8();
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
        d.insert(d.end(), {p[2], p[1], p[0], p[3]});
      }
    }
    d.insert(d.end(), static_cast<size_t>(maskStride) * h, 0);
    dibs.push_back(std::move(d));
  }
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(sizes.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    out.push_back(static_cast<uint8_t>(sizes[i].Width() >= 256 ? 0 : sizes[i].Width()));
    out.push_back(static_cast<uint8_t>(sizes[i].Height() >= 256 ? 0 : sizes[i].Height()));
    out.push_back(0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(dibs[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(dibs[i].size());
  }
  for (const auto& d : dibs) out.insert(out.end(), d.begin(), d.end());
  return out;
}

std::vector<uint8_t> EncodeCubeDds(const std::vector<Image>& faces) {
  const int size = faces.empty() ? 0 : faces[0].Width();
  std::vector<uint8_t> out;
  Put32(out, 0x20534444);  // "DDS "
  Put32(out, 124);
  Put32(out, 0x1 | 0x2 | 0x4 | 0x1000 | 0x8);  // caps, height, width, pixel format, pitch
  Put32(out, size);
  Put32(out, size);
  Put32(out, size * 4);
  Put32(out, 0);  // depth
  Put32(out, 0);  // mip levels: one
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  Put32(out, 32);    // pixel format size
  Put32(out, 0x41);  // RGB | alpha pixels
  Put32(out, 0);
  Put32(out, 32);
  Put32(out, 0x00FF0000);
  Put32(out, 0x0000FF00);
  Put32(out, 0x000000FF);
  Put32(out, 0xFF000000);
  Put32(out, 0x1000 | 0x8);    // texture, complex
  Put32(out, 0x200 | 0xFC00);  // cube map with all six faces
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (const Image& f : faces) {
    const std::vector<uint8_t> rgba = f.Rgba8();
    for (size_t i = 0; i < rgba.size(); i += 4) {
      out.insert(out.end(), {rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]});
    }
  }
  return out;
}

}  // namespace assetgen
