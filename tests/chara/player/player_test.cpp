// The player: its start, the walk with W A S D and its glide, the turns, the
// jumps and the wall jump, the footsteps, the rings and trails, and the clear
// sequence's placing, walk, stand and drift.
#include <cmath>
#include <vector>

#include "chara/player/player_world.h"
#include "common/Helpers.h"

namespace player_test {
namespace {

constexpr float kEps = 1e-5f;

D3DXMATRIX TurnY(float radians) {
  D3DXMATRIX m;
  return *D3DXMatrixRotationY(&m, radians);
}

void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float eps = kEps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual(r, c), expected(r, c), eps) << "element (" << r << ", " << c << ")";
}

int RingsOfMode(const Player& player, int mode) {
  int count = 0;
  for (const RingEffect* ring : player.effects.rings) count += ring->mode == mode ? 1 : 0;
  return count;
}

// ---- start -------------------------------------------------------------

TEST_F(PlayerWorld, StartsAtThePadFacingMinusXInTheTitlesColour) {
  scene_.playerColour = D3DXCOLOR(1, 0, 0.5f, 1);
  Player& player = MakePlayer();
  EXPECT_EQ(player.colour, D3DXCOLOR(1, 0, 0.5f, 1));
  EXPECT_EQ(player.angles, D3DXVECTOR3(0, -90, 0));
  D3DXMATRIX expected = TurnY(-D3DX_PI / 2);
  expected._41 = 0;
  expected._42 = 0;
  expected._43 = 145;
  ExpectMatrixNear(player.world, expected, 0);
  EXPECT_EQ(player.position, D3DXVECTOR3(0, 0, 145));
  EXPECT_EQ(player.clearState, 0);
  EXPECT_EQ(player.clearCount, 0);
  EXPECT_EQ(player.clearBlend, 0.0f);
  EXPECT_FLOAT_EQ(player.size, 1.0f);
  // The two poses of the walk to the goal are plain translations.
  EXPECT_EQ(player.clearFrom._41, -130.2f);
  EXPECT_EQ(player.clearFrom._43, 122.3f);
  EXPECT_EQ(player.clearTo._41, -127.3f);
  EXPECT_EQ(player.clearTo._43, 127.3f);
  EXPECT_EQ(player.clearTo._11, 1.0f);

  // A turned, moved, half-cleared player is put back entirely, also its turn.
  player.world = TurnY(1.0f) * player.world;
  player.angles.y = 10;
  player.clearState = 3;
  player.clearCount = 40;
  player.clearBlend = 0.5f;
  player.PlaceAt(D3DXVECTOR3(3, 4, 5));
  player.Reset();
  ExpectMatrixNear(player.world, expected, 0);
  EXPECT_EQ(player.angles.y, -90.0f);
  EXPECT_EQ(player.clearState, 0);
  EXPECT_EQ(player.clearCount, 0);
  EXPECT_EQ(player.clearBlend, 0.0f);
}

// ---- walking -----------------------------------------------------------

TEST_F(PlayerWorld, ForwardAndRightTogetherMoveAt0141OnEachAxis) {
  Player& player = MakePlayer();
  Hold(kW);
  Hold(kD);
  for (int frame = 0; frame < 3; ++frame) {
    const D3DXVECTOR3 before = player.position;
    Step();
    EXPECT_NEAR(player.velocity.x, 0.14142136f, 1e-6f) << "frame " << frame;
    EXPECT_NEAR(player.velocity.z, 0.14142136f, 1e-6f) << "frame " << frame;
    // 0.2 a frame over the ground, not 0.28.
    const float dx = player.position.x - before.x;
    const float dz = player.position.z - before.z;
    EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), 0.2f, 1e-5f);
  }
}

TEST_F(PlayerWorld, ReleasedForwardGlidesAtNineTenthsAndStopsAfter51Frames) {
  Player& player = MakePlayer();
  Hold(kW);
  Step();
  Step();
  ASSERT_EQ(player.velocity.z, 0.2f);
  Hold(kW, false);
  std::vector<float> glide;
  for (int frame = 0; frame < 60 && (glide.empty() || glide.back() != 0.0f); ++frame) {
    Step();
    glide.push_back(player.velocity.z);
  }
  ASSERT_GE(glide.size(), 3u);
  EXPECT_NEAR(glide[0], 0.18f, 1e-7f);
  EXPECT_NEAR(glide[1], 0.162f, 1e-7f);
  for (size_t i = 1; i + 1 < glide.size(); ++i) EXPECT_EQ(glide[i], glide[i - 1] * 0.9f);
  EXPECT_EQ(glide.size(), 51u);
  EXPECT_EQ(glide.back(), 0.0f);
  EXPECT_GE(glide[glide.size() - 2], 0.001f);
}

