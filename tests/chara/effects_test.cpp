// Ring and trail effects: how they grow, shrink, fade, drift and ride.
#include <cmath>

#include "chara/CharaEffects.h"
#include "slime_fixture.h"
#include "stage/MapObjectStruct.h"

namespace chara_test {
namespace {

using EffectsTest = SlimeTest;

TEST_F(EffectsTest, AWalkingRingNeverGrowsAndShrinksAwayIn200Frames) {
  CharaEffects effects;
  effects.AddRing(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 1, 0), 1);
  ASSERT_EQ(effects.rings.size(), 1u);
  const RingEffect* ring = effects.rings.front();
  EXPECT_TRUE(ring->settled);
  EXPECT_EQ(ring->scale, D3DXVECTOR3(1, 1, 1));
  EXPECT_EQ(ring->quad.position, D3DXVECTOR3(1, 2, 3));
  float previous = ring->scale.x;
  int frames = 0;
  while (!effects.rings.empty() && frames < 1000) {
    effects.Update();
    ++frames;
    if (effects.rings.empty()) break;
    EXPECT_LT(effects.rings.front()->scale.x, previous);
    EXPECT_NEAR(previous - effects.rings.front()->scale.x, 0.005f, 1e-5f);
    previous = effects.rings.front()->scale.x;
  }
  EXPECT_NEAR(frames, 200, 1);
}

TEST_F(EffectsTest, ALandingRingGrowsToAbout2Point25In83FramesThenShrinks) {
  CharaEffects effects;
  effects.AddRing(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), 0);
  const RingEffect* ring = effects.rings.front();
  EXPECT_FALSE(ring->settled);
  int frames = 0;
  while (!ring->settled) {
    effects.Update();
    ++frames;
    EXPECT_EQ(ring->scale.y, 1.0f);
    EXPECT_EQ(ring->scale.x, ring->scale.z);
  }
  EXPECT_EQ(frames, 83);
  EXPECT_NEAR(ring->scale.x, 2.25f, 0.01f);
  const float grown = ring->scale.x;
  effects.Update();
  EXPECT_NEAR(grown - effects.rings.front()->scale.x, 0.01f, 1e-5f);
  int more = 1;
  while (!effects.rings.empty() && more < 1000) {
    effects.Update();
    ++more;
  }
  EXPECT_NEAR(more, 225, 2);
}

TEST_F(EffectsTest, RingsLaidOnAMovingBlockTravelWithIt) {
  CSlime slime;
  D3DXMATRIX at;
  D3DXMatrixTranslation(&at, 5, 0, 0);
  MapObjectStruct block(nullptr, at, "MoveObject");
  MapObjectStruct ground(nullptr, at, "Map");
  D3DXMatrixTranslation(&block.motion, 0.1f, 0, -0.05f);
  ground.motion = block.motion;  // not a moving object: its motion is not followed
  scene_.slime = &slime;

  CharaEffects effects;
  slime.standingOn = &block;
  effects.AddRing(D3DXVECTOR3(5, 0, 0), D3DXVECTOR3(0, 1, 0), 1);
  slime.standingOn = &ground;
  effects.AddRing(D3DXVECTOR3(5, 0, 0), D3DXVECTOR3(0, 1, 0), 1);
  slime.standingOn = nullptr;
  effects.AddRing(D3DXVECTOR3(5, 0, 0), D3DXVECTOR3(0, 1, 0), 1);
  ASSERT_EQ(effects.rings.size(), 3u);
  for (int i = 0; i < 10; ++i) effects.Update();
  auto ring = effects.rings.begin();
  EXPECT_EQ((*ring)->platform, &block);
  EXPECT_NEAR((*ring)->place._41, 1.0f, 1e-5f);
  EXPECT_NEAR((*ring)->place._42, 0.5f, 1e-6f);
  EXPECT_NEAR((*ring)->place._43, -0.5f, 1e-5f);
  ++ring;
  EXPECT_EQ((*ring)->platform, &ground);
  EXPECT_EQ((*ring)->place._41, 0.0f);
  ++ring;
  EXPECT_EQ((*ring)->platform, nullptr);
  EXPECT_EQ((*ring)->place._42, 0.5f);
}

