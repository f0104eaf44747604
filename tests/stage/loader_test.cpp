// Reading stage files: the row rules, the kinds the rows become, their order
// and indices, shared meshes, reloading, and files that are missing or broken.
#include "render/StaticMesh.h"
#include "stage/MOS_CheckPoint.h"
#include "stage/MOS_Gate.h"
#include "stage/MOS_Move.h"
#include "stage_fixture.h"

namespace {

using stagetest::StageTest;

TEST_F(StageTest, HeaderLinesAreNeverRowsAndTwoLinesGiveAnEmptyStage) {
  // Both header lines look like rows; neither is read.
  WriteText("two.csv",
            "tri.x,0,0,0,1,1,1,0,0,0,Map\n"
            "tri.x,1,0,0,1,1,1,0,0,0,Map\n");
  MapObjectList& list = EmptyList();
  ::testing::internal::CaptureStdout();
  list.LoadFile("two.csv");
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(list.Objects().empty());

  // A third line is the first row.
  WriteText("three.csv",
            "tri.x,0,0,0,1,1,1,0,0,0,Map\n"
            "tri.x,1,0,0,1,1,1,0,0,0,Map\n"
            "tri.x,2,0,0,1,1,1,0,0,0,Map");  // no newline at the end
  ::testing::internal::CaptureStdout();
  list.LoadFile("three.csv");
  ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(list.Objects().size(), 1u);
  EXPECT_FLOAT_EQ(list.Objects()[0]->world._41, 2.0f);
}

TEST_F(StageTest, MapRowIsPlacedByScaleRotationTranslation) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,0,0,0,1,1,1,0,90,0,Map", "tri.x,5,6,7,2,3,4,90,0,0,Map"});
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 2u);

  // Turned 90 degrees about y at the origin, unscaled: x goes to −z, z to x.
  EXPECT_EQ(objects[0]->kind, MAP_OBJECT_MAP);
  D3DXMATRIX turned;
  D3DXMatrixRotationY(&turned, 90.0f * 0.017453292f);
  stagetest::ExpectMatrixNear(objects[0]->world, turned, 1e-6f);
  EXPECT_NEAR(objects[0]->world._13, -1.0f, 1e-6f);
  EXPECT_NEAR(objects[0]->world._31, 1.0f, 1e-6f);

  // Scaled first, then pitched 90 degrees about x, then moved.
  D3DXVECTOR3 corner(1, 1, 1), placed;
  D3DXVec3TransformCoord(&placed, &corner, &objects[1]->world);
  EXPECT_NEAR(placed.x, 5 + 2, 1e-5f);
  EXPECT_NEAR(placed.y, 6 - 4, 1e-5f);
  EXPECT_NEAR(placed.z, 7 + 3, 1e-5f);
}

TEST_F(StageTest, KeywordsAreWholeAndCaseSensitive) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,0,0,0,1,1,1,0,0,0,moveobject,0,4,0,3",
                  "tri.x,0,0,0,1,1,1,0,0,0,moveobject",  // short is fine for kind 6
                  "tri.x,0,0,0,1,1,1,0,0,0, Map", "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,4,0,3",
                  "tri.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,7",
                  "tri.x,0,0,0,1,1,1,0,0,0,Gate,0,0,0,1", "tri.x,0,0,0,1,1,1,0,0,0,Water",
                  "tri.x,0,0,0,1,1,1,0,0,0,Flag"});
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 8u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(objects[i]->kind, MAP_OBJECT_OTHER) << i;
    EXPECT_EQ(dynamic_cast<MOS_Move*>(objects[i]), nullptr) << i;
    EXPECT_EQ(objects[i]->number, 0) << "columns 11 to 14 are not read";
  }
  const int expected[] = {MAP_OBJECT_MOVE, MAP_OBJECT_CHECKPOINT, MAP_OBJECT_GATE,
                          MAP_OBJECT_WATER, MAP_OBJECT_FLAG};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(objects[3 + i]->kind, expected[i]) << i;

  auto* block = dynamic_cast<MOS_Move*>(objects[3]);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->number, 3);
  EXPECT_EQ(block->moveVector, D3DXVECTOR3(0, 4, 0));
  auto* checkpoint = dynamic_cast<MOS_CheckPoint*>(objects[4]);
  ASSERT_NE(checkpoint, nullptr);
  EXPECT_EQ(checkpoint->number, 7);
  EXPECT_FALSE(checkpoint->state);
  auto* gate = dynamic_cast<MOS_Gate*>(objects[5]);
  ASSERT_NE(gate, nullptr);
  EXPECT_TRUE(gate->reverse);
  EXPECT_EQ(gate->number, 0);
}

TEST_F(StageTest, TrailingCommaAddsNoColumnAndEveryColumnIsEchoed) {
  WriteText("trail.csv", StageFile({"tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,4,0,3,",
                                    "tri.x,0,0,0,1,1,1,0,0,0,MoveObject,0,4,0,"}));
  MapObjectList& list = EmptyList();
  ::testing::internal::CaptureStdout();
  list.LoadFile("trail.csv");
  const std::string echo = ::testing::internal::GetCapturedStdout();

  // 15 columns: a moving block numbered 3. 14 columns: too short, skipped.
  ASSERT_EQ(list.Objects().size(), 1u);
  EXPECT_EQ(list.Objects()[0]->number, 3);
  std::istringstream lines(echo);
  std::vector<std::string> echoed;
  for (std::string line; std::getline(lines, line);) echoed.push_back(line);
  ASSERT_EQ(echoed.size(), 15u + 14u + 1u);  // the final newline after loading
  EXPECT_EQ(echoed[0], "[tri.x]");
  EXPECT_EQ(echoed[10], "[MoveObject]");
  EXPECT_EQ(echoed[14], "[3]");
  EXPECT_EQ(echoed.back(), "");
}

