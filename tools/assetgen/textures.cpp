// Every picture of the game: messages, effects, flags, toon ramps, the cube
// map, the icon, the slime's face and the stage textures. Bright, soft toon
// colours; all randomness comes from fixed seeds.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "content.h"
#include "image.h"

namespace assetgen {
namespace {

constexpr float kPi = 3.14159265f;

// Outlined, gradient-filled lettering with a soft drop shadow, centred in `img`.
void Lettering(Image& img, const std::string& text, float height, Colour top, Colour bottom,
               Colour outline, float outlineWidth, float offsetY = 0) {
  const TextMask mask = RenderText(text, height, static_cast<int>(outlineWidth) + 3);
  const TextMask grown = Dilate(mask, outlineWidth);
  const int x = (img.Width() - mask.width) / 2;
  const int y = static_cast<int>((img.Height() - mask.height) / 2 + offsetY);
  DrawMask(img, grown, x + 3, y + 4, Rgb(0x000000, 0.35f), Rgb(0x000000, 0.35f));
  DrawMask(img, grown, x, y, outline, outline);
  DrawMask(img, mask, x, y, top, bottom);
}

Image LoadingMessage() {
  // Ten equal cells, one character each: the loading screen lifts them one by one.
  const std::string text = "LOADING...";
  const int cell = 48;
  Image img(cell * 10, 80);
  const Colour fills[5] = {Rgb(0x3FC8F0), Rgb(0x5AD66A), Rgb(0xFFC83A), Rgb(0xFF7A9A),
                           Rgb(0xA884FF)};
  for (int i = 0; i < 10; ++i) {
    Image one(cell, 80);
    Lettering(one, std::string(1, text[i]), 64, Mix(fills[i % 5], Rgb(0xFFFFFF), 0.35f),
              fills[i % 5], Rgb(0x24305E), 4);
    img.Paste(one, cell * i, 0);
  }
  return img;
}

Image PressEnter() {
  Image img(560, 80);
  Lettering(img, "PRESS ENTER KEY", 56, Rgb(0xFFFFFF), Rgb(0xFFE98A), Rgb(0x2B3A78), 5);
  return img;
}

Image StartMessage() {
  Image img(640, 200);
  Lettering(img, "STAGE START!", 92, Rgb(0xFFF6A0), Rgb(0xFF9A3C), Rgb(0x5A2A10), 6, -28);
  Lettering(img, "Climb to the goal flag!", 40, Rgb(0xFFFFFF), Rgb(0xCFF4FF), Rgb(0x1E3A6A), 4, 56);
  return img;
}

Image ClearMessage() {
  Image img(600, 120);
  Lettering(img, "STAGE CLEAR!", 80, Rgb(0xFFFFFF), Rgb(0xFFD23F), Rgb(0xD2335E), 6);
  return img;
}

// 36 cells of 640 x 480 in a 6 x 6 sheet. Every piece falls a whole number of
// cell heights and spins a whole number of turns over the 36 cells, so the
// animation loops without a jump.
Image Confetti() {
  const int cw = 640, ch = 480, cols = 6;
  Image sheet(cw * cols, ch * 6);
  const Colour palette[7] = {Rgb(0xFF5A7A), Rgb(0xFFC83A), Rgb(0x5AD66A), Rgb(0x3FC8F0),
                             Rgb(0xA884FF), Rgb(0xFF9A3C), Rgb(0xFFFFFF)};
  Random rng(36);
  struct Piece {
    float x, y, w, h, sway, swayPhase, spin, tilt;
    int laps, turns;
    Colour c;
  };
  std::vector<Piece> pieces;
  for (int i = 0; i < 120; ++i) {
    Piece p;
    p.x = rng.Range(0, cw);
    p.y = rng.Range(0, ch);
    p.w = rng.Range(7, 13);
    p.h = rng.Range(4, 7);
    p.sway = rng.Range(6, 26);
    p.swayPhase = rng.Range(0, 2 * kPi);
    p.spin = rng.Range(0, 2 * kPi);
    p.tilt = rng.Range(0, kPi);
    p.laps = 1 + static_cast<int>(rng.Uniform() * 2);
    p.turns = 1 + static_cast<int>(rng.Uniform() * 3);
    p.c = palette[rng.Next() % 7];
    pieces.push_back(p);
  }
  for (int cell = 0; cell < 36; ++cell) {
    const float t = cell / 36.0f;
    const int ox = (cell % cols) * cw, oy = (cell / cols) * ch;
    Image frame(cw, ch);
    for (const Piece& p : pieces) {
      const float y = std::fmod(p.y + t * p.laps * ch, static_cast<float>(ch));
      const float x = p.x + p.sway * std::sin(p.swayPhase + 2 * kPi * t);
      const float flip = std::cos(p.spin + 2 * kPi * p.turns * t);
      const float w = p.w * std::max(0.15f, std::fabs(flip));
      Colour c = p.c;
      if (flip < 0) c = Mix(c, Rgb(0x000000), 0.25f);
      for (int wrap = -1; wrap <= 1; ++wrap) {
        frame.FillEllipse(x, y + wrap * ch, w, p.h, p.tilt + 2 * kPi * t, c);
      }
    }
    sheet.Paste(frame, ox, oy);
  }
  return sheet;
}

// Ramp of light: dark shade on the left (u = 0), lit on the right (u = 1),
// constant down each column except for a diagonal run that makes the lower
// left triangle darker, so both a horizontal lookup at v = 0.5 and a vertical
// one at u = 0.5 (top lit) give the same three bands.
Image ToonRamp(Colour shade, Colour mid, Colour lit) {
  const int w = 256, h = 256;
  Image img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      const float light = std::clamp(u + 0.5f - v, 0.0f, 1.0f);
      Colour c = light < 0.35f ? shade : light < 0.7f ? mid : lit;
      // A hair of softening at the band edges keeps filtering from aliasing.
      const float e1 = std::clamp((light - 0.35f) / 0.02f + 0.5f, 0.0f, 1.0f);
      const float e2 = std::clamp((light - 0.7f) / 0.02f + 0.5f, 0.0f, 1.0f);
      c = Mix(Mix(shade, mid, e1), lit, e2);
      img.At(x, y) = c;
    }
  }
  return img;
}

