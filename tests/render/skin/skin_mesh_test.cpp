#include <gtest/gtest.h>

#include <d3dx9.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "render/MeshObject.h"
#include "render/SkinMesh.h"

namespace {

using Korvex::CMeshObject;
using Korvex::CSkinMesh;
using Korvex::D3DXFRAME_EX;
using Korvex::MESHCONTAINER_EX;

// Core "\x8A\x6A" with two bones (the second has its own child), a skinned body on the core,
// and a second top-level frame holding two unskinned containers.
const char* kModel = R"(xof 0303txt 0032
AnimTicksPerSecond { 24; }
Frame Core {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
  Frame Left {
    FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, -1,0,0,1;; }
    Frame LeftTip { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,2,0,1;; } }
  }
  Frame Right {
    FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 1,0,0,1;; }
  }
  Mesh Body {
    6; -1;0;0;, -1;1;0;, 0;1;0;, 0;0;0;, 1;1;0;, 1;0;0;;
    2; 4;0,1,2,3;, 4;3,2,4,5;;
    MeshMaterialList { 2; 2; 1, 0;
      Material { 1;0;0;1;; 3; 1;1;1;; 0;0;0;; TextureFilename { "body.png"; } }
      Material { 0;1;0;0.25;; 4; 1;1;1;; 0;0;0;; } }
    SkinWeights { "Left"; 2; 0,1; 1,1; 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1;; }
    SkinWeights { "Right"; 2; 4,5; 1,1; 1,0,0,0, 0,1,0,0, 0,0,1,0, 7,0,0,1;; }
  }
}
Frame Props {
  Mesh First { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
  Mesh Second { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
}
AnimationSet Idle {
  Animation { { Left } AnimationKey { 0; 1; 8; 4; 0.5,0.5,0.5,0.5;;; } AnimationKey { 2; 1; 3; 3; 1,2,3;;; } }
}
AnimationSet //x { Animation { { Core } AnimationKey { 1; 1; 99; 3; 1,1,1;;; } } }
AnimationSet a//b { }
AnimationSet /x { Animation { { Right } AnimationKey { 1; 2; 0; 3; 1,1,1;;, 12; 3; 2,2,2;;; } } }
)";

class SkinMeshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("glomp_skin_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::filesystem::path dir_;
};

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, const char* what) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(a.m[i / 4][i % 4], b.m[i / 4][i % 4], 1e-5f) << what << " element " << i;
  }
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

TEST_F(SkinMeshTest, FramesAreListedDepthFirstWithParentsBindPosesAndOffsets) {
  CSkinMesh mesh;
  std::string path = Write("model.x", kModel);
  ASSERT_TRUE(mesh.Load(path));
  EXPECT_EQ(mesh.GetDirectory(), dir_.string() + "/");
  EXPECT_EQ(mesh.GetFileName(), "model.x");
  const auto& frames = mesh.GetFrames();
  ASSERT_EQ(frames.size(), 5u);
  const char* names[] = {"Core", "Left", "LeftTip", "Right", "Props"};
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(frames[i]->Name, names[i]);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]->index, static_cast<INT>(i));
  EXPECT_EQ(frames[0]->parent, nullptr);
  EXPECT_EQ(frames[1]->parent, frames[0]);
  EXPECT_EQ(frames[2]->parent, frames[1]);
  EXPECT_EQ(frames[3]->parent, frames[0]);
  EXPECT_EQ(frames[4]->parent, nullptr);  // a top-level sibling of the root

  // Bind pose: own matrix times the parent's bind pose.
  D3DXMATRIX expected;
  D3DXMatrixMultiply(&expected, &frames[1]->TransformationMatrix, &frames[0]->bindPoseMatrix);
  ExpectMatrixNear(frames[1]->bindPoseMatrix, expected, "Left bind pose");
  D3DXMatrixMultiply(&expected, &frames[2]->TransformationMatrix, &expected);
  ExpectMatrixNear(frames[2]->bindPoseMatrix, expected, "LeftTip bind pose");
  EXPECT_FLOAT_EQ(frames[2]->bindPoseMatrix._41, -3.0f);  // (0,2,0) turned to (-2,0,0), moved
  EXPECT_FLOAT_EQ(frames[2]->bindPoseMatrix._42, 1.0f);

  // Bones take the skin's offsets; every other frame the inverse of its bind pose.
  EXPECT_FLOAT_EQ(frames[1]->offsetMatrix._41, 5.0f);
  EXPECT_FLOAT_EQ(frames[3]->offsetMatrix._41, 7.0f);
  for (int i : {0, 2, 4}) {
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &frames[i]->offsetMatrix, &frames[i]->bindPoseMatrix);
    ExpectMatrixNear(product, Identity(), frames[i]->Name);
  }
}

