// The sky dome, the stage pieces of both stages and the title logo. Pieces are
// built at their real size (the stage files place them unscaled), so textures
// keep one scale everywhere: `kTile` world units per repeat.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "content.h"
#include "image.h"
#include "mesh.h"

namespace assetgen {
namespace {

constexpr float kTile = 4.0f;
constexpr float kPi = 3.14159265f;
const std::string kTex = "data/texture/map/";

Material Mat(uint32_t rgb, const std::string& texture = "", float alpha = 1.0f, float power = 12.0f,
             float spec = 0.25f) {
  Material m;
  const Colour c = Rgb(rgb);
  m.r = c.r;
  m.g = c.g;
  m.b = c.b;
  m.a = alpha;
  m.power = power;
  m.sr = m.sg = m.sb = spec;
  if (!texture.empty()) m.texture = kTex + texture;
  return m;
}

// A slab whose top is at local y 0, centred in x and z: the stage file's
// position is then the middle of the walking surface.
Mesh Slab(float sx, float sz, float depth, const Material& top, const Material& side) {
  Mesh m;
  const int t = m.AddMaterial(top), s = m.AddMaterial(side);
  AddBox(m, {-sx / 2, -depth, -sz / 2}, {sx / 2, 0, sz / 2}, t, s, kTile);
  return m;
}

Mesh GrassSlab(float sx, float sz, float depth) {
  return Slab(sx, sz, depth, Mat(0xFFFFFF, "grass.png"), Mat(0xFFFFFF, "cliff.png"));
}

Mesh StonePillar(float radius, float height) {
  Mesh m;
  const int side = m.AddMaterial(Mat(0xFFFFFF, "stone.png"));
  const int top = m.AddMaterial(Mat(0xFFFFFF, "grass.png"));
  AddCylinder(m, 0, 0, -height, 0, radius, radius, 20, side, top, kTile);
  return m;
}

// The floating island the game stage stands on: an elliptic grass top, a
// cliff rim and a rocky underside tapering to a point far below.
Mesh Island() {
  Mesh m;
  const int grass = m.AddMaterial(Mat(0xFFFFFF, "grass.png"));
  const int cliff = m.AddMaterial(Mat(0xFFFFFF, "cliff.png"));
  const int rock = m.AddMaterial(Mat(0xC8B8A8, "stone.png"));
  const float cx = -65, cz = 135, rx = 100, rz = 62;
  const int n = 64;
  std::vector<Vec3> rim;
  for (int i = 0; i <= n; ++i) {
    const float a = 2 * kPi * (i % n) / n;
    const float wobble = 1.0f + 0.03f * std::sin(5 * a) + 0.02f * std::sin(11 * a + 1.0f);
    rim.push_back({cx + rx * wobble * std::cos(a), 0, cz + rz * wobble * std::sin(a)});
  }
  const uint32_t centre = m.AddVertex({cx, 0, cz}, {0, 1, 0}, {cx / kTile, -cz / kTile});
  std::vector<uint32_t> topRing;
  for (const Vec3& p : rim)
    topRing.push_back(m.AddVertex(p, {0, 1, 0}, {p.x / kTile, -p.z / kTile}));
  for (int i = 0; i < n; ++i) m.AddTriangle(centre, topRing[i], topRing[i + 1], {0, 1, 0}, grass);
  const float cliffDepth = 8;
  float around = 0;
  for (int i = 0; i < n; ++i) {
    const Vec3 a = rim[i], b = rim[i + 1];
    const Vec3 out = Normalize(Vec3{(a.x + b.x) / 2 - cx, 0, (a.z + b.z) / 2 - cz});
    const float len = Length(b - a) / kTile;
    m.AddQuad(a, b, b + Vec3{0, -cliffDepth, 0}, a + Vec3{0, -cliffDepth, 0}, out, {around, 0},
              {around + len, 0}, {around + len, cliffDepth / kTile}, {around, cliffDepth / kTile},
              cliff);
    // Underside: towards a tip 70 below the middle.
    const Vec3 tip{cx + 8, -78, cz - 4};
    const Vec3 a2 = a + Vec3{0, -cliffDepth, 0}, b2 = b + Vec3{0, -cliffDepth, 0};
    const Vec3 under = Normalize(Cross(b2 - a2, tip - a2));
    const Vec3 hint = Dot(under, out) > 0 ? under : under * -1.0f;
    const uint32_t i0 = m.AddVertex(a2, hint, {around, 0});
    const uint32_t i1 = m.AddVertex(b2, hint, {around + len, 0});
    const uint32_t i2 = m.AddVertex(tip, hint, {around + len / 2, 70 / kTile});
    m.AddTriangle(i0, i1, i2, hint, rock);
    around += len;
  }
  return m;
}

Mesh Ramp() {
  Mesh m;
  const int top = m.AddMaterial(Mat(0xFFFFFF, "planks.png"));
  const int side = m.AddMaterial(Mat(0xFFFFFF, "cliff.png"));
  AddRamp(m, 0, 28, -3, 3, 0, 0, 12, top, side, kTile);
  TransformMesh(m, -90, {-61, 0, 110});  // rises northwards from z 110 to z 138
  return m;
}

Mesh PondRim() {
  Mesh m;
  const int top = m.AddMaterial(Mat(0xFFFFFF, "stone.png"));
  const int side = m.AddMaterial(Mat(0xE8E0F0, "stone.png"));
  const float x0 = -53, x1 = -26, z0 = 134, z1 = 156, h = 1, t = 1;
  AddBox(m, {x0, 0, z0}, {x1, h, z0 + t}, top, side, kTile);
  AddBox(m, {x0, 0, z1 - t}, {x1, h, z1}, top, side, kTile);
  AddBox(m, {x0, 0, z0 + t}, {x0 + t, h, z1 - t}, top, side, kTile);
  AddBox(m, {x1 - t, 0, z0 + t}, {x1, h, z1 - t}, top, side, kTile);
  return m;
}

Mesh WaterSurface() {
  Mesh m;
  // Translucent: drawn after the world and the slime; alpha stays above 0.5
  // because the toon pass skips materials at or below it.
  const int water = m.AddMaterial(Mat(0xFFFFFF, "water.png", 0.62f, 60.0f, 0.9f));
  m.AddQuad({-52, 0, 135}, {-52, 0, 155}, {-27, 0, 155}, {-27, 0, 135}, {0, 1, 0}, {0, 0}, {0, 5},
            {6.25f, 5}, {6.25f, 0}, water);
  return m;
}

Mesh StartPad() {
  Mesh m;
  const int top = m.AddMaterial(Mat(0xFFFFFF, "pad.png", 1.0f, 30.0f, 0.5f));
  const int side = m.AddMaterial(Mat(0xFF8FB8));
  // The top uses the pad picture once across its diameter.
  AddCylinder(m, 0, 0, 0, 0.5f, 3, 3, 40, side, -1, kTile);
  const uint32_t c = m.AddVertex({0, 0.5f, 0}, {0, 1, 0}, {0.5f, 0.5f});
  std::vector<uint32_t> ring;
  for (int i = 0; i <= 40; ++i) {
    const float a = 2 * kPi * i / 40;
    ring.push_back(m.AddVertex({3 * std::cos(a), 0.5f, 3 * std::sin(a)}, {0, 1, 0},
                               {0.5f + 0.5f * std::cos(a), 0.5f - 0.5f * std::sin(a)}));
  }
  for (int i = 0; i < 40; ++i) m.AddTriangle(c, ring[i], ring[i + 1], {0, 1, 0}, top);
  return m;
}

Mesh MoveBlock() {
  Mesh m;
  const int top = m.AddMaterial(Mat(0xFFFFFF, "candy.png", 1.0f, 40.0f, 0.6f));
  const int side = m.AddMaterial(Mat(0xFFFFFF, "candy_side.png", 1.0f, 40.0f, 0.6f));
  AddBox(m, {-3, -1.5f, -3}, {3, 0, 3}, top, side, 6.0f);
  return m;
}

Mesh ClimbWall() {
  Mesh m;
  const int brick = m.AddMaterial(Mat(0xFFFFFF, "brick.png"));
  // Runs along x, so the camera behind a west-facing player looks into the
  // chimney between this wall and the tower beside it.
  AddBox(m, {-4, 0, -0.5f}, {4, 24, 0.5f}, brick, brick, kTile);
  return m;
}

Mesh GoalTower() {
  Mesh m;
  const int stone = m.AddMaterial(Mat(0xFFFFFF, "stone.png"));
  const int gold = m.AddMaterial(Mat(0xFFFFFF, "goal.png", 1.0f, 40.0f, 0.6f));
  const int trim = m.AddMaterial(Mat(0xFFD24A, "", 1.0f, 40.0f, 0.7f));
  AddBox(m, {-6, 0, -6}, {6, 61.5f, 6}, stone, stone, kTile);
  AddBox(m, {-7, 61.5f, -7}, {7, 63.5f, 7}, gold, trim, 14.0f);
  // Corner posts with golden balls: decoration that keeps the edges free.
  for (int sx = -1; sx <= 1; sx += 2) {
    for (int sz = -1; sz <= 1; sz += 2) {
      const float x = sx * 6.5f, z = sz * 6.5f;
      AddBox(m, {x - 0.4f, 63.5f, z - 0.4f}, {x + 0.4f, 65.0f, z + 0.4f}, trim, stone, kTile);
      AddSphere(m, {x, 65.5f, z}, {0.55f, 0.55f, 0.55f}, 8, 12, trim);
    }
  }
  return m;
}

Mesh Pole(uint32_t poleColour, uint32_t knobColour) {
  Mesh m;
  const int pole = m.AddMaterial(Mat(poleColour, "", 1.0f, 40.0f, 0.6f));
  const int knob = m.AddMaterial(Mat(knobColour, "", 1.0f, 60.0f, 0.8f));
  AddCylinder(m, 0, 0, -1.0f, 1.02f, 0.045f, 0.045f, 12, pole, pole, 1.0f);
  AddSphere(m, {0, 1.07f, 0}, {0.09f, 0.09f, 0.09f}, 8, 12, knob);
  AddCylinder(m, 0, 0, -1.0f, -0.94f, 0.22f, 0.18f, 20, knob, knob, 1.0f);
  return m;
}

Mesh GateWing() {
  Mesh m;
  const int wood = m.AddMaterial(Mat(0xFFFFFF, "gate.png", 1.0f, 20.0f, 0.3f));
  const int metal = m.AddMaterial(Mat(0xFFD24A, "", 1.0f, 60.0f, 0.8f));
  // Hinge at the local origin; the wing reaches along +x.
  AddBox(m, {0.05f, 0, -0.35f}, {5.5f, 9, 0.35f}, wood, wood, 5.5f);
  AddCylinder(m, 0, 0, 0, 9.5f, 0.28f, 0.28f, 12, metal, metal, 1.0f);
  AddSphere(m, {0, 9.75f, 0}, {0.45f, 0.45f, 0.45f}, 8, 12, metal);
  AddSphere(m, {4.8f, 4.5f, -0.4f}, {0.28f, 0.28f, 0.14f}, 6, 10, metal);
  AddSphere(m, {4.8f, 4.5f, 0.4f}, {0.28f, 0.28f, 0.14f}, 6, 10, metal);
  return m;
}

Mesh GardenWall() {
  Mesh m;
  const int brick = m.AddMaterial(Mat(0xFFFFFF, "brick.png"));
  const int cap = m.AddMaterial(Mat(0xFFFFFF, "stone.png"));
  AddBox(m, {0.3f, 0, -0.5f}, {10, 5, 0.5f}, cap, brick, kTile);
  return m;
}

// Half-ring bands in the local yz plane, red outside to violet inside.
Mesh Rainbow() {
  Mesh m;
  const uint32_t colours[7] = {0xFF5A5A, 0xFFA24A, 0xFFE45A, 0x6EDB6E,
                               0x5AB8FF, 0x6A7BFF, 0xB679FF};
  const float outer = 90, band = 4.5f, depth = 3;
  const int n = 48;
  for (int c = 0; c < 7; ++c) {
    const int mat = m.AddMaterial(Mat(colours[c], "", 1.0f, 8.0f, 0.1f));
    const float r1 = outer - band * c, r0 = r1 - band;
    for (int i = 0; i < n; ++i) {
      const float a0 = kPi * i / n, a1 = kPi * (i + 1) / n;
      auto P = [&](float r, float a, float x) { return Vec3{x, r * std::sin(a), r * std::cos(a)}; };
      for (int face = 0; face < 2; ++face) {
        const float x = face ? depth / 2 : -depth / 2;
        m.AddQuad(P(r0, a0, x), P(r1, a0, x), P(r1, a1, x), P(r0, a1, x),
                  {face ? 1.0f : -1.0f, 0, 0}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, mat);
      }
      const Vec3 o0 = Normalize(P(1, a0, 0)), o1 = Normalize(P(1, a1, 0));
      const Vec3 mid = Normalize(o0 + o1);
      if (c == 0) {
        m.AddQuad(P(r1, a0, -depth / 2), P(r1, a0, depth / 2), P(r1, a1, depth / 2),
                  P(r1, a1, -depth / 2), mid, {0, 0}, {1, 0}, {1, 1}, {0, 1}, mat);
      }
      if (c == 6) {
        m.AddQuad(P(r0, a0, -depth / 2), P(r0, a0, depth / 2), P(r0, a1, depth / 2),
                  P(r0, a1, -depth / 2), mid * -1.0f, {0, 0}, {1, 0}, {1, 1}, {0, 1}, mat);
      }
    }
  }
  return m;
}

Mesh Cloud() {
  Mesh m;
  const int white = m.AddMaterial(Mat(0xFFFFFF, "", 1.0f, 4.0f, 0.05f));
  const float puffs[6][4] = {{0, 0, 0, 5},           {5, -0.8f, 1, 4},
                             {-5, -1, -0.5f, 3.8f},  {2, 2.2f, -0.5f, 3.6f},
                             {-2.5f, 1.5f, 1, 3.2f}, {8.5f, -1.5f, 0, 2.6f}};
  for (const auto& p : puffs)
    AddSphere(m, {p[0], p[1], p[2]}, {p[3], p[3] * 0.8f, p[3]}, 8, 14, white);
  return m;
}

Mesh Tree() {
  Mesh m;
  const int bark = m.AddMaterial(Mat(0xA0673A));
  const int leaf = m.AddMaterial(Mat(0x58C85A, "", 1.0f, 8.0f, 0.15f));
  const int leaf2 = m.AddMaterial(Mat(0x7EDB5C, "", 1.0f, 8.0f, 0.15f));
  AddCylinder(m, 0, 0, 0, 3, 0.5f, 0.4f, 10, bark, -1, 2.0f);
  AddCylinder(m, 0, 0, 2.5f, 7.5f, 3.2f, 0, 14, leaf, leaf, 4.0f);
  AddCylinder(m, 0, 0, 5.0f, 9.5f, 2.4f, 0, 14, leaf2, leaf2, 4.0f);
  return m;
}

Mesh Bush() {
  Mesh m;
  const int leaf = m.AddMaterial(Mat(0x6CD66A, "", 1.0f, 8.0f, 0.15f));
  const int flower = m.AddMaterial(Mat(0xFF7FB0, "", 1.0f, 20.0f, 0.3f));
  AddSphere(m, {0, 0.6f, 0}, {1.4f, 1.1f, 1.4f}, 8, 14, leaf);
  AddSphere(m, {1.1f, 0.4f, 0.4f}, {0.9f, 0.8f, 0.9f}, 6, 10, leaf);
  const float spots[4][3] = {
      {0.3f, 1.6f, -0.6f}, {-0.8f, 1.2f, -0.7f}, {1.0f, 1.0f, -0.8f}, {-0.2f, 1.4f, 0.8f}};
  for (const auto& s : spots) AddSphere(m, {s[0], s[1], s[2]}, {0.25f, 0.25f, 0.25f}, 5, 8, flower);
  return m;
}

Mesh SkyIsland() {
  Mesh m;
  const int grass = m.AddMaterial(Mat(0xFFFFFF, "grass.png"));
  const int rock = m.AddMaterial(Mat(0xD8C8B8, "stone.png"));
  AddCylinder(m, 0, 0, -3, 0, 12, 12, 24, rock, grass, kTile);
  AddCylinder(m, 0, 0, -22, -3, 0.5f, 12, 24, rock, -1, kTile);
  Mesh tree = Tree();
  TransformMesh(tree, 0, {3, 0, 2});
  m.Append(tree);
  Mesh tree2 = Tree();
  TransformMesh(tree2, 40, {-4, 0, -3});
  m.Append(tree2);
  return m;
}

// A golden five-pointed star on a pedestal: the prize behind the gates.
Mesh StarStatue() {
  Mesh m;
  const int gold = m.AddMaterial(Mat(0xFFD34D, "", 1.0f, 60.0f, 0.9f));
  const int stone = m.AddMaterial(Mat(0xFFFFFF, "stone.png"));
  AddBox(m, {-2, 0, -2}, {2, 2, 2}, stone, stone, kTile);
  const float rOut = 3.2f, rIn = 1.35f, cy = 6.0f, half = 0.6f;
  std::vector<Vec3> pts;
  for (int i = 0; i < 10; ++i) {
    const float a = kPi / 2 + kPi * i / 5;
    const float r = i % 2 ? rIn : rOut;
    pts.push_back({r * std::cos(a), cy + r * std::sin(a), 0});
  }
  for (int face = 0; face < 2; ++face) {
    const float z = face ? half : -half;
    const Vec3 n{0, 0, face ? 1.0f : -1.0f};
    const uint32_t c = m.AddVertex({0, cy, z * 1.6f}, n, {0, 0});
    for (int i = 0; i < 10; ++i) {
      const Vec3 a = pts[i] + Vec3{0, 0, z}, b = pts[(i + 1) % 10] + Vec3{0, 0, z};
      const uint32_t ia = m.AddVertex(a, n, {0, 0}), ib = m.AddVertex(b, n, {0, 0});
      m.AddTriangle(c, ia, ib, n, gold);
    }
  }
  for (int i = 0; i < 10; ++i) {
    const Vec3 a = pts[i], b = pts[(i + 1) % 10];
    const Vec3 out = Normalize(Vec3{(a.x + b.x) / 2, (a.y + b.y) / 2 - cy, 0});
    m.AddQuad(a + Vec3{0, 0, -half}, b + Vec3{0, 0, -half}, b + Vec3{0, 0, half},
              a + Vec3{0, 0, half}, out, {0, 0}, {1, 0}, {1, 1}, {0, 1}, gold);
  }
  AddCylinder(m, 0, 0, 2, cy - 2.5f, 0.3f, 0.3f, 8, gold, -1, 1.0f);
  return m;
}

// The title's floor: one solid piece holding every block, so that the title
// slime's look-ahead sees one object below it and hops exactly at the gaps.
Mesh TitleFloor() {
  Mesh m;
  const int top = m.AddMaterial(Mat(0xFFFFFF, "grass.png"));
  const int side = m.AddMaterial(Mat(0xFFFFFF, "cliff.png"));
  const float blocks[4][2] = {{-1.95f, -0.85f}, {-0.75f, 0.12f}, {0.22f, 0.92f}, {1.02f, 2.0f}};
  for (const auto& b : blocks)
    AddBox(m, {b[0], -0.7f, -0.18f}, {b[1], -0.35f, 0.28f}, top, side, 0.4f);
  return m;
}

Mesh TitleHills() {
  Mesh m;
  const int green = m.AddMaterial(Mat(0x7FD86A, "", 1.0f, 6.0f, 0.1f));
  const int green2 = m.AddMaterial(Mat(0x5CC15E, "", 1.0f, 6.0f, 0.1f));
  AddSphere(m, {-2.6f, -1.6f, 5}, {2.6f, 1.9f, 1.6f}, 10, 20, green);
  AddSphere(m, {0.9f, -1.9f, 6.5f}, {3.4f, 2.1f, 1.8f}, 10, 20, green2);
  AddSphere(m, {3.6f, -1.5f, 5.2f}, {2.2f, 1.6f, 1.5f}, 10, 20, green);
  return m;
}

// Extruded lettering from the font's coverage: marching squares give the
// front and back faces and the side walls, one material per letter.
Mesh Logo() {
  Mesh m;
  const char* letters = "glomp!";
  const uint32_t colours[6] = {0xFF6FA8, 0xFFA040, 0xFFE04A, 0x6ADB5A, 0x4CC8FF, 0xB07CFF};
  const float pixel = 1.0f / 80.0f;  // letter height about one unit
  const float depth = 0.28f;
  // Lay the letters out with the font's advances, on one baseline.
  const TextMask whole = RenderText(letters, 96, 4);
  const float centreX = whole.width * 0.5f, centreY = whole.height * 0.55f;
  float penX = 0;
  for (int li = 0; li < 6; ++li) {
    const std::string one(1, letters[li]);
    const TextMask g = RenderText(one, 96, 4);
    const TextMask prefix = RenderText(std::string(letters, li), 96, 4);
    penX = li == 0 ? 0 : static_cast<float>(prefix.width - 8);
    const int mat = m.AddMaterial(Mat(colours[li], "", 1.0f, 50.0f, 0.7f));
    auto value = [&](int x, int y) { return g.At(x, y); };
    auto toLocal = [&](float px, float py) {
      return Vec3{(penX + px - centreX) * pixel, (centreY - py) * pixel, 0};
    };
    auto sample = [&](float px, float py) {
      // Pixel (x, y) holds the coverage at its centre (x + 0.5, y + 0.5).
      const int x0 = static_cast<int>(std::floor(px - 0.5f)),
                y0 = static_cast<int>(std::floor(py - 0.5f));
      const float fx = px - 0.5f - x0, fy = py - 0.5f - y0;
      const float a = value(x0, y0), b = value(x0 + 1, y0), c = value(x0, y0 + 1),
                  d = value(x0 + 1, y0 + 1);
      return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
    };
    for (int y = -1; y < g.height; ++y) {
      int runStart = -2;
      for (int x = -1; x <= g.width; ++x) {
        const float v[4] = {value(x, y), value(x + 1, y), value(x + 1, y + 1), value(x, y + 1)};
        const bool full =
            x < g.width && v[0] >= 0.5f && v[1] >= 0.5f && v[2] >= 0.5f && v[3] >= 0.5f;
        if (full) {
          if (runStart < -1) runStart = x;
          continue;
        }
        if (runStart >= -1) {  // close a run of full cells as one quad per face
          for (int face = 0; face < 2; ++face) {
            const float z = face ? depth / 2 : -depth / 2;
            const Vec3 n{0, 0, face ? 1.0f : -1.0f};
            m.AddQuad(toLocal(runStart + 0.5f, y + 0.5f) + Vec3{0, 0, z},
                      toLocal(x + 0.5f, y + 0.5f) + Vec3{0, 0, z},
                      toLocal(x + 0.5f, y + 1.5f) + Vec3{0, 0, z},
                      toLocal(runStart + 0.5f, y + 1.5f) + Vec3{0, 0, z}, n, {0, 0}, {1, 0}, {1, 1},
                      {0, 1}, mat);
          }
          runStart = -2;
        }
        if (x >= g.width) continue;
        // Partial cell: walk its corners, inserting the edge crossings.
        const float cx[4] = {x + 0.5f, x + 1.5f, x + 1.5f, x + 0.5f};
        const float cy[4] = {y + 0.5f, y + 0.5f, y + 1.5f, y + 1.5f};
        std::vector<std::pair<Vec3, bool>> poly;  // point, is a crossing
        for (int k = 0; k < 4; ++k) {
          const int k2 = (k + 1) % 4;
          if (v[k] >= 0.5f) poly.push_back({toLocal(cx[k], cy[k]), false});
          if ((v[k] >= 0.5f) != (v[k2] >= 0.5f)) {
            const float t = (0.5f - v[k]) / (v[k2] - v[k]);
            poly.push_back(
                {toLocal(cx[k] + (cx[k2] - cx[k]) * t, cy[k] + (cy[k2] - cy[k]) * t), true});
          }
        }
        if (poly.size() < 3) continue;
        for (int face = 0; face < 2; ++face) {
          const float z = face ? depth / 2 : -depth / 2;
          const Vec3 n{0, 0, face ? 1.0f : -1.0f};
          const uint32_t first = m.AddVertex(poly[0].first + Vec3{0, 0, z}, n, {0, 0});
          uint32_t prev = m.AddVertex(poly[1].first + Vec3{0, 0, z}, n, {0, 0});
          for (size_t k = 2; k < poly.size(); ++k) {
            const uint32_t cur = m.AddVertex(poly[k].first + Vec3{0, 0, z}, n, {0, 0});
            m.AddTriangle(first, prev, cur, n, mat);
            prev = cur;
          }
        }
        for (size_t k = 0; k < poly.size(); ++k) {
          const auto& a = poly[k];
          const auto& b = poly[(k + 1) % poly.size()];
          if (!a.second || !b.second) continue;  // side walls run between crossings
          const Vec3 d = b.first - a.first;
          Vec3 out = Normalize(Vec3{d.y, -d.x, 0});
          const Vec3 mid = (a.first + b.first) * 0.5f;
          // Outward is where the coverage falls off.
          const float mx = mid.x / pixel + centreX - penX, my = centreY - mid.y / pixel;
          if (sample(mx + out.x * 0.6f, my - out.y * 0.6f) >
              sample(mx - out.x * 0.6f, my + out.y * 0.6f)) {
            out = out * -1.0f;
          }
          m.AddQuad(a.first + Vec3{0, 0, -depth / 2}, b.first + Vec3{0, 0, -depth / 2},
                    b.first + Vec3{0, 0, depth / 2}, a.first + Vec3{0, 0, depth / 2}, out, {0, 0},
                    {1, 0}, {1, 1}, {0, 1}, mat);
        }
      }
    }
  }
  return m;
}

Mesh Sky() {
  Mesh m;
  const int sky = m.AddMaterial(Mat(0xFFFFFF, "sky.png", 1.0f, 1.0f, 0.0f));
  AddSphere(m, {0, 0, 0}, {150, 150, 150}, 16, 32, sky, true);
  return m;
}

}  // namespace

std::vector<std::pair<std::string, Mesh>> BuildMapModels() {
  std::vector<std::pair<std::string, Mesh>> models;
  auto add = [&](const std::string& name, Mesh mesh) { models.push_back({name, std::move(mesh)}); };
  add("Sky", Sky());
  add("island", Island());
  add("start_pad", StartPad());
  add("step_h2", GrassSlab(4, 10, 2));
  add("step_h4", GrassSlab(4, 10, 4));
  add("step_h6", GrassSlab(6, 10, 6));
  add("pond_rim", PondRim());
  add("water", WaterSurface());
  add("stone_h8", StonePillar(2, 8));
  add("stone_h10", StonePillar(2, 10));
  add("stone_h12", StonePillar(2, 12));
  add("tower_c", GrassSlab(10, 14, 12));
  add("ramp", Ramp());
  add("move_block", MoveBlock());
  add("platform_d", Slab(20, 16, 2, Mat(0xFFFFFF, "planks.png"), Mat(0xFFFFFF, "planks_side.png")));
  add("pillar_d", StonePillar(1.5f, 30));
  add("climb_wall", ClimbWall());
  add("tower_t", Slab(8, 13, 46, Mat(0xFFFFFF, "grass.png"), Mat(0xFFFFFF, "brick.png")));
  add("tower_e", Slab(10, 18, 46, Mat(0xFFFFFF, "grass.png"), Mat(0xFFFFFF, "brick.png")));
  add("platform_f", GrassSlab(9, 15, 2));
  add("pillar_f", StonePillar(1.2f, 50));
  add("platform_g", Slab(8, 6, 2, Mat(0xFFFFFF, "planks.png"), Mat(0xFFFFFF, "planks_side.png")));
  add("goal_tower", GoalTower());
  add("checkpoint_pole", Pole(0xF4F4FF, 0xFF5A7A));
  add("flag_pole", Pole(0xFFE9A8, 0xFFC23A));
  add("gate_wing", GateWing());
  add("garden_wall", GardenWall());
  add("rainbow", Rainbow());
  add("cloud", Cloud());
  add("tree", Tree());
  add("bush", Bush());
  add("sky_island", SkyIsland());
  add("star_statue", StarStatue());
  add("title_floor", TitleFloor());
  add("title_hills", TitleHills());
  add("logo", Logo());
  return models;
}

bool WriteMapModels(const std::string& dataDir) {
  bool ok = true;
  for (const auto& [name, mesh] : BuildMapModels()) {
    ok = WriteStaticModel(dataDir + "/model/Map/" + name + ".x", mesh, name) && ok;
  }
  return ok;
}

}  // namespace assetgen