// Sky colour for a direction: deep blue overhead, pale at the horizon, a soft
// green-blue glow below.
Colour SkyColour(float up) {
  if (up >= 0) return Mix(Rgb(0xCFEFFF), Rgb(0x4DA8F0), std::pow(up, 0.6f));
  return Mix(Rgb(0xCFEFFF), Rgb(0x9ED9C0), std::min(1.0f, -up * 2));
}

std::vector<Image> CubeFaces() {
  const int n = 64;
  std::vector<Image> faces;
  for (int f = 0; f < 6; ++f) {
    Image img(n, n);
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        const float a = 2 * (x + 0.5f) / n - 1, b = 2 * (y + 0.5f) / n - 1;
        // D3D cube face orientation: +x, -x, +y, -y, +z, -z.
        float dx = 0, dy = 0, dz = 0;
        switch (f) {
          case 0:
            dx = 1, dy = -b, dz = -a;
            break;
          case 1:
            dx = -1, dy = -b, dz = a;
            break;
          case 2:
            dx = a, dy = 1, dz = b;
            break;
          case 3:
            dx = a, dy = -1, dz = -b;
            break;
          case 4:
            dx = a, dy = -b, dz = 1;
            break;
          default:
            dx = -a, dy = -b, dz = -1;
            break;
        }
        const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
        Colour c = SkyColour(dy / len);
        c.a = 1;
        img.At(x, y) = c;
      }
    }
    faces.push_back(img);
  }
  return faces;
}

// Splash ring frames: ten variations side by side, white on transparent.
Image RingFrames(bool soft) {
  const int s = 128;
  Image img(s * 10, s);
  for (int i = 0; i < 10; ++i) {
    Random rng(100 + i + (soft ? 50 : 0));
    const float cx = s * i + s / 2.0f, cy = s / 2.0f;
    // Everything stays inside its own 128-pixel cell (the game picks one cell).
    const float r = 34 + i * 1.2f;
    img.Ring(cx, cy, r, soft ? 10.0f : 7.0f - (i % 3), Rgb(0xFFFFFF, soft ? 0.7f : 1.0f));
    if (!soft) img.Ring(cx, cy, r - 12, 2.5f, Rgb(0xFFFFFF, 0.6f));
    // Droplets flung around the ring.
    const int drops = 6 + i % 4;
    for (int d = 0; d < drops; ++d) {
      const float a = 2 * kPi * (d + rng.Uniform() * 0.6f) / drops;
      const float rr = r + 6 + rng.Range(0, 8);
      img.FillCircle(cx + rr * std::cos(a), cy + rr * std::sin(a), rng.Range(2.0f, 4.5f),
                     Rgb(0xFFFFFF, soft ? 0.6f : 1.0f));
    }
  }
  return img;
}