TEST_F(SkinMeshTest, ContainersFollowTheirFramesInChainOrder) {
  CSkinMesh mesh;
  ASSERT_TRUE(mesh.Load(Write("model.x", kModel)));
  const auto& containers = mesh.GetMeshContainers();
  ASSERT_EQ(containers.size(), 3u);
  EXPECT_STREQ(containers[0]->Name, "Body");
  EXPECT_STREQ(containers[1]->Name, "First");
  EXPECT_STREQ(containers[2]->Name, "Second");
  EXPECT_EQ(mesh.GetFrames()[4]->pMeshContainer, containers[1]);

  const MESHCONTAINER_EX* body = containers[0];
  ASSERT_NE(body->pSkinInfo, nullptr);
  ASSERT_EQ(body->boneFrames.size(), 2u);
  EXPECT_EQ(body->boneFrames[0], mesh.GetFrames()[1]);
  EXPECT_EQ(body->boneFrames[1], mesh.GetFrames()[3]);
  // The file has no normals: the container's mesh gained computed ones, and the skin
  // reads vertices in that layout.
  EXPECT_EQ(body->MeshData.pMesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
  EXPECT_EQ(body->sourceMesh, body->MeshData.pMesh);
  EXPECT_EQ(body->pSkinInfo->GetFVF(), body->sourceMesh->GetFVF());
  ASSERT_NE(body->drawingMesh, nullptr);
  EXPECT_EQ(body->drawingMesh->GetFVF(), body->sourceMesh->GetFVF());
  ASSERT_EQ(body->attributeCount, 2u);
  EXPECT_EQ(body->attributeTable[0].AttribId, 0u);
  EXPECT_EQ(body->attributeTable[0].FaceCount, 2u);
  EXPECT_EQ(body->attributeTable[0].VertexStart, 2u);  // the second quad, 3 2 4 5
  EXPECT_EQ(body->attributeTable[1].AttribId, 1u);

  // Materials: ambient follows diffuse, names are cleared, textures come from the model's folder.
  ASSERT_EQ(body->NumMaterials, 2u);
  EXPECT_FLOAT_EQ(body->pMaterials[0].MatD3D.Ambient.r, 1.0f);
  EXPECT_FLOAT_EQ(body->pMaterials[1].MatD3D.Ambient.a, 0.25f);
  EXPECT_EQ(body->pMaterials[0].pTextureFilename, nullptr);
  EXPECT_EQ(body->textures[0].fileName, dir_.string() + "/body.png");
  EXPECT_EQ(body->textures[1].fileName, "");
  EXPECT_EQ(body->pEffects, nullptr);

  // Unskinned containers: no drawing mesh, and one default material.
  const MESHCONTAINER_EX* first = containers[1];
  EXPECT_EQ(first->pSkinInfo, nullptr);
  EXPECT_EQ(first->drawingMesh, nullptr);
  EXPECT_EQ(first->attributeCount, 0u);
  EXPECT_EQ(first->sourceMesh, first->MeshData.pMesh);
  ASSERT_EQ(first->NumMaterials, 1u);
  EXPECT_FLOAT_EQ(first->pMaterials[0].MatD3D.Diffuse.g, 1.0f);
  EXPECT_FLOAT_EQ(first->pMaterials[0].MatD3D.Diffuse.a, 0.0f);
  EXPECT_FLOAT_EQ(first->pMaterials[0].MatD3D.Specular.b, 1.0f);
}

TEST_F(SkinMeshTest, AnimationSetsSkipCommentedOnesAndCopyKeysPerFrame) {
  CSkinMesh mesh;
  ASSERT_TRUE(mesh.Load(Write("model.x", kModel)));
  const auto& sets = mesh.GetAnimationSets();
  ASSERT_EQ(sets.size(), 3u);  // the controller lists the file's last set first
  EXPECT_EQ(sets[0]->name, "/x");
  EXPECT_EQ(sets[1]->name, "a//b");
  EXPECT_EQ(sets[2]->name, "Idle");
  for (const auto& set : sets) {
    EXPECT_EQ(set->ticksPerSecond, 24.0);
    EXPECT_EQ(set->tracks.size(), mesh.GetFrames().size());
  }
  EXPECT_EQ(sets[1]->length, 1.0);  // no keys at all
  EXPECT_EQ(sets[0]->length, 13.0);
  ASSERT_EQ(sets[0]->tracks[3]->scaleKeys.size(), 2u);
  EXPECT_FLOAT_EQ(sets[0]->tracks[3]->scaleKeys[1].x, 2.0f);

  const Korvex::CAnimationSet& idle = *sets[2];
  EXPECT_EQ(idle.length, 9.0);
  const Korvex::AnimationTrack& left = *idle.tracks[1];
  ASSERT_EQ(left.rotationKeys.size(), 1u);
  EXPECT_FLOAT_EQ(left.rotationKeys[0].time, 8.0f);
  EXPECT_FLOAT_EQ(left.rotationKeys[0].x, 0.5f);
  EXPECT_FLOAT_EQ(left.rotationKeys[0].w, -0.5f);  // stored with w's sign inverted
  ASSERT_EQ(left.translationKeys.size(), 1u);
  EXPECT_FLOAT_EQ(left.translationKeys[0].z, 3.0f);
  for (int i : {0, 2, 3, 4}) {
    EXPECT_TRUE(idle.tracks[i]->rotationKeys.empty() && idle.tracks[i]->scaleKeys.empty() &&
                idle.tracks[i]->translationKeys.empty());
  }
}

TEST_F(SkinMeshTest, MeshObjectMirrorsTheFramesAndUpdatesItsMatrices) {
  auto mesh = std::make_shared<CSkinMesh>();
  ASSERT_TRUE(mesh->Load(Write("model.x", kModel)));
  CMeshObject object;
  ASSERT_TRUE(object.Init(mesh));
  EXPECT_EQ(mesh.use_count(), 2);
  const auto& nodes = object.GetNodes();
  ASSERT_EQ(nodes.size(), 4u);  // the root's tree; the top-level sibling is not part of it
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(nodes[i]->frame, mesh->GetFrames()[i]);
    ExpectMatrixNear(nodes[i]->combinedMatrix, nodes[i]->frame->bindPoseMatrix, "initial");
  }
  EXPECT_EQ(nodes[0]->depth, 0);
  EXPECT_EQ(nodes[2]->depth, 2);
  EXPECT_EQ(nodes[2]->parent, nodes[1]);
  ASSERT_EQ(nodes[0]->children.size(), 2u);
  EXPECT_EQ(nodes[0]->children[1], nodes[3]);

  object.Update(Identity());
  for (const auto* node : nodes) {
    ExpectMatrixNear(node->combinedMatrix, node->frame->bindPoseMatrix, node->frame->Name);
  }
  // Non-bones carry the inverse bind pose: untouched, their skin matrix is the world matrix.
  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 3, 4, 5);
  object.Update(world);
  ExpectMatrixNear(nodes[0]->skinMatrix, world, "core skin");
  ExpectMatrixNear(nodes[2]->skinMatrix, world, "tip skin");

  // A changed local matrix moves the node and its children; useFrameMatrix ignores it.
  D3DXMatrixTranslation(&nodes[1]->localMatrix, 0, 10, 0);
  object.Update(Identity());
  EXPECT_FLOAT_EQ(nodes[1]->combinedMatrix._42, 11.0f);
  EXPECT_FLOAT_EQ(nodes[2]->combinedMatrix._42, 13.0f);
  nodes[1]->useFrameMatrix = true;
  object.Update(Identity());
  ExpectMatrixNear(nodes[2]->combinedMatrix, nodes[2]->frame->bindPoseMatrix, "frame matrix");

  EXPECT_EQ(object.FindBone("Left"), nodes[1]);
  EXPECT_EQ(object.FindBone("left"), nullptr);
  EXPECT_EQ(object.FindBone("Props"), nullptr);
  EXPECT_EQ(object.FindBone(""), nullptr);
  object.Clear();
  EXPECT_TRUE(object.GetNodes().empty());
  EXPECT_EQ(mesh.use_count(), 1);
}

