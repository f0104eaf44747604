#include "xfile_fixture.h"

#include "glomp/xfile.h"

#include <vector>

namespace {

// A strip of two quads bent over two bones; vertex 2 and 3 are shared by both bones.
const char* kSkinned = R"(
AnimTicksPerSecond { 30; }
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Frame Bone1 {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
    Frame Bone2 {
      FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
    }
  }
  Mesh Body {
    6; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;, 0;2;0;, 1;2;0;;
    2; 4;0,2,3,1;, 4;2,4,5,3;;
    MeshNormals { 2; 0;0;-1;, 0;0;1;; 2; 4;0,0,0,0;, 4;1,1,1,1;; }
    XSkinMeshHeader { 2; 4; 2; }
    SkinWeights { "Bone1"; 4; 0,1,2,3; 1.0,1.0,0.5,0.5;
      1,0,0,0, 0,1,0,0, 0,0,1,0, 0,-1,0,1;; }
    SkinWeights { "Bone2"; 4; 2,3,4,5; 0.5,0.5,1.0,1.0;
      1,0,0,0, 0,1,0,0, 0,0,1,0, 0,-2,0,1;; }
  }
}
AnimationSet Walk {
  Animation { { Bone1 }
    AnimationKey { 0; 2; 0; 4; 1,0,0,0;;, 60; 4; 0.5,0.5,0.5,0.5;;; }
    AnimationKey { 2; 1; 10; 3; 1,2,3;;; }
  }
  Animation { AnimationKey { 1; 1; 5; 3; 2,2,2;;; } { Bone2 } }
}
AnimationSet //x { }
AnimationSet a//b { Animation { { Root } AnimationKey { 4; 1; 7; 16; 2,0,0,0, 0,2,0,0, 0,0,2,0, 4,5,6,1;;; } } }
AnimationSet /x { }
)";

struct Hierarchy {
  CountingAllocator alloc;
  LPD3DXFRAME root = nullptr;
  LPD3DXANIMATIONCONTROLLER controller = nullptr;
  HRESULT hr = E_FAIL;
  void Load(const std::string& path) {
    hr = D3DXLoadMeshHierarchyFromXA(path.c_str(), D3DXMESH_MANAGED, nullptr, &alloc, nullptr,
                                     &root, &controller);
  }
  ~Hierarchy() {
    if (root) D3DXFrameDestroy(root, &alloc);
    if (controller) controller->Release();
    EXPECT_EQ(alloc.liveFrames, 0);
    EXPECT_EQ(alloc.liveContainers, 0);
  }
};

TEST_F(XFileTest, HierarchyHasFramesContainersAndSkin) {
  Hierarchy h;
  h.Load(Write("skin.x", kSkinned));
  ASSERT_EQ(h.hr, S_OK) << glomp::XFileLastError();
  ASSERT_NE(h.root, nullptr);
  EXPECT_STREQ(h.root->Name, "Root");
  EXPECT_EQ(h.root->pFrameSibling, nullptr);
  LPD3DXFRAME bone1 = h.root->pFrameFirstChild;
  ASSERT_NE(bone1, nullptr);
  EXPECT_STREQ(bone1->Name, "Bone1");
  EXPECT_FLOAT_EQ(bone1->TransformationMatrix._42, 1.0f);
  ASSERT_NE(bone1->pFrameFirstChild, nullptr);
  EXPECT_STREQ(bone1->pFrameFirstChild->Name, "Bone2");
  EXPECT_EQ(h.alloc.liveFrames, 3);

  LPD3DXMESHCONTAINER container = h.root->pMeshContainer;
  ASSERT_NE(container, nullptr);
  EXPECT_STREQ(container->Name, "Body");
  EXPECT_EQ(container->pNextMeshContainer, nullptr);
  EXPECT_EQ(container->MeshData.Type, D3DXMESHTYPE_MESH);
  LPD3DXMESH mesh = container->MeshData.pMesh;
  // Vertices 2 and 3 have the back normal in the first quad and the front one in the
  // second, so each gets a copy (6 and 7).
  ASSERT_EQ(mesh->GetNumVertices(), 8u);
  EXPECT_EQ(mesh->GetNumFaces(), 4u);

  ID3DXSkinInfo* skin = container->pSkinInfo;
  ASSERT_NE(skin, nullptr);
  ASSERT_EQ(skin->GetNumBones(), 2u);
  EXPECT_STREQ(skin->GetBoneName(0), "Bone1");
  EXPECT_STREQ(skin->GetBoneName(1), "Bone2");
  EXPECT_FLOAT_EQ(skin->GetBoneOffsetMatrix(1)->_42, -2.0f);
  EXPECT_EQ(skin->GetFVF(), mesh->GetFVF());
  // Influences of a split vertex are given to its copy as well.
  ASSERT_EQ(skin->GetNumBoneInfluences(1), 6u);
  std::vector<DWORD> vertices(6);
  std::vector<float> weights(6);
  ASSERT_EQ(skin->GetBoneInfluence(1, vertices.data(), weights.data()), S_OK);
  EXPECT_EQ(vertices, (std::vector<DWORD>{2, 6, 3, 7, 4, 5}));
  EXPECT_EQ(weights, (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 1.0f}));
  DWORD most = 0;
  skin->GetMaxVertexInfluences(&most);
  EXPECT_EQ(most, 2u);

  // Skinning: bone 1 moves +1 in x, bone 2 moves +3 in x.
  D3DXMATRIX bones[2];
  for (D3DXMATRIX& m : bones) D3DXMatrixIdentity(&m);
  bones[0]._41 = 1.0f;
  bones[1]._41 = 3.0f;
  LPD3DXMESH target = nullptr;
  ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_MANAGED, mesh->GetFVF(), nullptr, &target), S_OK);
  void* src = nullptr;
  void* dst = nullptr;
  mesh->LockVertexBuffer(D3DLOCK_READONLY, &src);
  target->LockVertexBuffer(0, &dst);
  ASSERT_EQ(skin->UpdateSkinnedMesh(bones, nullptr, src, dst), S_OK);
  const float* out = static_cast<const float*>(dst);
  EXPECT_FLOAT_EQ(out[6 * 0 + 0], 1.0f);  // vertex 0: bone 1 only
  EXPECT_FLOAT_EQ(out[6 * 2 + 0], 2.0f);  // vertex 2: half of each
  EXPECT_FLOAT_EQ(out[6 * 2 + 1], 1.0f);
  EXPECT_FLOAT_EQ(out[6 * 6 + 0], 2.0f);  // its copy moves alike
  EXPECT_FLOAT_EQ(out[6 * 6 + 5], 1.0f);  // and keeps its own normal
  EXPECT_FLOAT_EQ(out[6 * 5 + 0], 4.0f);  // vertex 5: bone 2 only
  mesh->UnlockVertexBuffer();
  target->UnlockVertexBuffer();
  target->Release();
}