Image Sparkle(int size, Colour core, Colour glow, int points) {
  Image img(size, size);
  const float c = size / 2.0f;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float dx = x + 0.5f - c, dy = y + 0.5f - c;
      const float r = std::sqrt(dx * dx + dy * dy) / c;
      const float a = std::atan2(dy, dx);
      const float star =
          std::pow(std::fabs(std::cos(a * points / 2.0f)), 8.0f) * std::max(0.0f, 1 - r);
      const float halo = std::max(0.0f, 1 - r) * std::max(0.0f, 1 - r);
      const float v = std::clamp(star * 1.5f + halo * 0.8f, 0.0f, 1.0f);
      Colour col = Mix(glow, core, std::clamp(halo * 1.5f, 0.0f, 1.0f));
      col.a = v;
      img.At(x, y) = col;
    }
  }
  return img;
}

// Cloth pictures: the cloth shows the left nine tenths of the picture. The
// reached cloth is cyan, the colour the game shifts to the slime's own.
Image FlagCloth(bool reached) {
  const int s = 256;
  Image img(s, s, reached ? Rgb(0x00FFFF) : Rgb(0xF4F6FF));
  const Colour stripe = reached ? Rgb(0x00C8D8) : Rgb(0xD8DEF0);
  for (int y = 0; y < s; y += 32) img.FillRect(0, static_cast<float>(y), s, y + 6.0f, stripe);
  const float cx = s * 0.45f, cy = s * 0.52f;
  if (reached) {
    // A happy slime face.
    img.FillEllipse(cx, cy + 10, 70, 58, 0, Rgb(0xFFFFFF));
    img.FillEllipse(cx - 24, cy, 10, 15, 0, Rgb(0x1B2440));
    img.FillEllipse(cx + 24, cy, 10, 15, 0, Rgb(0x1B2440));
    img.FillCircle(cx - 20, cy - 6, 4, Rgb(0xFFFFFF));
    img.FillCircle(cx + 28, cy - 6, 4, Rgb(0xFFFFFF));
    img.Line(cx - 14, cy + 28, cx, cy + 36, 5, Rgb(0x1B2440));
    img.Line(cx, cy + 36, cx + 14, cy + 28, 5, Rgb(0x1B2440));
  } else {
    // A star outline waiting to be filled.
    std::vector<std::pair<float, float>> pts;
    for (int i = 0; i < 10; ++i) {
      const float a = -kPi / 2 + kPi * i / 5;
      const float r = i % 2 ? 30.0f : 72.0f;
      pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    for (int i = 0; i < 10; ++i) {
      img.Line(pts[i].first, pts[i].second, pts[(i + 1) % 10].first, pts[(i + 1) % 10].second, 9,
               Rgb(0xFFB43A));
    }
  }
  img.FillRect(0, 0, s, 8, reached ? Rgb(0x00A8B8) : Rgb(0xB0B8D8));
  img.FillRect(0, s - 8.0f, s, s, reached ? Rgb(0x00A8B8) : Rgb(0xB0B8D8));
  return img;
}

Image Icon(int s) {
  Image img(s, s);
  const float k = s / 32.0f;
  img.FillEllipse(16 * k, 19 * k, 14 * k, 11.5f * k, 0, Rgb(0x1A6E80));
  img.FillEllipse(16 * k, 18.5f * k, 13 * k, 10.5f * k, 0, Rgb(0x38E0F0));
  img.FillEllipse(11 * k, 14 * k, 3.5f * k, 2 * k, -0.5f, Rgb(0xFFFFFF, 0.8f));
  img.FillEllipse(12 * k, 19 * k, 1.8f * k, 2.6f * k, 0, Rgb(0x1B2440));
  img.FillEllipse(20 * k, 19 * k, 1.8f * k, 2.6f * k, 0, Rgb(0x1B2440));
  return img;
}

// The slime's face, wrapped around the body: u = 0.5 looks along -z.
Image SlimeFace() {
  const int w = 512, h = 256;
  Image img(w, h, Rgb(0xFFFFFF));
  // Slightly lighter crown, darker belly for a jelly feel.
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;
    const Colour c = Mix(Rgb(0xFFFFFF), Rgb(0xD6E4EC), std::clamp((v - 0.55f) * 2.2f, 0.0f, 1.0f));
    for (int x = 0; x < w; ++x) img.At(x, y) = c;
  }
  const float cx = w * 0.5f, eyeY = h * 0.47f;
  for (int side = -1; side <= 1; side += 2) {
    const float ex = cx + side * 33;
    img.FillEllipse(ex, eyeY, 12, 19, 0, Rgb(0x1B2440));
    img.FillCircle(ex + 4, eyeY - 8, 4.5f, Rgb(0xFFFFFF));
    img.FillCircle(ex - 4, eyeY + 8, 2.0f, Rgb(0xFFFFFF));
    img.FillEllipse(cx + side * 56, eyeY + 22, 12, 5.5f, 0, Rgb(0xFF9AB0, 0.55f));
  }
  // A small smile.
  for (int i = 0; i <= 20; ++i) {
    const float a = kPi * (0.2f + 0.6f * i / 20.0f);
    img.FillCircle(cx + 12 * std::cos(a), eyeY + 14 + 7 * std::sin(a), 1.8f, Rgb(0x1B2440));
  }
  // Glossy highlight up on the crown.
  img.FillEllipse(cx - 40, h * 0.22f, 26, 10, -0.3f, Rgb(0xFFFFFF, 0.9f));
  return img;
}