TEST_F(SkinMeshTest, ShiftJisNamesMatchByteForByte) {
  // The core "\x8A\x6A" and "\x89\x45" / "\x89\x45\x8F\xE3" (right / right-up) as bones.
  std::string text = std::string("xof 0303txt 0032\n") +
                     "Frame \x8A\x6A { Frame \x89\x45 { } Frame \x89\x45\x8F\xE3 { }\n"
                     "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;\n"
                     "SkinWeights { \"\x89\x45\x8F\xE3\"; 1; 0; 1; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }"
                     "} }\n";
  auto mesh = std::make_shared<CSkinMesh>();
  ASSERT_TRUE(mesh->Load(Write("sjis.x", text)));
  ASSERT_EQ(mesh->GetMeshContainers().size(), 1u);
  ASSERT_EQ(mesh->GetMeshContainers()[0]->boneFrames.size(), 1u);
  EXPECT_EQ(mesh->GetMeshContainers()[0]->boneFrames[0], mesh->GetFrames()[2]);
  CMeshObject object;
  ASSERT_TRUE(object.Init(mesh));
  EXPECT_EQ(object.FindBone("\x8A\x6A"), object.GetNodes()[0]);
  EXPECT_EQ(object.FindBone("\x89\x45"), object.GetNodes()[1]);
  EXPECT_EQ(object.FindBone("\x89\x45\x8F\xE3"), object.GetNodes()[2]);
}