TEST_F(EffectsTest, RingsLieFlatOnTheSurfaceTheyWereMadeOn) {
  CharaEffects effects;
  const D3DXVECTOR3 normals[] = {{0, 1, 0}, {1, 0, 0}, {0, 0.6f, -0.8f}, {0, -1, 0}, {0, 0, 0}};
  for (const D3DXVECTOR3& n : normals) effects.AddRing(D3DXVECTOR3(0, 0, 0), n, 1);
  int i = 0;
  for (const RingEffect* ring : effects.rings) {
    const D3DXVECTOR3& n = normals[i++];
    D3DXVECTOR3 up;
    const D3DXVECTOR3 y(0, 1, 0);
    D3DXVec3TransformNormal(&up, &y, &ring->align);
    if (D3DXVec3Length(&n) > 0) {
      EXPECT_NEAR(up.x, n.x, 1e-5f) << i;
      EXPECT_NEAR(up.y, n.y, 1e-5f) << i;
      EXPECT_NEAR(up.z, n.z, 1e-5f) << i;
    } else {
      EXPECT_TRUE(std::isfinite(up.x) && std::isfinite(up.y) && std::isfinite(up.z));
    }
    EXPECT_GE(ring->spin, 0.0f);
    EXPECT_LT(ring->spin, 360.0f);
  }
}

TEST_F(EffectsTest, TrailsFallStretchAndFadeButHangStillDuringAFade) {
  CharaEffects effects;
  effects.AddTrail(D3DXVECTOR3(0, 10, 0), D3DXVECTOR3(0, 0.3f, 0));
  ASSERT_EQ(effects.trails.size(), 1u);
  TrailParticle* trail = effects.trails.front();
  EXPECT_EQ(trail->alpha, 255);
  // Scattered at most half a unit in x and z around where it was dropped.
  EXPECT_LE(std::fabs(trail->quad.position.x), 0.5f + 1e-5f);
  EXPECT_LE(std::fabs(trail->quad.position.z), 0.5f + 1e-5f);
  const D3DXVECTOR3 start = trail->quad.position;

  effects.Update();  // no drift yet
  effects.Update();  // falls by the first drift step
  EXPECT_NEAR(trail->quad.position.y, start.y - 0.02f, 1e-5f);
  EXPECT_NEAR(trail->scale._22, 1.21f, 1e-5f);
  EXPECT_EQ(trail->scale._11, 1.0f);
  EXPECT_EQ(trail->alpha, 235);

  // During a fade: no new trails, no motion, no stretch, but still fading.
  scene_.fading = true;
  effects.AddTrail(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(effects.trails.size(), 1u);
  const D3DXVECTOR3 held = trail->quad.position;
  const float stretch = trail->scale._22;
  for (int i = 0; i < 5; ++i) effects.Update();
  EXPECT_EQ(trail->quad.position, held);
  EXPECT_EQ(trail->scale._22, stretch);
  EXPECT_EQ(trail->alpha, 185);

  scene_.fading = false;
  int frames = 7;
  while (!effects.trails.empty() && frames < 100) {
    effects.Update();
    ++frames;
  }
  EXPECT_EQ(frames, 26);
}

TEST_F(EffectsTest, TheTitleSlimesTrailsAreAsSmallAsItIs) {
  CSlime slime;
  slime.size = 0.05f;
  D3DXMatrixScaling(&slime.world, 0.05f, 0.05f, 0.05f);
  scene_.sceneId = kSceneTitle;
  scene_.slime = &slime;
  CharaEffects effects;
  for (int i = 0; i < 20; ++i) effects.AddTrail(D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(0, 0, 0));
  for (const TrailParticle* trail : effects.trails) {
    EXPECT_EQ(trail->scale._11, 0.05f);
    EXPECT_LE(std::fabs(trail->quad.position.x - 1), 0.5f * 0.05f * 1.5f);
    EXPECT_LE(std::fabs(trail->quad.position.z - 1), 0.5f * 0.05f + 1e-6f);
  }
  // The player's are full size whatever its world holds.
  scene_.sceneId = kSceneGame;
  effects.Clear();
  effects.AddTrail(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(effects.trails.front()->scale._11, 1.0f);
}

}  // namespace
}  // namespace chara_test