// ---- Stage textures (256 x 256, tileable) ----

Image Noisy(Colour a, Colour b, float scale, uint32_t seed) {
  const int s = 256;
  Image img(s, s);
  const int period = static_cast<int>(scale);
  for (int y = 0; y < s; ++y) {
    for (int x = 0; x < s; ++x) {
      const float n =
          0.65f * TileNoise(x * scale / s, y * scale / s, period, period, seed) +
          0.35f * TileNoise(x * scale * 4 / s, y * scale * 4 / s, period * 4, period * 4, seed + 1);
      img.At(x, y) = Mix(a, b, n);
    }
  }
  return img;
}

Image Grass() {
  Image img = Noisy(Rgb(0x7ED957), Rgb(0x9BE86A), 8, 1);
  Random rng(7);
  for (int i = 0; i < 60; ++i) {
    const float x = rng.Range(0, 256), y = rng.Range(0, 256);
    img.Line(x, y, x + rng.Range(-3, 3), y - rng.Range(5, 9), 2, Rgb(0x5EC248));
  }
  for (int i = 0; i < 14; ++i) {
    const float x = rng.Range(8, 248), y = rng.Range(8, 248);
    const Colour petal = rng.Uniform() < 0.5f ? Rgb(0xFFFFFF) : Rgb(0xFFE15A);
    for (int p = 0; p < 5; ++p) {
      const float a = 2 * kPi * p / 5;
      img.FillCircle(x + 3.5f * std::cos(a), y + 3.5f * std::sin(a), 2.6f, petal);
    }
    img.FillCircle(x, y, 2, Rgb(0xFF9A3C));
  }
  return img;
}

Image Cliff() {
  // Earth with a grass rim along the top edge (v = 0 is the top of a side).
  Image img = Noisy(Rgb(0xC98E5A), Rgb(0xB07848), 6, 3);
  for (int band = 1; band < 4; ++band) {
    img.FillRect(0, band * 64.0f - 2, 256, band * 64.0f + 2, Rgb(0xA56C40, 0.6f));
  }
  for (int x = 0; x < 256; ++x) {
    const float drip = 22 + 6 * std::sin(x * 2 * kPi / 64) + 4 * std::sin(x * 2 * kPi / 32 + 1);
    for (int y = 0; y < drip; ++y) img.At(x, y) = y < drip - 4 ? Rgb(0x7ED957) : Rgb(0x5EC248);
  }
  return img;
}

