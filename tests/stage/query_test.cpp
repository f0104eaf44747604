// The collision queries the slime asks of a stage: which objects are near,
// face normals, ray tests and face alphas.
#include <cmath>

#include "stage_fixture.h"

namespace {

using stagetest::StageTest;

TEST_F(StageTest, NearbyObjectsTakeAllScenerySolidsAndOnlyNearMovingParts) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {
                     "tri.x,1000,0,0,1,1,1,0,0,0,Map",               // 0: far, still returned
                     "tri.x,100,0,0,1,1,1,0,0,0,Gate,0,0,0,0",       // 1: exactly 100 away
                     "tri.x,0,99.9,0,1,1,1,0,0,0,Gate,0,0,0,0",      // 2: 99.9 away
                     "tri.x,0,0,-50,1,1,1,0,0,0,MoveObject,0,1,0,0",  // 3: near
                     "tri.x,0,0,150,1,1,1,0,0,0,MoveObject,0,1,0,0",  // 4: far
                     "tri.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,1",   // 5..8: never
                     "tri.x,0,0,0,1,1,1,0,0,0,Water",
                     "tri.x,0,0,0,1,1,1,0,0,0,Flag",
                     "tri.x,0,0,0,1,1,1,0,0,0,Scenery",
                     "tri.x,0,-3,0,1,1,1,0,0,0,Map",                 // 9
                 });
  ASSERT_EQ(list.Objects().size(), 10u);
  EXPECT_EQ(list.NearbyObjects(D3DXVECTOR3(0, 0, 0), 100.0f), (std::vector<int>{0, 2, 3, 9}));
  // Whatever the distance, the never-collided kinds stay out.
  EXPECT_EQ(list.NearbyObjects(D3DXVECTOR3(0, 0, 0), 1e6f),
            (std::vector<int>{0, 1, 2, 3, 4, 9}));
  EXPECT_EQ(list.NearbyObjects(D3DXVECTOR3(0, 0, 0), 0.0f), (std::vector<int>{0, 9}));
}

TEST_F(StageTest, FaceNormalsAreBuiltOnlyForCollidedKinds) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,0,0,0,1,1,1,0,0,0,Map", "tri.x,0,0,0,1,1,1,0,0,0,Scenery",
                  "tri.x,0,0,0,1,1,1,0,0,0,Water", "tri.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,1",
                  "tri.x,0,0,0,1,1,1,0,0,0,Flag", "floor.x,0,0,0,1,1,1,0,0,0,MoveObject,0,2,0,0",
                  "floor.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,0"});
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 7u);
  // Under identity the face (0,0,0), (0,0,1), (1,0,0) faces straight up.
  ASSERT_EQ(objects[0]->faceNormals.size(), 1u);
  EXPECT_NEAR(objects[0]->faceNormals[0].x, 0.0f, 1e-6f);
  EXPECT_NEAR(objects[0]->faceNormals[0].y, 1.0f, 1e-6f);
  EXPECT_NEAR(objects[0]->faceNormals[0].z, 0.0f, 1e-6f);
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(objects[i]->faceNormals.empty()) << i;
  EXPECT_EQ(objects[5]->faceNormals.size(), 2u);
  EXPECT_EQ(objects[6]->faceNormals.size(), 2u);
}

