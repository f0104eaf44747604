// The shipped stage files, read from the run directory's data/ as the game
// reads them: every row becomes an object, and the game stage's moving blocks
// find their checkpoints.
#include <filesystem>
#include <fstream>

#include "stage/MOS_Move.h"
#include "stage_fixture.h"

namespace {

using stagetest::StageTest;

class ContentStagesTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (HasFatalFailure()) return;
    // The scratch folder sees the run directory's content through a link.
    if (!std::filesystem::exists(previous_ / "data/csv/model3.csv")) {
      FAIL() << "the game's content is missing in " << previous_;
    }
    std::filesystem::create_directory_symlink(previous_ / "data", "data");
  }
  static int RowCount(const std::string& path) {
    std::ifstream file(path);
    int lines = 0;
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line != "\r") ++lines;
    }
    return lines - 2;
  }
  static int CountKind(const MapObjectList& list, int kind) {
    int count = 0;
    for (const MapObjectStruct* object : list.Objects()) count += object->kind == kind;
    return count;
  }
};

TEST_F(ContentStagesTest, EveryRowOfBothStagesBecomesAnObject) {
  for (int number : {int(STAGE_FILE_TITLE), int(STAGE_FILE_GAME)}) {
    ::testing::internal::CaptureStdout();
    CStage stage(number);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(int(stage.objects->Objects().size()), RowCount(StageFilePath(number))) << number;
    ASSERT_NE(stage.skyModel, nullptr);
    EXPECT_NE(stage.skyModel->mesh, nullptr);
    for (const MapObjectStruct* object : stage.objects->Objects()) {
      const bool collided = object->kind == MAP_OBJECT_MAP || object->kind == MAP_OBJECT_MOVE ||
                            object->kind == MAP_OBJECT_GATE;
      EXPECT_EQ(object->faceNormals.empty(), !collided) << number << " row " << object->index;
    }
    if (number == STAGE_FILE_TITLE) {
      EXPECT_EQ(CountKind(*stage.objects, MAP_OBJECT_FLAG), 1);
      EXPECT_GT(CountKind(*stage.objects, MAP_OBJECT_MAP), 0);
    }
  }
}

TEST_F(ContentStagesTest, GameStageBlocksWaitForTheirCheckpoints) {
  ::testing::internal::CaptureStdout();
  CStage stage(STAGE_FILE_GAME);
  ::testing::internal::GetCapturedStdout();
  stagetest::Scene().stage = &stage;
  EXPECT_EQ(CountKind(*stage.objects, MAP_OBJECT_CHECKPOINT), 3);
  EXPECT_EQ(CountKind(*stage.objects, MAP_OBJECT_WATER), 1);
  EXPECT_EQ(CountKind(*stage.objects, MAP_OBJECT_GATE), 2);

  std::vector<MOS_Move*> blocks;
  for (MapObjectStruct* object : stage.objects->Objects()) {
    if (auto* block = dynamic_cast<MOS_Move*>(object)) blocks.push_back(block);
  }
  ASSERT_FALSE(blocks.empty());
  for (int frame = 0; frame < 10; ++frame) stage.Update();
  for (MOS_Move* block : blocks) {
    EXPECT_NE(block->number, 0);
    EXPECT_FALSE(block->state) << "row " << block->index;
  }
  // Reaching every checkpoint sets them all going.
  for (MapObjectStruct* object : stage.objects->Objects()) {
    if (object->kind == MAP_OBJECT_CHECKPOINT) object->state = true;
  }
  for (int frame = 0; frame < 100; ++frame) stage.Update();
  for (MOS_Move* block : blocks) {
    EXPECT_TRUE(block->state);
    EXPECT_NE(block->world, block->baseWorld);
  }
  stagetest::Scene().stage = nullptr;
}

}  // namespace