TEST_F(PlayerWorld, ReversingPassesThroughZeroForOneFrame) {
  Player& player = MakePlayer();
  Hold(kW);
  Step();
  Hold(kW, false);
  Hold(kS);
  Step();
  EXPECT_EQ(player.velocity.z, 0.0f);
  Step();
  EXPECT_EQ(player.velocity.z, -0.2f);
  // Sideways the same, key by key: A wins over D, and A then D passes through zero.
  player.velocity = D3DXVECTOR3(0, 0, 0);
  g_keyboard->state[kA] = KEY_PRESSED;
  player.Walk();
  EXPECT_EQ(player.velocity.x, -0.2f);
  g_keyboard->state[kA] = KEY_HELD;
  g_keyboard->state[kD] = KEY_PRESSED;
  player.Walk();
  EXPECT_EQ(player.velocity.x, -0.2f);
  g_keyboard->state[kA] = KEY_RELEASED;
  g_keyboard->state[kD] = KEY_HELD;
  player.Walk();
  EXPECT_EQ(player.velocity.x, 0.0f);
  player.Walk();
  EXPECT_EQ(player.velocity.x, 0.2f);
}

// Walk, turn and jump read the keys only while the game scene is in play; a
// wall jump locks the walk.
TEST_F(PlayerWorld, ControlsActOnlyInPlayOfTheGameScene) {
  Player& player = MakePlayer();
  const D3DXMATRIX startWorld = player.world;
  struct Case {
    int sceneId;
    int phase;
  };
  for (const Case c : {Case{kSceneGame, kPhaseOpening}, Case{kSceneGame, kPhaseClear},
                       Case{kSceneTitle, kPhasePlay}, Case{kSceneResult, kPhasePlay}}) {
    scene_.sceneId = c.sceneId;
    scene_.phase = c.phase;
    player.onGround = true;
    for (int slot : {kW, kD, kLeft, kSpace}) g_keyboard->state[slot] = KEY_PRESSED;
    g_mouse->dx = 100;
    player.Turn();
    player.Walk();
    player.JumpInput();
    EXPECT_EQ(player.velocity, D3DXVECTOR3(0, 0, 0)) << c.sceneId << "/" << c.phase;
    EXPECT_EQ(player.angles.y, -90.0f);
    EXPECT_EQ(player.world, startWorld);
    EXPECT_TRUE(player.onGround);
  }

  scene_.sceneId = kSceneGame;
  scene_.phase = kPhasePlay;
  player.wallJump = true;
  player.Walk();
  EXPECT_EQ(player.velocity, D3DXVECTOR3(0, 0, 0)) << "a wall jump locks the walk";
  player.wallJump = false;
  player.Walk();
  EXPECT_EQ(player.velocity.z, 0.2f);
}

// ---- turning -----------------------------------------------------------

TEST_F(PlayerWorld, ArrowsTurnADegreeAFrameAndTheMouseADegreePer20Pixels) {
  Player& player = MakePlayer();
  const D3DXMATRIX start = player.world;
  const float degree = 0.017453292f;

  // Both in one frame: the arrow's degree first, then the mouse's two.
  g_keyboard->state[kLeft] = KEY_HELD;
  g_mouse->dx = 40;
  player.Turn();
  EXPECT_FLOAT_EQ(player.angles.y, -89.0f);
  ExpectMatrixNear(player.world, TurnY(2 * degree) * TurnY(-degree) * start);
  // The turn is about the slime's own axis: it stays where it is.
  EXPECT_EQ(player.world._41, start._41);
  EXPECT_EQ(player.world._43, start._43);

  // Left wins over Right; half a degree for 10 pixels.
  g_keyboard->state[kRight] = KEY_HELD;
  g_mouse->dx = 10;
  player.Turn();
  EXPECT_FLOAT_EQ(player.angles.y, -89.5f);
  g_keyboard->state[kLeft] = KEY_UP;
  g_mouse->dx = -20;
  player.Turn();
  EXPECT_FLOAT_EQ(player.angles.y, -89.5f);
  ExpectMatrixNear(player.world, TurnY(0.5f * degree) * start);
  // The world's forward axis keeps pointing along the yaw.
  const float yaw = player.angles.y * degree;
  EXPECT_NEAR(player.world._31, std::sin(yaw), kEps);
  EXPECT_NEAR(player.world._33, std::cos(yaw), kEps);
}