Image Stone() {
  Image img = Noisy(Rgb(0xE6E2EE), Rgb(0xCCC6DA), 8, 5);
  const Colour mortar = Rgb(0xA8A0BC);
  for (int row = 0; row < 4; ++row) {
    const float y = row * 64.0f;
    img.FillRect(0, y, 256, y + 3, mortar);
    const float shift = row % 2 ? 64 : 0;
    for (int b = 0; b < 3; ++b)
      img.FillRect(std::fmod(shift + b * 128.0f, 256.0f), y,
                   std::fmod(shift + b * 128.0f, 256.0f) + 3, y + 64, mortar);
  }
  return img;
}

Image Brick() {
  Image img = Noisy(Rgb(0xFF9E80), Rgb(0xF08466), 8, 9);
  const Colour mortar = Rgb(0xFFE9DC);
  for (int row = 0; row < 8; ++row) {
    const float y = row * 32.0f;
    img.FillRect(0, y, 256, y + 4, mortar);
    const float shift = row % 2 ? 32 : 0;
    for (int b = 0; b < 4; ++b)
      img.FillRect(shift + b * 64.0f, y, shift + b * 64.0f + 4, y + 32, mortar);
  }
  return img;
}

Image Planks(bool side) {
  Image img = Noisy(Rgb(0xF2C27A), Rgb(0xE0A860), 4, side ? 12 : 11);
  for (int i = 0; i < 256; i += side ? 64 : 32)
    img.FillRect(0, static_cast<float>(i), 256, i + 3.0f, Rgb(0xB77B3E));
  Random rng(side ? 21 : 20);
  for (int i = 0; i < 30; ++i) {
    const float y = rng.Range(0, 256), x = rng.Range(0, 256);
    img.Line(x, y, x + rng.Range(20, 60), y + rng.Range(-1, 1), 1.5f, Rgb(0xD29450, 0.7f));
  }
  return img;
}

Image Candy(bool side) {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float d = side ? static_cast<float>(x + y) : static_cast<float>(x);
      const bool pink = std::fmod(d, 64.0f) < 32;
      img.At(x, y) = pink ? Rgb(0xFF7FB0) : Rgb(0xFFF4F8);
    }
  }
  if (!side) img.Ring(128, 128, 70, 14, Rgb(0xFFD23F));
  return img;
}

Image Water() {
  Image img = Noisy(Rgb(0x4FC3F7), Rgb(0x8FE0FF), 4, 30);
  Random rng(31);
  for (int i = 0; i < 24; ++i) {
    const float x = rng.Range(0, 256), y = rng.Range(0, 256), w = rng.Range(12, 30);
    img.Line(x, y, x + w, y, 3, Rgb(0xFFFFFF, 0.7f));
  }
  return img;
}

Image Pad() {
  Image img(256, 256, Rgb(0xFFFFFF));
  img.FillCircle(128, 128, 127, Rgb(0xFF8FB8));
  img.FillCircle(128, 128, 104, Rgb(0xFFFFFF));
  img.FillCircle(128, 128, 80, Rgb(0xFFC8DC));
  // An arrow pointing towards the route (-x is to the left in the picture).
  img.Line(176, 128, 86, 128, 18, Rgb(0xFF5A8A));
  img.Line(86, 128, 120, 94, 18, Rgb(0xFF5A8A));
  img.Line(86, 128, 120, 162, 18, Rgb(0xFF5A8A));
  return img;
}

Image Goal() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x)
      img.At(x, y) = ((x / 32 + y / 32) % 2) ? Rgb(0xFFE27A) : Rgb(0xFFFFFF);
  }
  // A ring centred on the tile's corner: the goal platform's texture repeat
  // starts at its middle, so the ring sits around the centre of the platform.
  for (int cy = 0; cy <= 256; cy += 256) {
    for (int cx = 0; cx <= 256; cx += 256)
      img.Ring(static_cast<float>(cx), static_cast<float>(cy), 90, 12, Rgb(0xFF9A3C));
  }
  return img;
}

Image Gate() {
  Image img = Planks(false);
  img.FillRect(0, 30, 256, 46, Rgb(0xE0B040));
  img.FillRect(0, 210, 256, 226, Rgb(0xE0B040));
  for (int i = 0; i < 4; ++i) {
    img.FillCircle(20.0f + i * 72, 38, 5, Rgb(0xFFF0A0));
    img.FillCircle(20.0f + i * 72, 218, 5, Rgb(0xFFF0A0));
  }
  return img;
}