TEST_F(SkinMeshTest, BadModelsLeaveEmptyObjects) {
  std::string tri = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;";
  std::string identity = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;";
  struct Case {
    const char* what;
    std::string text;
  };
  std::vector<Case> cases = {
      {"empty", ""},
      {"header only", "xof 0303txt 0032\n"},
      {"binary", "xof 0303bin 0032\x01\x02"},
      {"truncated", std::string(kModel).substr(0, 400)},
      {"malformed", "xof 0303txt 0032\nFrame A { FrameTransformMatrix { 1,x,0; } }"},
      {"bone naming no frame",
       "xof 0303txt 0032\nFrame A { " + tri + " SkinWeights { \"Nobody\"; 1; 0; 1; " + identity +
           " } } }"},
      {"index out of range",
       "xof 0303txt 0032\nFrame A { Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,3;; } }"},
  };
  for (const Case& c : cases) {
    auto mesh = std::make_shared<CSkinMesh>();
    EXPECT_FALSE(mesh->Load(Write("bad.x", c.text))) << c.what;
    EXPECT_TRUE(mesh->GetFrames().empty()) << c.what;
    EXPECT_TRUE(mesh->GetMeshContainers().empty()) << c.what;
    EXPECT_TRUE(mesh->GetAnimationSets().empty()) << c.what;
    CMeshObject object;
    EXPECT_FALSE(object.Init(mesh)) << c.what;
    EXPECT_TRUE(object.GetNodes().empty()) << c.what;
    object.Update(Identity());  // nothing to do, and no crash
    EXPECT_EQ(object.FindBone("A"), nullptr);
  }
  auto missing = std::make_shared<CSkinMesh>();
  EXPECT_FALSE(missing->Load((dir_ / "missing.x").string()));
  EXPECT_EQ(missing->GetFileName(), "");
  CMeshObject none;
  EXPECT_FALSE(none.Init(nullptr));
  // A good load after a failed one, and reloading, start from scratch.
  ASSERT_TRUE(missing->Load(Write("model.x", kModel)));
  ASSERT_TRUE(missing->Load(Write("model.x", kModel)));
  EXPECT_EQ(missing->GetFrames().size(), 5u);
  missing->Clear();
  missing->Clear();
  EXPECT_TRUE(missing->GetFrames().empty());
}