TEST_F(XFileTest, AnimationSetsComeLastFirstWithTheirKeys) {
  Hierarchy h;
  h.Load(Write("skin.x", kSkinned));
  ASSERT_EQ(h.hr, S_OK) << glomp::XFileLastError();
  ASSERT_NE(h.controller, nullptr);
  ASSERT_EQ(h.controller->GetNumAnimationSets(), 4u);
  std::vector<std::string> names;
  for (UINT i = 0; i < 4; ++i) {
    LPD3DXANIMATIONSET set = nullptr;
    ASSERT_EQ(h.controller->GetAnimationSet(i, &set), S_OK);
    names.push_back(set->GetName());
    set->Release();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"/x", "a//b", "//x", "Walk"}));

  LPD3DXANIMATIONSET set = nullptr;
  ASSERT_EQ(h.controller->GetAnimationSet(3, &set), S_OK);
  ID3DXKeyframedAnimationSet* walk = nullptr;
  ASSERT_EQ(set->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(&walk)),
            S_OK);
  set->Release();
  EXPECT_EQ(walk->GetSourceTicksPerSecond(), 30.0);
  EXPECT_DOUBLE_EQ(walk->GetPeriod(), 2.0);
  UINT bone1 = 99, bone2 = 99, missing = 99;
  ASSERT_EQ(walk->GetAnimationIndexByName("Bone1", &bone1), S_OK);
  ASSERT_EQ(walk->GetAnimationIndexByName("Bone2", &bone2), S_OK);
  EXPECT_EQ(walk->GetAnimationIndexByName("bone1", &missing), D3DERR_NOTFOUND);
  EXPECT_EQ(missing, 99u);
  ASSERT_EQ(walk->GetNumRotationKeys(bone1), 2u);
  D3DXKEY_QUATERNION rotation[2];
  walk->GetRotationKeys(bone1, rotation);
  // The file writes w first.
  EXPECT_FLOAT_EQ(rotation[0].Value.w, 1.0f);
  EXPECT_FLOAT_EQ(rotation[0].Value.x, 0.0f);
  EXPECT_FLOAT_EQ(rotation[1].Time, 60.0f);
  EXPECT_FLOAT_EQ(rotation[1].Value.x, 0.5f);
  ASSERT_EQ(walk->GetNumTranslationKeys(bone1), 1u);
  D3DXKEY_VECTOR3 translation;
  walk->GetTranslationKeys(bone1, &translation);
  EXPECT_FLOAT_EQ(translation.Value.z, 3.0f);
  EXPECT_EQ(walk->GetNumScaleKeys(bone1), 0u);
  EXPECT_EQ(walk->GetNumScaleKeys(bone2), 1u);
  walk->Release();

  // A matrix key becomes scale, rotation and translation keys.
  ASSERT_EQ(h.controller->GetAnimationSetByName("a//b", &set), S_OK);
  ID3DXKeyframedAnimationSet* matrix = nullptr;
  set->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(&matrix));
  set->Release();
  D3DXKEY_VECTOR3 scale, move;
  D3DXKEY_QUATERNION turn;
  matrix->GetScaleKeys(0, &scale);
  matrix->GetTranslationKeys(0, &move);
  matrix->GetRotationKeys(0, &turn);
  EXPECT_FLOAT_EQ(scale.Value.y, 2.0f);
  EXPECT_FLOAT_EQ(move.Value.y, 5.0f);
  EXPECT_FLOAT_EQ(turn.Value.w, 1.0f);
  EXPECT_FLOAT_EQ(turn.Time, 7.0f);
  matrix->Release();
}