// ---- jumping -----------------------------------------------------------

TEST_F(PlayerWorld, AJumpStartsAt06AndRisesFor30Frames) {
  FloorUnderStart();
  Player& player = MakePlayer();
  ASSERT_TRUE(Land());
  Step();
  ASSERT_NEAR(player.position.y, -0.5f, 1e-5f);
  const int jumpRingsBefore = RingsOfMode(player, 1);

  Hold(kSpace);
  const float ground = player.position.y;
  Step();
  EXPECT_NEAR(player.position.y - ground, 0.6f, 1e-5f);
  EXPECT_FALSE(player.onGround);
  EXPECT_TRUE(Played(kJumpSound, 1));
  EXPECT_EQ(RingsOfMode(player, 1), jumpRingsBefore + 1) << "the jump leaves a ring";
  Hold(kSpace, false);

  int rising = 1;
  float previous = player.position.y;
  for (int i = 0; i < 80 && !player.onGround; ++i) {
    Step();
    if (player.position.y > previous) ++rising;
    previous = player.position.y;
  }
  EXPECT_EQ(rising, 30);
  EXPECT_TRUE(player.onGround) << "it comes down on the floor again";
  EXPECT_NEAR(player.position.y, -0.5f, 1e-4f);
}

TEST_F(PlayerWorld, SpaceHeldJumpsAgainAfterEveryLandingWhichStillLeavesItsRing) {
  FloorUnderStart();
  Player& player = MakePlayer();
  ASSERT_TRUE(Land());
  Hold(kSpace);
  int landings = 0;
  for (int frame = 0; frame < 400 && landings < 3; ++frame) {
    const int landingRings = RingsOfMode(player, 0);
    const bool wasUp = !player.onGround;
    Step();
    if (!(wasUp && player.onGround)) continue;
    ++landings;
    EXPECT_EQ(RingsOfMode(player, 0), landingRings + 1) << "landing " << landings;
    Step();  // the next frame takes off again
    EXPECT_FALSE(player.onGround);
    EXPECT_NEAR(player.velocity.y, 0.58f, 1e-6f);
    EXPECT_TRUE(Played(kJumpSound, 1));
  }
  EXPECT_EQ(landings, 3);
}

TEST_F(PlayerWorld, AWallJumpNeedsAFreshPressWhileSliding) {
  Player& player = MakePlayer();
  player.onGround = false;
  player.wallStickFrames = 50;
  player.wallNormal = D3DXVECTOR3(1, 0, 0);  // the wall faces +x

  g_keyboard->state[kSpace] = KEY_HELD;
  player.JumpInput();
  EXPECT_FALSE(player.wallJump);
  EXPECT_EQ(player.wallStickFrames, 50);
  EXPECT_EQ(player.velocity.y, 0.0f);

  g_keyboard->state[kSpace] = KEY_PRESSED;
  player.JumpInput();
  EXPECT_TRUE(player.wallJump);
  EXPECT_EQ(player.wallStickFrames, 0);
  EXPECT_EQ(player.velocity.y, 0.6f);
  EXPECT_TRUE(Played(kJumpSound, 1));
  // Away from the wall in the slime's own axes: facing −x, world +x is its back.
  EXPECT_NEAR(player.velocity.x, 0.0f, 1e-6f);
  EXPECT_NEAR(player.velocity.z, -0.2f, 1e-6f);

  // Not sliding any more: a second press does not jump again, and the push goes on.
  player.velocity.y = 0.3f;
  g_keyboard->state[kSpace] = KEY_PRESSED;
  player.JumpInput();
  EXPECT_EQ(player.velocity.y, 0.3f);
  EXPECT_NEAR(player.velocity.z, -0.2f, 1e-6f);
}

// ---- footsteps ---------------------------------------------------------

TEST_F(PlayerWorld, FootstepsSoundAboutEvery63FramesOfWalkingOnTheGround) {
  FloorUnderStart();
  Player& player = MakePlayer();
  ASSERT_TRUE(Land());
  // Standing still: no footsteps across a whole pulse.
  for (int i = 0; i < 70; ++i) {
    Step();
    EXPECT_FALSE(Played(kWalkSound, 0)) << "standing, frame " << scene_.frameCount;
  }

  scene_.frameCount = 0;
  Hold(kW);
  std::vector<int> starts;
  int clusterLength = 0;
  int longestCluster = 0;
  bool previous = false;
  for (int i = 0; i < 400; ++i) {
    Step();
    ASSERT_TRUE(player.onGround);
    const bool step = Played(kWalkSound, 0);
    if (step && !previous) starts.push_back(scene_.frameCount - 1);
    clusterLength = step ? clusterLength + 1 : 0;
    longestCluster = std::max(longestCluster, clusterLength);
    previous = step;
  }
  ASSERT_GE(starts.size(), 6u);
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], 62);
    EXPECT_LE(starts[i] - starts[i - 1], 63);
  }
  EXPECT_LE(longestCluster, 9) << "only the frames around the crest";
}