TEST_F(SkinMeshTest, SkinningTheDrawingMeshFollowsTheBones) {
  auto mesh = std::make_shared<CSkinMesh>();
  ASSERT_TRUE(mesh->Load(Write("model.x", kModel)));
  CMeshObject object;
  ASSERT_TRUE(object.Init(mesh));
  object.Update(Identity());
  MESHCONTAINER_EX* body = mesh->GetMeshContainers()[0];
  // Bone matrices as the toon draw collects them: node of each bone frame's index.
  D3DXMATRIX bones[2];
  for (size_t b = 0; b < 2; ++b) bones[b] = object.GetNodes()[body->boneFrames[b]->index]->skinMatrix;
  void* src = nullptr;
  void* dst = nullptr;
  ASSERT_EQ(body->sourceMesh->LockVertexBuffer(D3DLOCK_READONLY, &src), S_OK);
  ASSERT_EQ(body->drawingMesh->LockVertexBuffer(0, &dst), S_OK);
  ASSERT_EQ(body->pSkinInfo->UpdateSkinnedMesh(bones, nullptr, src, dst), S_OK);
  // Vertex 0 (-1,0,0) follows Left: offset moves it by +5 in x, then Left's bind pose.
  D3DXVECTOR3 in(-1, 0, 0), expected;
  D3DXMATRIX m = bones[0];
  D3DXVec3TransformCoord(&expected, &in, &m);
  const float* out = static_cast<const float*>(dst);
  EXPECT_NEAR(out[0], expected.x, 1e-5f);
  EXPECT_NEAR(out[1], expected.y, 1e-5f);
  EXPECT_NEAR(out[2], expected.z, 1e-5f);
  body->sourceMesh->UnlockVertexBuffer();
  body->drawingMesh->UnlockVertexBuffer();
}

TEST_F(SkinMeshTest, ModelsLoadOnOtherThreadsWithoutADrawingContext) {
  // Scenes are built on a loader thread; two loads at once must not disturb each other.
  std::string good = Write("model.x", kModel);
  std::string bad = Write("bad.x", "xof 0303txt 0032\nFrame A { Mesh { 3; 0;0;0;; } }");
  auto first = std::make_shared<CSkinMesh>();
  auto second = std::make_shared<CSkinMesh>();
  bool firstLoaded = false, secondLoaded = true;
  std::thread a([&] {
    for (int i = 0; i < 20; ++i) firstLoaded = first->Load(good);
  });
  std::thread b([&] {
    for (int i = 0; i < 20; ++i) secondLoaded = second->Load(bad);
  });
  a.join();
  b.join();
  EXPECT_TRUE(firstLoaded);
  EXPECT_FALSE(secondLoaded);
  EXPECT_EQ(first->GetFrames().size(), 5u);
  EXPECT_EQ(first->GetAnimationSets().size(), 3u);
  EXPECT_TRUE(second->GetFrames().empty());
}

}  // namespace
