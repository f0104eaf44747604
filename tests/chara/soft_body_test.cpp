#include <algorithm>
#include <cmath>
#include <set>

#include "slime_fixture.h"

namespace chara_test {
namespace {

std::set<std::string> Names(const std::vector<CSlime::BoneNode*>& nodes) {
  std::set<std::string> names;
  for (const CSlime::BoneNode* node : nodes) names.insert(CSlime::NameOf(node));
  return names;
}

std::set<std::string> LeadingNames(const CSlime& slime) {
  std::set<std::string> names;
  for (const CSlime::BonePoint& point : slime.bonePoints) {
    if (point.leading) names.insert(CSlime::NameOf(slime.meshObject.nodes[point.nodeIndex]));
  }
  return names;
}

using SoftBodyTest = SlimeTest;

TEST_F(SoftBodyTest, TheModelIsACoreWithTwentySixLatticeBones) {
  CSlime slime;
  ASSERT_EQ(slime.meshObject.nodes.size(), 27u);
  ASSERT_EQ(slime.bonePoints.size(), 27u);
  EXPECT_EQ(CSlime::NameOf(slime.meshObject.nodes[0]), w::kCore);
  for (size_t i = 0; i < slime.bonePoints.size(); ++i) {
    EXPECT_EQ(slime.bonePoints[i].nodeIndex, static_cast<int>(i));
  }
}

TEST_F(SoftBodyTest, NeighboursFollowTheWordsOfTheNames) {
  CSlime slime;
  EXPECT_EQ(Names(slime.FindNeighbours(w::kCore)),
            (std::set<std::string>{w::kRight, w::kLeft, w::kUp, w::kDown, w::kFront, w::kBack}));
  // A face bone: the core and the four edges and four corners carrying its word.
  const std::set<std::string> right = Names(slime.FindNeighbours(w::kRight));
  EXPECT_EQ(right.size(), 9u);
  EXPECT_TRUE(right.count(w::kCore));
  EXPECT_TRUE(right.count(w::kRight + w::kUp));
  EXPECT_TRUE(right.count(w::kRight + w::kDown + w::kBack));
  EXPECT_FALSE(right.count(w::kLeft + w::kUp));
  // Edge and corner bones: the face bones of their words only.
  EXPECT_EQ(Names(slime.FindNeighbours(w::kRight + w::kUp)),
            (std::set<std::string>{w::kRight, w::kUp}));
  EXPECT_EQ(Names(slime.FindNeighbours(w::kLeft + w::kDown + w::kFront)),
            (std::set<std::string>{w::kLeft, w::kDown, w::kFront}));
  // The lists are made once, by Reset.
  EXPECT_EQ(Point(slime, w::kUp).neighbours.size(), 9u);
}

TEST_F(SoftBodyTest, AtRestOnlyTheFirstBoneLeadsAndTheOthersRankByDistance) {
  CSlime slime;
  slime.MarkLeading(D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(LeadingNames(slime), std::set<std::string>{w::kCore});
  slime.RankBones();
  for (const CSlime::BonePoint& point : slime.bonePoints) {
    const std::string name = CSlime::NameOf(slime.meshObject.nodes[point.nodeIndex]);
    // The core, then the face bones next to it, then the edges and corners beyond.
    const int expected = name == w::kCore ? 0 : (name.size() == 2 ? -1 : -2);
    EXPECT_EQ(point.level, expected) << "bone of " << name.size() << " bytes";
  }
  // Sorted nearest first.
  const std::vector<CSlime::BoneNode*> sorted = slime.SortedNodes();
  ASSERT_EQ(sorted.size(), 27u);
  EXPECT_EQ(sorted[0], Bone(slime, w::kCore));
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(CSlime::NameOf(sorted[i]).size(), 2u);
  for (int i = 7; i < 27; ++i) EXPECT_GT(CSlime::NameOf(sorted[i]).size(), 2u);
}

TEST_F(SoftBodyTest, SlowVerticalMotionDoesNotLead) {
  CSlime slime;
  // Sliding down a wall at -0.02 while moving right: only the right side leads.
  slime.velocity = D3DXVECTOR3(0.2f, -0.02f, 0);
  slime.UpdateBones();
  EXPECT_EQ(LeadingNames(slime), std::set<std::string>{w::kRight});

  slime.velocity = D3DXVECTOR3(0, 0.02f, 0);
  slime.UpdateBones();
  EXPECT_EQ(LeadingNames(slime), std::set<std::string>{w::kCore});

  slime.velocity = D3DXVECTOR3(0, -0.03f, 0);
  slime.UpdateBones();
  EXPECT_EQ(LeadingNames(slime), std::set<std::string>{w::kDown});
}

TEST_F(SoftBodyTest, DiagonalMotionLeadsWithTheBonesCarryingBothWords) {
  CSlime slime;
  slime.MarkLeading(D3DXVECTOR3(1, 0, 1));
  EXPECT_EQ(LeadingNames(slime),
            (std::set<std::string>{w::kRight + w::kFront, w::kRight + w::kUp + w::kFront,
                                   w::kRight + w::kDown + w::kFront}));
  slime.MarkLeading(D3DXVECTOR3(-1, 1, -1));
  EXPECT_EQ(LeadingNames(slime), std::set<std::string>{w::kLeft + w::kUp + w::kBack});
  slime.RankBones();
  EXPECT_EQ(Point(slime, w::kLeft).level, -1);
  EXPECT_EQ(Point(slime, w::kCore).level, -2);
  EXPECT_EQ(Point(slime, w::kRight + w::kDown).level, -4);
}

TEST_F(SoftBodyTest, LeadingBonesArePushedAlongTheirOwnSideOnly) {
  CSlime slime;
  slime.velocity = D3DXVECTOR3(0.2f, 0, 0.2f);
  const D3DXVECTOR3 corner = Local(Bone(slime, w::kRight + w::kUp + w::kFront));
  const D3DXVECTOR3 face = Local(Bone(slime, w::kRight));
  slime.MarkLeading(D3DXVECTOR3(1, 0, 1));
  slime.PushLeading(Bone(slime, w::kCore), D3DXVECTOR3(1, 0, 1));
  const D3DXVECTOR3 pushed = Local(Bone(slime, w::kRight + w::kUp + w::kFront));
  EXPECT_NEAR(pushed.x - corner.x, 0.2f, 1e-6f);
  EXPECT_NEAR(pushed.y - corner.y, 0.0f, 1e-6f);
  EXPECT_NEAR(pushed.z - corner.z, 0.2f, 1e-6f);
  const D3DXVECTOR3 still = Local(Bone(slime, w::kRight));
  EXPECT_EQ(still.x, face.x);
  EXPECT_EQ(still.z, face.z);
}

TEST_F(SoftBodyTest, ResetLowersTheBonesKeepsTheTurnAndBobsTheCore) {
  CSlime slime;
  D3DXMatrixRotationY(&slime.world, 1.0f);
  const D3DXMATRIX turned = slime.world;
  slime.PlaceAt(D3DXVECTOR3(3, 4, 5));
  slime.angles = D3DXVECTOR3(0, 57, 0);
  slime.velocity = D3DXVECTOR3(0.2f, 0.5f, 0);
  slime.colour = D3DXCOLOR(1, 0, 0, 1);
  slime.size = 0.05f;
  for (int i = 0; i < 5; ++i) slime.UpdateBones();
  slime.Reset();

  for (CSlime::BoneNode* node : slime.meshObject.nodes) {
    const D3DXVECTOR3 rest = Rest(node);
    const float drop = node == Bone(slime, w::kCore) ? 0.0f : 1.0f;
    EXPECT_EQ(Local(node).x, rest.x);
    EXPECT_FLOAT_EQ(Local(node).y, rest.y - drop);
    EXPECT_EQ(Local(node).z, rest.z);
  }
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(slime.world.m[r][c], turned.m[r][c]);
  }
  EXPECT_EQ(slime.world._41, 0.0f);
  EXPECT_EQ(slime.world._43, 0.0f);
  EXPECT_EQ(slime.position, D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(slime.angles, D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(slime.velocity, D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(slime.colour, D3DXCOLOR(0, 1, 1, 1));
  EXPECT_EQ(slime.size, 1.0f);

  // At rest the core bobs with the scene clock, 0.02 at most either way.
  CSlime::BoneNode* core = Bone(slime, w::kCore);
  float highest = -1, lowest = 1;
  for (scene_.frameCount = 0; scene_.frameCount < 63; ++scene_.frameCount) {
    slime.Reset();
    const float before = Local(core).y;
    slime.MarkLeading(D3DXVECTOR3(0, 0, 0));
    slime.PushLeading(core, D3DXVECTOR3(0, 0, 0));
    const float bob = Local(core).y - before;
    highest = std::max(highest, bob);
    lowest = std::min(lowest, bob);
  }
  EXPECT_NEAR(highest, 0.02f, 1e-4f);
  EXPECT_NEAR(lowest, -0.02f, 1e-4f);
}

TEST_F(SoftBodyTest, RecentringKeepsTheCoreAtLocalOneUp) {
  CSlime slime;
  CSlime::BoneNode* core = Bone(slime, w::kCore);
  const D3DXVECTOR3 moves[] = {{0, 0, 0}, {0.2f, 0, 0}, {0, 0.6f, -0.2f}, {-0.14f, -0.3f, 0.14f}};
  for (const D3DXVECTOR3& v : moves) {
    for (scene_.frameCount = 3; scene_.frameCount < 20; scene_.frameCount += 4) {
      slime.velocity = v;
      slime.UpdateBones();
      EXPECT_NEAR(Local(core).x, 0.0f, 1e-6f);
      EXPECT_NEAR(Local(core).y, 1.0f, 1e-6f);
      EXPECT_NEAR(Local(core).z, 0.0f, 1e-6f);
    }
  }
  // Stopping again, the body settles back around the core.
  slime.velocity = D3DXVECTOR3(0, 0, 0);
  scene_.frameCount = 0;
  for (int i = 0; i < 200; ++i) slime.UpdateBones();
  const D3DXVECTOR3 offset = WorldOf(Bone(slime, w::kRight)) - WorldOf(core);
  EXPECT_NEAR(offset.x, Rest(Bone(slime, w::kRight)).x - Rest(core).x, 0.01f);
}

TEST_F(SoftBodyTest, AMovingSlimeStretchesAlongItsMotionAndSettlesAfter) {
  CSlime slime;
  slime.velocity = D3DXVECTOR3(0.2f, 0, 0);
  for (scene_.frameCount = 0; scene_.frameCount < 120; ++scene_.frameCount) slime.UpdateBones();
  // The leading face is ahead of the core on the right side, the far side behind.
  CSlime::BoneNode* core = Bone(slime, w::kCore);
  EXPECT_GT(WorldOf(Bone(slime, w::kRight)).x, WorldOf(core).x);
  EXPECT_LT(WorldOf(Bone(slime, w::kLeft)).x, WorldOf(core).x);
  for (CSlime::BoneNode* node : slime.meshObject.nodes) {
    const D3DXVECTOR3 p = WorldOf(node);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  }
  // Standing still again, the trailing side catches up with the core.
  slime.velocity = D3DXVECTOR3(0, 0, 0);
  for (int i = 0; i < 300; ++i) slime.UpdateBones();
  EXPECT_NEAR(WorldOf(Bone(slime, w::kLeft)).x - WorldOf(core).x, -0.5f, 0.05f);
  EXPECT_NEAR(WorldOf(Bone(slime, w::kRight)).x - WorldOf(core).x, 0.5f, 0.05f);
}

// The widest extent of the lattice (the core left out) along each axis, in
// model units: 1 at rest.
D3DXVECTOR3 LatticeSpan(const CSlime& slime) {
  D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
  for (const CSlime::BoneNode* node : slime.meshObject.nodes) {
    if (CSlime::NameOf(node) == w::kCore) continue;
    const D3DXVECTOR3 p = WorldOf(node);
    D3DXVec3Minimize(&low, &low, &p);
    D3DXVec3Maximize(&high, &high, &p);
  }
  return high - low;
}

// The mean of the lattice bones' local translations: at rest, where the file
// has the core.
D3DXVECTOR3 LatticeMiddle(const CSlime& slime) {
  D3DXVECTOR3 sum(0, 0, 0);
  int count = 0;
  for (const CSlime::BoneNode* node : slime.meshObject.nodes) {
    if (CSlime::NameOf(node) == w::kCore) continue;
    sum += Local(node);
    ++count;
  }
  return sum / float(count);
}

TEST_F(SoftBodyTest, AtAnySpeedTheBodyStretchesButStaysOneSlimeAndSettlesWithinASecond) {
  struct Motion {
    D3DXVECTOR3 velocity;
    const char* what;
  };
  const Motion motions[] = {{{0.2f, 0, 0}, "walking at the player's speed"},
                            {{0.09f, 0, 0.09f}, "walking diagonally"},
                            {{0, -0.9f, 0}, "falling fast"},
                            {{0.2f, 0.3f, -0.1f}, "hopping"},
                            {{3.0f, -2.0f, 3.0f}, "thrown"}};
  for (const Motion& motion : motions) {
    SCOPED_TRACE(motion.what);
    CSlime slime;
    float widest = 0;
    slime.velocity = motion.velocity;
    for (scene_.frameCount = 0; scene_.frameCount < 180; ++scene_.frameCount) {
      slime.UpdateBones();
      const D3DXVECTOR3 span = LatticeSpan(slime);
      ASSERT_LE(std::max({span.x, span.y, span.z}), 1.6f) << "frame " << scene_.frameCount;
      widest = std::max(widest, span.x);
    }
    if (motion.velocity.x == 0.2f) {
      EXPECT_GE(widest, 1.1f);  // a visible stretch
    }
    // One second standing still: the lattice has its rest shape again, every
    // bone where it rests beside the lattice's middle. (The core keeps bobbing
    // inside it.)
    slime.velocity = D3DXVECTOR3(0, 0, 0);
    for (int i = 0; i < 60; ++i, ++scene_.frameCount) slime.UpdateBones();
    const D3DXVECTOR3 middle = LatticeMiddle(slime);
    for (CSlime::BoneNode* node : slime.meshObject.nodes) {
      if (CSlime::NameOf(node) == w::kCore) continue;
      const D3DXVECTOR3 stray = (Local(node) - middle) - Rest(node);
      EXPECT_LT(D3DXVec3Length(&stray), 0.1f);  // the bob moves the faces a little
    }
  }
}

TEST_F(SoftBodyTest, UnreachableLeadersEndTheSearchAndLonelyBonesStayPut) {
  CSlime slime;
  // No bone leads at all: the search still ends, with every level finite.
  for (CSlime::BonePoint& point : slime.bonePoints) point.leading = false;
  slime.RankBones();
  for (const CSlime::BonePoint& point : slime.bonePoints) {
    EXPECT_LT(point.level, 0);
    EXPECT_GE(point.level, -27);
  }

  // A bone cut off from the others keeps its place instead of dividing by zero.
  CSlime::BonePoint& lonely = slime.bonePoints[Bone(slime, w::kRight + w::kUp)->frame->index];
  lonely.neighbours.clear();
  slime.MarkLeading(D3DXVECTOR3(0, 0, 0));
  slime.RankBones();
  EXPECT_EQ(lonely.level, -1);
  CSlime::BoneNode* node = Bone(slime, w::kRight + w::kUp);
  const D3DXVECTOR3 before = Local(node);
  scene_.frameCount = 7;
  slime.Relax(Bone(slime, w::kCore));
  EXPECT_EQ(Local(node), before);
  for (CSlime::BoneNode* other : slime.meshObject.nodes) {
    const D3DXVECTOR3 p = Local(other);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  }
}

}  // namespace
}  // namespace chara_test