TEST_F(PlayerWorld, NoFootstepsInTheAir) {
  Player& player = MakePlayer();  // no stage: it falls for ever
  Hold(kW);
  for (int i = 0; i < 130; ++i) {
    Step();
    ASSERT_FALSE(player.onGround);
    EXPECT_FALSE(Played(kWalkSound, 0)) << "frame " << scene_.frameCount;
  }
}

// ---- rings and trails --------------------------------------------------

TEST_F(PlayerWorld, WalkingRingsAndAirTrailsComeEveryFifthFrame) {
  FloorUnderStart();
  Player& player = MakePlayer();
  ASSERT_TRUE(Land());
  for (int i = 0; i < 30; ++i) Step();  // the trails of the fall fade out
  ASSERT_TRUE(player.effects.trails.empty());
  Hold(kW);
  for (int i = 0; i < 40; ++i) {
    const size_t before = player.effects.rings.size();
    const int f = scene_.frameCount;
    Step();
    EXPECT_EQ(player.effects.rings.size() - before, f % 5 == 0 ? 1u : 0u) << "frame " << f;
    EXPECT_TRUE(player.effects.trails.empty());
  }
  // Gliding to a stop: rings while the speed is at least 0.05, none after.
  Hold(kW, false);
  for (int i = 0; i < 30; ++i) {
    const size_t before = player.effects.rings.size();
    const int f = scene_.frameCount;
    const float speed = player.velocity.z * 0.9f;  // this frame's glide
    Step();
    const bool due = f % 5 == 0 && std::fabs(speed) >= 0.05f;
    EXPECT_EQ(player.effects.rings.size() - before, due ? 1u : 0u) << "frame " << f;
  }

  // In the air: trails every fifth frame.
  Hold(kSpace);
  Step();
  Hold(kSpace, false);
  for (int i = 0; i < 20; ++i) {
    const size_t before = player.effects.trails.size();
    const int f = scene_.frameCount;
    Step();
    ASSERT_FALSE(player.onGround);
    EXPECT_EQ(player.effects.trails.size() - before, f % 5 == 0 ? 1u : 0u) << "frame " << f;
  }
}

TEST_F(PlayerWorld, ASlidingSlimeLeavesAWallRingEveryFifthSlideFrame) {
  Player& player = MakePlayer();
  scene_.frameCount = 1;  // not a trail frame
  player.onGround = false;
  player.wallNormal = D3DXVECTOR3(0, 0, 1);
  player.wasOnGround = false;
  player.wallStickFrames = 7;
  player.SpawnEffects();
  EXPECT_TRUE(player.effects.rings.empty());
  player.wallStickFrames = 10;
  player.SpawnEffects();
  ASSERT_EQ(player.effects.rings.size(), 1u);
  const RingEffect* ring = player.effects.rings.front();
  EXPECT_EQ(ring->mode, 1);
  // The ring lies on the wall: its up axis along the wall's normal.
  EXPECT_NEAR(ring->align._21, 0.0f, kEps);
  EXPECT_NEAR(ring->align._22, 0.0f, kEps);
  EXPECT_NEAR(ring->align._23, 1.0f, kEps);
}

// ---- the clear sequence ------------------------------------------------