TEST_F(StageTest, RowsNamingOneModelShareItsMesh) {
  WriteText("other.x", stagetest::TriangleModel());
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,0,0,0,1,1,1,0,0,0,Map", "other.x,0,0,0,1,1,1,0,0,0,Map",
                  "tri.x,3,0,0,2,2,2,0,0,0,Scenery"});
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0]->model, objects[2]->model);
  EXPECT_NE(objects[0]->model, objects[1]->model);
  EXPECT_EQ(objects[0]->model, g_resourceCache->GetStaticMesh("tri.x"));
}

TEST_F(StageTest, LoadingAgainKeepsOnlyTheSecondFileWithIndicesFromZero) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,1,0,0,1,1,1,0,0,0,Map", "tri.x,2,0,0,1,1,1,0,0,0,Map",
                  "tri.x,3,0,0,1,1,1,0,0,0,Map"},
           "first.csv");
  LoadRows(list, {"tri.x,7,0,0,1,1,1,0,0,0,Map", "tri.x,8,0,0,1,1,1,0,0,0,Water"},
           "second.csv");
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(objects[i]->index, i);
    EXPECT_FLOAT_EQ(objects[i]->world._41, 7.0f + i);
  }
}

TEST_F(StageTest, MissingFileWritesFailureAndLeavesAnEmptyStage) {
  MapObjectList& list = EmptyList();
  LoadRows(list, {"tri.x,1,0,0,1,1,1,0,0,0,Map"});
  ASSERT_EQ(list.Objects().size(), 1u);

  ::testing::internal::CaptureStderr();
  list.LoadFile("no/such/stage.csv");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\x8E\xB8\x94\x73\n");  // "失敗"
  EXPECT_TRUE(list.Objects().empty());

  // The numbered files are looked for in ./data/csv; here there is none, and
  // a number outside the table is a missing file too.
  for (int number : {int(STAGE_FILE_TITLE), int(STAGE_FILE_GAME), 2, -1}) {
    ::testing::internal::CaptureStderr();
    MapObjectList numbered(number);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\x8E\xB8\x94\x73\n") << number;
    EXPECT_TRUE(numbered.Objects().empty());
  }
  EXPECT_STREQ(StageFilePath(STAGE_FILE_TITLE), "./data/csv/title.csv");
  EXPECT_STREQ(StageFilePath(STAGE_FILE_GAME), "./data/csv/model3.csv");
}

TEST_F(StageTest, ShortRowsEmptyLinesAndUnloadableModelsAreSkippedWithoutIndex) {
  WriteText("broken.x", "xof 0303txt 0032\nMesh broken { 3; 0;0;0;, 1;");
  MapObjectList& list = EmptyList();
  LoadRows(list, {
                     "tri.x,1,0,0,1,1,1,0,0,0,Map\r",        // CR LF ending
                     "tri.x,2,0,0,1,1,1,0,0,0",              // 10 columns
                     "",                                     // empty line
                     "tri.x,3,0,0,1,1,1,0,0,0,CheckPoint",   // needs 15 columns
                     "missing.x,4,0,0,1,1,1,0,0,0,Map",      // model does not exist
                     "broken.x,5,0,0,1,1,1,0,0,0,Map",       // model does not load
                     "tri.x, 6.5abc,x,,1,1,1,0,0,0,Map\r",   // atof rules
                     "\r",                                   // empty CR LF line
                 });
  const auto objects = list.Objects();
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0]->index, 0);
  EXPECT_FLOAT_EQ(objects[0]->world._41, 1.0f);
  EXPECT_EQ(objects[0]->kind, MAP_OBJECT_MAP);  // the CR is not part of "Map"
  EXPECT_EQ(objects[1]->index, 1);
  EXPECT_FLOAT_EQ(objects[1]->world._41, 6.5f);
  EXPECT_FLOAT_EQ(objects[1]->world._42, 0.0f);
  EXPECT_FLOAT_EQ(objects[1]->world._43, 0.0f);
  EXPECT_EQ(objects[1]->kind, MAP_OBJECT_MAP);
}

TEST_F(StageTest, StageBuildsItsListFromTheNumberedFile) {
  SetUpDataFolders();
  WriteText("data/csv/title.csv", StageFile({"tri.x,0,1,0,1,1,1,0,0,0,Map"}));
  ::testing::internal::CaptureStdout();
  CStage title(STAGE_FILE_TITLE);
  ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(title.objects->Objects().size(), 1u);
  EXPECT_FLOAT_EQ(title.objects->Objects()[0]->world._42, 1.0f);
  ASSERT_NE(title.skyModel, nullptr);
  EXPECT_EQ(title.skyModel, g_resourceCache->GetStaticMesh("./data/model/Map/Sky.x"));
  EXPECT_TRUE(title.effects.empty());
}

}  // namespace
