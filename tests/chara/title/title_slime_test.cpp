// The title slime: its colour wheel, the Up and Down keys, and its walk across
// the title stage with the hop at the edge and the return after the fall.
#include <cmath>
#include <cstdlib>

#include "chara/title/title_world.h"

namespace {

using title_world::TitleWorldTest;

void ExpectColour(const D3DXCOLOR& c, float r, float g, float b) {
  EXPECT_NEAR(c.r, r, 1e-3f);
  EXPECT_NEAR(c.g, g, 1e-3f);
  EXPECT_NEAR(c.b, b, 1e-3f);
  EXPECT_EQ(c.a, 1.0f);
}

TEST(TitleSlimeColour, WheelRunsRedMagentaBlueCyanGreenYellow) {
  ExpectColour(TitleSlime::HueColour(0), 1, 0, 0);
  ExpectColour(TitleSlime::HueColour(30), 1, 0, 0.707f);
  ExpectColour(TitleSlime::HueColour(60), 1, 0, 1);
  ExpectColour(TitleSlime::HueColour(120), 0, 0, 1);
  ExpectColour(TitleSlime::HueColour(180), 0, 1, 1);
  ExpectColour(TitleSlime::HueColour(240), 0, 1, 0);
  ExpectColour(TitleSlime::HueColour(300), 1, 1, 0);
  // Out of range hues are clamped: 360 is 359, a negative hue is 0.
  const D3DXCOLOR last = TitleSlime::HueColour(359);
  const D3DXCOLOR beyond = TitleSlime::HueColour(360);
  EXPECT_EQ(beyond.r, last.r);
  EXPECT_EQ(beyond.g, last.g);
  EXPECT_EQ(beyond.b, last.b);
  ExpectColour(TitleSlime::HueColour(-20), 1, 0, 0);
}

TEST_F(TitleWorldTest, UpAndDownTurnTheHueOnlyAfterTheWait) {
  TitleSlime& slime = MakeSlime();
  EXPECT_EQ(slime.hue, 360);
  ExpectColour(slime.colour, 0, 1, 1);  // cyan until the first change
  g_keyboard->state[15] = KEY_PRESSED;
  slime.onGround = false;
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 360) << "keys count only once the wait is over";

  slime.hopDelay = TitleSlime::kWaitFrames;
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 1);
  ExpectColour(slime.colour, TitleSlime::HueColour(1).r, TitleSlime::HueColour(1).g,
               TitleSlime::HueColour(1).b);

  // Held Up turns one degree a frame and wraps from 359 to 0.
  g_keyboard->state[15] = KEY_HELD;
  slime.hue = 358;
  slime.ChooseColour();
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 0);

  // Up wins over Down; Down alone goes the other way, from 360 to 359.
  g_keyboard->state[16] = KEY_HELD;
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 1);
  g_keyboard->state[15] = KEY_UP;
  slime.hue = 360;
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 359);
  // A released key is not down.
  g_keyboard->state[16] = KEY_RELEASED;
  slime.ChooseColour();
  EXPECT_EQ(slime.hue, 359);
}

TEST_F(TitleWorldTest, StartsSmallAtItsStartPoint) {
  TitleSlime& slime = MakeSlime();
  EXPECT_FLOAT_EQ(slime.size, 0.05f);
  EXPECT_FLOAT_EQ(slime.position.x, -1.45f);
  EXPECT_FLOAT_EQ(slime.position.y, 1.4f);
  EXPECT_FLOAT_EQ(slime.position.z, 0.0f);
  EXPECT_NEAR(slime.world._11, 0.05f, 1e-6f);
  EXPECT_NEAR(slime.world._22, 0.05f, 1e-6f);
  EXPECT_EQ(slime.hopDelay, 0);
}

// Walks the slime frame by frame: it lands, waits 15 grounded frames, walks
// right at 0.09 (0.0045 world units a frame), hops where the floor runs out
// ahead, falls below −5 and comes back at its start point with a random hue.
TEST_F(TitleWorldTest, WaitsWalksHopsFallsOutAndReturns) {
  std::srand(7);
  TitleSlime& slime = MakeSlime();
  int groundedBeforeWalk = 0;
  int walkFrame = -1;
  float walkSpeed = 0;
  int hopFrame = -1;
  float hopX = 0;
  int resetFrame = -1;
  bool wasOnGround = false;
  for (int frame = 0; frame < 3000 && resetFrame < 0; ++frame) {
    const float xBefore = slime.position.x;
    const bool startedGrounded = slime.onGround;
    Step();
    if (walkFrame < 0) {
      if (slime.velocity.x > 0) {
        walkFrame = frame;
        walkSpeed = slime.velocity.x;
      } else if (startedGrounded) {
        // A frame that starts on the ground counts twice towards the 30; the
        // landing frame itself counts once, in the colour step.
        ++groundedBeforeWalk;
      }
    }
    if (walkFrame >= 0 && hopFrame < 0 && wasOnGround && !slime.onGround &&
        slime.velocity.y > 0.5f) {
      hopFrame = frame;
      hopX = xBefore;
    }
    if (hopFrame >= 0 && slime.hopDelay == 0 && slime.position.y == 1.4f) resetFrame = frame;
    wasOnGround = slime.onGround;
  }
  ASSERT_GE(walkFrame, 0) << "the slime never started walking";
  EXPECT_EQ(groundedBeforeWalk, 15);
  EXPECT_FLOAT_EQ(walkSpeed, 0.09f);

  ASSERT_GE(hopFrame, 0) << "the slime never hopped";
  // At the hop a probe 0.025 to 0.1 ahead has left the floor: probing from
  // there, the floor under the hop point is still there and ends within 0.1.
  MapObjectList& objects = *stage_->objects;
  const std::vector<int> near = objects.NearbyObjects(D3DXVECTOR3(hopX, 0, 0), 100);
  ASSERT_FALSE(near.empty());
  float distance = 0;
  DWORD face = 0;
  bool beyondEdge = false;
  for (int n = 1; n <= 4 && !beyondEdge; ++n) {
    const D3DXVECTOR3 probe(hopX + 0.025f * float(n), 1.0f, 0.0f);
    bool allBelow = true;
    for (int index : near) {
      allBelow = allBelow && objects.RayTest(index, probe, D3DXVECTOR3(0, -1, 0), &distance, &face);
    }
    beyondEdge = !allBelow;
  }
  EXPECT_TRUE(beyondEdge) << "hopped at x " << hopX << " with floor all the way ahead";

  ASSERT_GE(resetFrame, 0) << "the slime never came back";
  EXPECT_FLOAT_EQ(slime.position.x, -1.45f);
  EXPECT_FLOAT_EQ(slime.position.y, 1.4f);
  EXPECT_FLOAT_EQ(slime.position.z, 0.0f);
  EXPECT_GE(slime.hue, 0);
  EXPECT_LE(slime.hue, 360);
  const D3DXCOLOR expected = TitleSlime::HueColour(slime.hue);
  ExpectColour(slime.colour, expected.r, expected.g, expected.b);
  EXPECT_FLOAT_EQ(slime.size, 0.05f);
  EXPECT_NEAR(slime.world._11, 0.05f, 1e-6f) << "the scale stays in world";
}

}  // namespace

