// Which stage objects each drawing pass draws (water only in its own pass and
// never into the shadow map), the stage's passes, and the turning sky.
#include <memory>

#include "render/StaticMesh.h"
#include "stage_fixture.h"

namespace {

using stagetest::StageTest;

// The meshes drawn lit and into the shadow map, in order.
std::vector<std::string> litDrawn, shadowDrawn;
void RecordLit(CStaticMesh* model, const D3DXMATRIX&) { litDrawn.push_back(model->fileName); }
void RecordShadow(CStaticMesh* model, const D3DXMATRIX&) {
  shadowDrawn.push_back(model->fileName);
}

// The sky's own material: after a draw of the sky the device holds it.
const char kSkyModel[] =
    "xof 0303txt 0032\n"
    "Mesh sky {\n"
    "  3; 0;0;0;, 0;0;1;, 1;0;0;;\n"
    "  1; 3;0,1,2;;\n"
    "  MeshMaterialList { 1; 1; 0;;\n"
    "    Material { 0.25;0.5;0.75;1;; 5; 0;0;0;; 0;0;0;; }\n"
    "  }\n"
    "}\n";

bool SkyMaterialIsSet(IDirect3DDevice9* device) {
  D3DMATERIAL9 material{};
  device->GetMaterial(&material);
  return material.Diffuse.r == 0.25f && material.Diffuse.g == 0.5f && material.Diffuse.b == 0.75f;
}

class DrawingTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (HasFatalFailure()) return;
    for (const char* name : {"water.x", "pole.x", "flag.x", "rock.x", "cloud.x", "block.x"}) {
      WriteText(name, stagetest::TriangleModel());
    }
    SetUpDataFolders();
    WriteText("data/model/Map/Sky.x", kSkyModel);
    litDrawn.clear();
    shadowDrawn.clear();
    SetStageMeshDrawing({RecordLit, RecordShadow});
    stage_.reset(MakeStage({"rock.x,0,0,0,1,1,1,0,0,0,Map", "water.x,0,1,0,1,1,1,0,0,0,Water",
                            "pole.x,0,0,0,1,1,1,0,0,0,CheckPoint,0,0,0,1",
                            "block.x,0,0,0,1,1,1,0,0,0,MoveObject,0,2,0,0",
                            "water.x,5,1,0,1,1,1,0,0,0,Water", "flag.x,0,0,0,1,1,1,0,0,0,Flag",
                            "cloud.x,0,0,0,1,1,1,0,0,0,Scenery"}));
    stagetest::Scene().stage = stage_.get();
  }
  void TearDown() override {
    stagetest::Scene().stage = nullptr;
    stage_.reset();
    StageTest::TearDown();
  }
  std::unique_ptr<CStage> stage_;
};

TEST_F(DrawingTest, WaterIsDrawnOnlyInItsOwnPassAndCastsNoShadow) {
  ASSERT_EQ(stage_->objects->Objects().size(), 7u);
  MapObjectList& list = *stage_->objects;

  list.DrawOpaque();
  EXPECT_EQ(litDrawn, (std::vector<std::string>{"rock.x", "pole.x", "block.x", "flag.x",
                                                "cloud.x"}));
  litDrawn.clear();
  list.DrawWater();
  EXPECT_EQ(litDrawn, (std::vector<std::string>{"water.x", "water.x"}));
  litDrawn.clear();
  list.DrawShadows();
  EXPECT_TRUE(litDrawn.empty());
  EXPECT_EQ(shadowDrawn, (std::vector<std::string>{"rock.x", "pole.x", "block.x", "flag.x",
                                                   "cloud.x"}));

  // The stage's own passes: objects without water, shadows without water.
  litDrawn.clear();
  shadowDrawn.clear();
  stage_->DrawObjects();
  stage_->DrawShadows();
  EXPECT_EQ(litDrawn.size(), 5u);
  EXPECT_EQ(shadowDrawn.size(), 5u);
  for (const auto& name : litDrawn) EXPECT_NE(name, "water.x");
  for (const auto& name : shadowDrawn) EXPECT_NE(name, "water.x");

  // Not solid either: no normals, never a collision candidate.
  EXPECT_TRUE(list.Objects()[1]->faceNormals.empty());
  EXPECT_EQ(list.NearbyObjects(D3DXVECTOR3(0, 1, 0), 100), (std::vector<int>{0, 3}));
}

TEST_F(DrawingTest, SkyTurnsAHundredthOfADegreeEachSceneFrame) {
  ::testing::internal::CaptureStdout();
  CStage stage(STAGE_FILE_GAME);
  ::testing::internal::GetCapturedStdout();
  ASSERT_NE(stage.skyModel->mesh, nullptr);
  stage.Update();

  for (int frame : {0, 100, 36000}) {
    stagetest::Scene().frameCount = frame;
    const D3DMATERIAL9 plain{};
    device_->SetMaterial(&plain);
    device_->BeginScene();
    stage.DrawSky();
    device_->EndScene();
    EXPECT_TRUE(SkyMaterialIsSet(device_)) << "the sky was not drawn";
    // The moving block draws its path after the sky, with the identity world.
    D3DXMATRIX world;
    device_->GetTransform(D3DTS_WORLD, &world);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(world, identity) << "the path was not drawn after the sky";
  }

  // Without moving blocks the sky's world stays: scaling 10, then the turn.
  MapObjectList& list = *stage.objects;
  LoadRows(list, {"rock.x,0,0,0,1,1,1,0,0,0,Map"});
  for (int frame : {0, 100, 9000}) {
    stagetest::Scene().frameCount = frame;
    stage.DrawSky();
    D3DXMATRIX world, scaling, turn;
    device_->GetTransform(D3DTS_WORLD, &world);
    D3DXMatrixScaling(&scaling, 10, 10, 10);
    D3DXMatrixRotationY(&turn, 0.01f * float(frame) * 0.017453292f);
    stagetest::ExpectMatrixNear(world, scaling * turn, 1e-5f);
  }
  stagetest::Scene().frameCount = 9000;  // 90 degrees: x goes to −z
  stage.DrawSky();
  D3DXMATRIX world;
  device_->GetTransform(D3DTS_WORLD, &world);
  EXPECT_NEAR(world._13, -10.0f, 1e-4f);
}

}  // namespace
