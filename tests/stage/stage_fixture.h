// A headless device in a scratch folder, a resource cache, and small stage
// files and X models written by the tests themselves. The stage reads the
// running scene the fixture fills in.
#pragma once
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "platform/tex/test_device.h"
#include "render/ResourceCache.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"
#include "stage/StageMeshDraw.h"
#include "support/fake_scene.h"

namespace stagetest {

// The scene the stage objects see during a test.
inline std::optional<FakeScene>& SceneHolder() {
  static std::optional<FakeScene> scene;
  return scene;
}
inline FakeScene& Scene() { return *SceneHolder(); }

// One triangle (0,0,0), (0,0,1), (1,0,0) facing up, material alpha `alpha`.
inline std::string TriangleModel(float alpha = 1.0f) {
  return "xof 0303txt 0032\n"
         "Mesh tri {\n"
         "  3; 0;0;0;, 0;0;1;, 1;0;0;;\n"
         "  1; 3;0,1,2;;\n"
         "  MeshMaterialList { 1; 1; 0;;\n"
         "    Material { 1;1;1;" + std::to_string(alpha) + ";; 5; 0;0;0;; 0;0;0;; }\n"
         "  }\n"
         "}\n";
}

// A floor square x, z in [−1, 1] at y = 0 made of two faces, the first (x < z
// half) with material alpha `firstAlpha`, the second with `secondAlpha`.
inline std::string FloorModel(float firstAlpha, float secondAlpha) {
  return "xof 0303txt 0032\n"
         "Mesh floor {\n"
         "  4; -1;0;-1;, -1;0;1;, 1;0;1;, 1;0;-1;;\n"
         "  2; 3;0,1,2;, 3;0,2,3;;\n"
         "  MeshMaterialList { 2; 2; 0, 1;;\n"
         "    Material { 1;1;1;" + std::to_string(firstAlpha) + ";; 5; 0;0;0;; 0;0;0;; }\n"
         "    Material { 1;1;1;" + std::to_string(secondAlpha) + ";; 5; 0;0;0;; 0;0;0;; }\n"
         "  }\n"
         "}\n";
}

class StageTest : public restest::DeviceTest {
 protected:
  void SetUp() override {
    restest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    CGraphicsDevice::GetInstance().device = device_;
    g_resourceCache = new CResourceCache;
    SceneHolder().emplace();
    WriteText("tri.x", TriangleModel(0.25f));
    WriteText("floor.x", FloorModel(0.25f, 0.75f));
  }
  void TearDown() override {
    lists_.clear();
    SceneHolder().reset();
    SetStageMeshDrawing({nullptr, nullptr});
    delete g_resourceCache;
    g_resourceCache = nullptr;
    CGraphicsDevice::GetInstance().device = nullptr;
    restest::DeviceTest::TearDown();
  }

  // A list with nothing loaded (its constructor's failure line is swallowed).
  MapObjectList& EmptyList() {
    ::testing::internal::CaptureStderr();
    lists_.push_back(std::make_unique<MapObjectList>(-1));
    ::testing::internal::GetCapturedStderr();
    return *lists_.back();
  }

  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // A stage file: the two header lines, then the rows.
  static std::string StageFile(const std::vector<std::string>& rows) {
    std::string text = "model,x,y,z,sx,sy,sz,rx,ry,rz,kind,mx,my,mz,number\n"
                       "file,float,float,float,float,float,float,deg,deg,deg,text,f,f,f,int\n";
    for (const std::string& row : rows) text += row + "\n";
    return text;
  }

  // Loads rows into `list` from a file of that name; the echo is swallowed.
  static void LoadRows(MapObjectList& list, const std::vector<std::string>& rows,
                       const std::string& path = "stage.csv") {
    WriteText(path, StageFile(rows));
    ::testing::internal::CaptureStdout();
    list.LoadFile(path);
    ::testing::internal::GetCapturedStdout();
  }

  // Writes the rows as the game stage file and builds a stage from it.
  CStage* MakeStage(const std::vector<std::string>& rows) {
    SetUpDataFolders();
    WriteText("data/csv/model3.csv", StageFile(rows));
    ::testing::internal::CaptureStdout();
    auto* stage = new CStage(STAGE_FILE_GAME);
    ::testing::internal::GetCapturedStdout();
    return stage;
  }

  void SetUpDataFolders() {
    std::filesystem::create_directories("data/csv");
    std::filesystem::create_directories("data/texture");
    std::filesystem::create_directories("data/model/Map");
  }

  std::vector<std::unique_ptr<MapObjectList>> lists_;
};

inline void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected,
                             float tolerance) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "element " << r << c;
    }
  }
}

}  // namespace stagetest