TEST_F(XFileTest, TopLevelFramesAreSiblingsAndContainersChainInFileOrder) {
  Hierarchy h;
  h.Load(Write("tops.x", R"(
Frame First { Mesh one { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
              Mesh two { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,2,1;; }
              Mesh { 0; ; 0; ; } }
Frame Second { }
Mesh loose { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
)"));
  ASSERT_EQ(h.hr, S_OK) << glomp::XFileLastError();
  EXPECT_EQ(h.controller, nullptr);  // no animation in the file
  EXPECT_STREQ(h.root->Name, "First");
  ASSERT_NE(h.root->pMeshContainer, nullptr);
  EXPECT_STREQ(h.root->pMeshContainer->Name, "one");
  ASSERT_NE(h.root->pMeshContainer->pNextMeshContainer, nullptr);
  EXPECT_STREQ(h.root->pMeshContainer->pNextMeshContainer->Name, "two");
  EXPECT_EQ(h.root->pMeshContainer->pNextMeshContainer->pNextMeshContainer, nullptr);
  LPD3DXFRAME second = h.root->pFrameSibling;
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->Name, "Second");
  LPD3DXFRAME loose = second->pFrameSibling;
  ASSERT_NE(loose, nullptr);
  EXPECT_STREQ(loose->Name, "");
  ASSERT_NE(loose->pMeshContainer, nullptr);
  EXPECT_STREQ(loose->pMeshContainer->Name, "loose");
  EXPECT_EQ(loose->pMeshContainer->pSkinInfo, nullptr);
}

TEST_F(XFileTest, ShiftJisNamesStayRawBytes) {
  // 0x8A 0x6A is the core bone's name; 0x89 0x45 0x8F 0xE3 ("right up") has 0x45... and a
  // second byte that is an ASCII letter; 0x83 0x7B has '{' as its second byte.
  std::string body = "Frame \x8A\x6A { Frame \x89\x45\x8F\xE3 { } Frame \x83\x7B { } }\n";
  Hierarchy h;
  h.Load(Write("sjis.x", body));
  ASSERT_EQ(h.hr, S_OK) << glomp::XFileLastError();
  EXPECT_STREQ(h.root->Name, "\x8A\x6A");
  ASSERT_NE(h.root->pFrameFirstChild, nullptr);
  EXPECT_STREQ(h.root->pFrameFirstChild->Name, "\x89\x45\x8F\xE3");
  ASSERT_NE(h.root->pFrameFirstChild->pFrameSibling, nullptr);
  EXPECT_STREQ(h.root->pFrameFirstChild->pFrameSibling->Name, "\x83\x7B");
}

TEST_F(XFileTest, FailuresDestroyEverythingThroughTheAllocator) {
  std::string path = Write("skin.x", kSkinned);
  // Let each allocator call fail in turn: the load fails with that result and frees all.
  for (int call = 0; call < 4; ++call) {
    Hierarchy h;
    h.alloc.failAtCall = call;
    h.Load(path);
    EXPECT_EQ(h.hr, E_OUTOFMEMORY) << call;
    EXPECT_EQ(h.root, nullptr);
    EXPECT_EQ(h.controller, nullptr);
  }
  const char* bad[] = {
      "",
      // A skin weight on vertex 3 of a three-vertex mesh.
      ("Frame A { Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; SkinWeights { \"A\"; 1; 3; 1.0; "
       "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } } }"),
      "Frame A { Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,9;; } }",
      "Frame A { } AnimationSet S { Animation { { A } AnimationKey { 0; 1; 0; 3; 1,0,0;;; } } }",
      "Frame A { } AnimationSet S { Animation { { A } AnimationKey { 7; 1; 0; 3; 1,0,0;;; } } }",
      "Frame A { FrameTransformMatrix { 1,0,0; } }",
      "Frame A { Frame B { } ",
  };
  for (const char* body : bad) {
    Hierarchy h;
    h.Load(Write("bad.x", body));
    EXPECT_TRUE(FAILED(h.hr)) << body;
    EXPECT_EQ(h.root, nullptr) << body;
    EXPECT_STRNE(glomp::XFileLastError(), "") << body;
  }
  Hierarchy missing;
  missing.Load((dir_ / "none.x").string());
  EXPECT_TRUE(FAILED(missing.hr));
  // Every truncation of the skinned model loads or fails without leaving anything behind.
  std::string whole = std::string("xof 0303txt 0032\n") + kSkinned;
  for (size_t length = 0; length < whole.size(); length += 3) {
    Hierarchy h;
    h.Load(Write("cut.x", whole.substr(0, length), ""));
    if (FAILED(h.hr)) {
      EXPECT_EQ(h.root, nullptr);
    }
  }
}

}  // namespace