TEST_F(StageTest, FaceNormalsTakeTheObjectsScaleTwiceAndIgnoreItsPlace) {
  // A slope (0,0,0), (0,1,1), (1,0,0) stretched 2 in y: the positions get the
  // scale before the world matrix, so the edge (0,1,1) becomes (0,4,1) and the
  // normal (0,1,−4) / √17 rather than the true (0,1,−2) / √5.
  WriteText("slope.x",
            "xof 0303txt 0032\nMesh slope { 3; 0;0;0;, 0;1;1;, 1;0;0;;\n 1; 3;0,1,2;; }\n");
  MapObjectList& list = EmptyList();
  LoadRows(list, {"slope.x,30,-40,50,1,2,1,0,0,0,Map", "tri.x,3,4,5,1,1,1,0,90,90,Map"});
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 2u);
  ASSERT_EQ(objects[0]->faceNormals.size(), 1u);
  const float root17 = std::sqrt(17.0f);
  EXPECT_NEAR(objects[0]->faceNormals[0].x, 0.0f, 1e-6f);
  EXPECT_NEAR(objects[0]->faceNormals[0].y, 1.0f / root17, 1e-6f);
  EXPECT_NEAR(objects[0]->faceNormals[0].z, -4.0f / root17, 1e-6f);

  // A turned object: the up face rolled 90° about z, then turned 90° about y.
  D3DXVECTOR3 up(0, 1, 0), expected;
  D3DXVec3TransformNormal(&expected, &up, &objects[1]->world);
  ASSERT_EQ(objects[1]->faceNormals.size(), 1u);
  EXPECT_NEAR(objects[1]->faceNormals[0].x, expected.x, 1e-6f);
  EXPECT_NEAR(objects[1]->faceNormals[0].y, expected.y, 1e-6f);
  EXPECT_NEAR(objects[1]->faceNormals[0].z, expected.z, 1e-6f);
  EXPECT_NEAR(D3DXVec3Length(&objects[1]->faceNormals[0]), 1.0f, 1e-6f);
}

TEST_F(StageTest, RayTestsHitThePlacedMeshAndFaceAlphaReadsItsMaterial) {
  MapObjectList& list = EmptyList();
  // The floor scaled 3 wide and raised to y = 10.
  LoadRows(list, {"floor.x,0,10,0,3,1,3,0,0,0,Map"});
  ASSERT_EQ(list.Objects().size(), 1u);

  const D3DXVECTOR3 down(0, -1, 0);
  float distance = -1;
  DWORD face = 99;
  // Over the first face (x < z) and over the second (x > z).
  ASSERT_TRUE(list.RayTest(0, D3DXVECTOR3(-2, 12.5f, 2), down, &distance, &face));
  EXPECT_NEAR(distance, 2.5f, 1e-5f);
  EXPECT_EQ(face, 0u);
  EXPECT_FLOAT_EQ(list.FaceAlpha(0, face), 0.25f);
  ASSERT_TRUE(list.RayTest(0, D3DXVECTOR3(2, 11, -2), down, &distance, &face));
  EXPECT_NEAR(distance, 1.0f, 1e-5f);
  EXPECT_EQ(face, 1u);
  EXPECT_FLOAT_EQ(list.FaceAlpha(0, face), 0.75f);

  // The unscaled floor ends at 1; the placed one reaches 3.
  EXPECT_TRUE(list.RayTest(0, D3DXVECTOR3(2.9f, 11, 0.1f), down, &distance, nullptr));
  // Beside it, and pointing away: misses leave the outputs alone.
  distance = -1;
  face = 99;
  EXPECT_FALSE(list.RayTest(0, D3DXVECTOR3(3.5f, 11, 0), down, &distance, &face));
  EXPECT_FALSE(list.RayTest(0, D3DXVECTOR3(0, 11, 0), -down, &distance, &face));
  EXPECT_EQ(distance, -1.0f);
  EXPECT_EQ(face, 99u);
}

TEST_F(StageTest, QueriesWithIndicesOutsideTheListAnswerNothing) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"floor.x,0,0,0,1,1,1,0,0,0,Map"});
  float distance = 0;
  DWORD face = 0;
  EXPECT_FALSE(list.RayTest(1, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, -1, 0), &distance, &face));
  EXPECT_FALSE(list.RayTest(-1, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, -1, 0), &distance, &face));
  EXPECT_EQ(list.FaceAlpha(1, 0), 0.0f);
  EXPECT_EQ(list.FaceAlpha(0, 2), 0.0f);  // the floor has faces 0 and 1
  EXPECT_TRUE(EmptyList().NearbyObjects(D3DXVECTOR3(0, 0, 0), 100).empty());

  // Flattened to nothing in y: no inverse, so no hit (and nothing undefined).
  LoadRows(list, {"floor.x,0,0,0,1,0,1,0,0,0,Map"});
  EXPECT_FALSE(list.RayTest(0, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, -1, 0), &distance, &face));
}

}  // namespace