TEST_F(PlayerWorld, TheClearSpotTakesTheSlimeOnlyOnceItIsBelow93) {
  Player& player = MakePlayer();
  scene_.phase = kPhaseClear;
  player.PlaceAt(D3DXVECTOR3(5, 93, 6));
  player.velocity = D3DXVECTOR3(0.1f, 0, 0);
  player.world = TurnY(0.3f) * player.world;
  Step();  // the slime moves by 0 in y: exactly 93 is not below
  EXPECT_EQ(player.clearState, 0);
  EXPECT_EQ(player.position.y, 93.0f);
  Step();
  ASSERT_EQ(player.clearState, 1);
  EXPECT_EQ(player.angles, D3DXVECTOR3(0, 0, 0));
  D3DXMATRIX placed;
  D3DXMatrixTranslation(&placed, -130.2f, 63.0f, 122.3f);
  EXPECT_EQ(player.world, placed);
  EXPECT_EQ(player.position, D3DXVECTOR3(-130.2f, 63.0f, 122.3f));
  EXPECT_EQ(player.velocity, D3DXVECTOR3(0, 0, 0));

  // A slime high above falls on under physics until it is below.
  Player& high = MakePlayer();
  high.PlaceAt(D3DXVECTOR3(0, 120, 0));
  int frames = 0;
  while (high.clearState == 0 && frames < 200) {
    const float yBefore = high.position.y;
    Step();
    ++frames;
    if (high.clearState == 0) {
      EXPECT_GE(high.position.y, 93.0f);
      EXPECT_LE(high.position.y, yBefore);
    }
  }
  EXPECT_EQ(high.clearState, 1);
  EXPECT_GT(frames, 40);
}

// State 1 falls under physics; state 2 walks the blend from clearFrom to
// clearTo without gravity, with footsteps; state 3 stands 30 frames, then drifts.
TEST_F(PlayerWorld, TheClearWalkStandAndDrift) {
  Player& player = MakePlayer();  // no stage: nothing to land on
  scene_.phase = kPhaseClear;
  Step();
  ASSERT_EQ(player.clearState, 1);
  Step();
  Step();
  EXPECT_LT(player.position.y, 63.0f) << "placed, it is still under physics";
  const float height = player.position.y;
  EXPECT_EQ(player.position.x, -130.2f);
  EXPECT_EQ(player.position.z, 122.3f);

  // The clear camera starts the walk; the pulse's crest falls inside it.
  player.clearState = 2;
  scene_.frameCount = 0;
  int walkFrames = 0;
  int footsteps = 0;
  while (player.clearState == 2 && walkFrames < 100) {
    Step();
    ++walkFrames;
    footsteps += Played(kWalkSound, 0) ? 1 : 0;
    EXPECT_EQ(player.position.y, height) << "no gravity in the walk";
    // On the straight line from clearFrom to clearTo, at the blend before this frame's step.
    const float blend = 0.02f * static_cast<float>(walkFrames - 1);
    EXPECT_NEAR(player.position.x, -130.2f + 2.9f * blend, 1e-4f);
    EXPECT_NEAR(player.position.z, 122.3f + 5.0f * blend, 1e-4f);
  }
  // Fifty steps of 0.02 add up to just under 1 in single precision, so the
  // 51st frame reaches the blend of 1: fifty frames of motion.
  EXPECT_EQ(walkFrames, 51);
  EXPECT_EQ(player.clearState, 3);
  EXPECT_NEAR(player.position.x, -127.3f, 1e-4f);
  EXPECT_NEAR(player.position.z, 127.3f, 1e-4f);
  EXPECT_GT(footsteps, 0);
  EXPECT_EQ(player.clearCount, 0);

  // Standing: 30 frames still, counting, no footsteps though the pulse crests
  // again (frames 75 to 83); then drifting by −0.04 in x every frame.
  const D3DXVECTOR3 stand = player.position;
  for (int i = 1; i <= 30; ++i) {
    Step();
    EXPECT_EQ(player.clearCount, i);
    EXPECT_EQ(player.position, stand);
    EXPECT_FALSE(Played(kWalkSound, 0)) << "frame " << scene_.frameCount - 1;
  }
  for (int i = 1; i <= 30; ++i) {
    Step();
    EXPECT_FALSE(Played(kWalkSound, 0)) << "frame " << scene_.frameCount - 1;
    EXPECT_NEAR(player.position.x, stand.x - 0.04f * static_cast<float>(i), 1e-4f);
    EXPECT_EQ(player.position.z, stand.z);
    EXPECT_EQ(player.position.y, stand.y);
  }
  EXPECT_EQ(player.clearCount, 60);
}

TEST_F(PlayerWorld, InTheClearPhaseALandingLeavesNoRing) {
  Stage({"floor.x,-128.75,62,124.8,10,1,10,0,0,0,Map"});  // below the clear spot
  Player& player = MakePlayer();
  player.PlaceAt(D3DXVECTOR3(-128, 80, 125));
  scene_.phase = kPhaseClear;
  ASSERT_TRUE(Land());
  EXPECT_EQ(player.clearState, 1);
  EXPECT_NEAR(player.position.y, 61.5f, 1e-4f);
  EXPECT_EQ(RingsOfMode(player, 0), 0);
}

}  // namespace
}  // namespace player_test