Image SkyPicture() {
  // Equirectangular: v = 0 straight up, v = 1 straight down; clouds wrap in u.
  const int w = 2048, h = 1024;
  Image img(w, h);
  for (int y = 0; y < h; ++y) {
    const float v = (y + 0.5f) / h;
    const float up = std::cos(kPi * v);
    for (int x = 0; x < w; ++x) {
      Colour c = SkyColour(up);
      if (up > -0.05f && up < 0.75f) {
        // Three octaves: big puffs with crisp, lumpy edges.
        const float n = 0.55f * TileNoise(x * 12.0f / w, y * 24.0f / h, 12, 24, 40) +
                        0.3f * TileNoise(x * 36.0f / w, y * 72.0f / h, 36, 72, 41) +
                        0.15f * TileNoise(x * 108.0f / w, y * 216.0f / h, 108, 216, 42);
        const float band = std::exp(-std::pow((up - 0.25f) / 0.22f, 2.0f));
        const float cloud = std::clamp((n * band - 0.44f) * 6.0f, 0.0f, 1.0f);
        c = Mix(c, Rgb(0xFFFFFF), cloud);
      }
      c.a = 1;
      img.At(x, y) = c;
    }
  }
  return img;
}

}  // namespace

bool WriteTextures(const std::string& dataDir) {
  const std::string t = dataDir + "/texture/";
  bool ok = true;
  ok = WritePng(t + "white.png", Image(1, 1, Rgb(0xFFFFFF))) && ok;
  ok = WritePng(t + "message/loading_message.png", LoadingMessage()) && ok;
  ok = WritePng(t + "message/press_enter_key.png", PressEnter()) && ok;
  ok = WritePng(t + "message/start_message.png", StartMessage()) && ok;
  ok = WritePng(t + "message/clear_message.png", ClearMessage()) && ok;
  ok = WritePng(t + "kamifubuki.png", Confetti()) && ok;
  // Model shading ramp, and the softer one of the environment map.
  ok = WritePng(t + "shader/Toon.png", ToonRamp(Rgb(0xB4B4D2), Rgb(0xE4E4F2), Rgb(0xFFFFFF))) && ok;
  ok = WritePng(t + "Toon.png", ToonRamp(Rgb(0xC8C8E0), Rgb(0xEAEAF6), Rgb(0xFFFFFF))) && ok;
  ok = WriteBinaryFile(t + "CubeMap.dds", EncodeCubeDds(CubeFaces())) && ok;
  ok = WritePng(t + "WalkEffect.png", RingFrames(false)) && ok;
  ok = WritePng(t + "WalkEffect2.png", RingFrames(true)) && ok;
  ok = WritePng(t + "jumpEffect.png", Sparkle(64, Rgb(0xFFFFFF), Rgb(0x9FE8FF), 4)) && ok;
  ok = WritePng(t + "checkeffect.png", Sparkle(64, Rgb(0xFFFFFF), Rgb(0xFFD84A), 5)) && ok;
  ok = WritePng(t + "flag.png", FlagCloth(false)) && ok;
  ok = WritePng(t + "flag2.png", FlagCloth(true)) && ok;
  ok = WriteBinaryFile(dataDir + "/icon/ICON.ico", EncodeIco({Icon(16), Icon(32), Icon(48)})) && ok;
  ok = WritePng(dataDir + "/model/Character/Player/slime_face.png", SlimeFace()) && ok;
  const std::string m = t + "map/";
  ok = WritePng(m + "grass.png", Grass()) && ok;
  ok = WritePng(m + "cliff.png", Cliff()) && ok;
  ok = WritePng(m + "stone.png", Stone()) && ok;
  ok = WritePng(m + "brick.png", Brick()) && ok;
  ok = WritePng(m + "planks.png", Planks(false)) && ok;
  ok = WritePng(m + "planks_side.png", Planks(true)) && ok;
  ok = WritePng(m + "candy.png", Candy(false)) && ok;
  ok = WritePng(m + "candy_side.png", Candy(true)) && ok;
  ok = WritePng(m + "water.png", Water()) && ok;
  ok = WritePng(m + "pad.png", Pad()) && ok;
  ok = WritePng(m + "goal.png", Goal()) && ok;
  ok = WritePng(m + "gate.png", Gate()) && ok;
  ok = WritePng(m + "sky.png", SkyPicture()) && ok;
  return ok;
}

}  // namespace assetgen
