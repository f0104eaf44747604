#include "xfile_fixture.h"

#include "glomp/xfile.h"

#include <vector>

namespace {

struct Loaded {
  LPD3DXMESH mesh = nullptr;
  LPD3DXBUFFER adjacency = nullptr;
  LPD3DXBUFFER materials = nullptr;
  LPD3DXBUFFER effects = nullptr;
  DWORD materialCount = 0;
  HRESULT hr = E_FAIL;
  ~Loaded() {
    for (IUnknown* object : {static_cast<IUnknown*>(mesh), static_cast<IUnknown*>(adjacency),
                             static_cast<IUnknown*>(materials), static_cast<IUnknown*>(effects)}) {
      if (object) object->Release();
    }
  }
  void Load(const std::string& path) {
    hr = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, nullptr, &adjacency, &materials,
                            &effects, &materialCount, &mesh);
  }
  std::vector<WORD> Indices() {
    void* data = nullptr;
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
    std::vector<WORD> out(static_cast<WORD*>(data), static_cast<WORD*>(data) + 3 * mesh->GetNumFaces());
    mesh->UnlockIndexBuffer();
    return out;
  }
  std::vector<float> Vertex(DWORD index) {
    void* data = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
    DWORD stride = mesh->GetNumBytesPerVertex();
    const float* v = reinterpret_cast<const float*>(static_cast<BYTE*>(data) + index * stride);
    std::vector<float> out(v, v + stride / 4);
    mesh->UnlockVertexBuffer();
    return out;
  }
  std::vector<DWORD> Attributes() {
    DWORD* data = nullptr;
    mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data);
    std::vector<DWORD> out(data, data + mesh->GetNumFaces());
    mesh->UnlockAttributeBuffer();
    return out;
  }
  std::vector<D3DXATTRIBUTERANGE> Table() {
    DWORD count = 0;
    mesh->GetAttributeTable(nullptr, &count);
    std::vector<D3DXATTRIBUTERANGE> table(count);
    mesh->GetAttributeTable(table.data(), &count);
    return table;
  }
};

const char* kQuadAndPentagon = R"(
template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; array Vector vertices[nVertices]; [...] }
// a quad and a pentagon
Mesh shapes {
  9;
  0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;,
  5;0;0;, 5;1;0;, 6;2;0;, 7;1;0;, 7;0;0;;
  2;
  4;0,1,2,3;,
  5;4,5,6,7,8;;
}
)";

TEST_F(XFileTest, PolygonsBecomeFansInFileOrder) {
  Loaded loaded;
  loaded.Load(Write("shapes.x", kQuadAndPentagon));
  ASSERT_EQ(loaded.hr, S_OK) << glomp::XFileLastError();
  EXPECT_EQ(loaded.mesh->GetNumVertices(), 9u);
  EXPECT_EQ(loaded.mesh->GetNumFaces(), 5u);
  EXPECT_EQ(loaded.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ));
  EXPECT_EQ(loaded.mesh->GetNumBytesPerVertex(), 12u);
  EXPECT_EQ(loaded.mesh->GetOptions(), static_cast<DWORD>(D3DXMESH_MANAGED));
  std::vector<WORD> expected{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8};
  EXPECT_EQ(loaded.Indices(), expected);
  EXPECT_EQ(loaded.Vertex(6), (std::vector<float>{6, 2, 0}));
  EXPECT_EQ(loaded.materialCount, 0u);
  auto table = loaded.Table();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].FaceCount, 5u);
  EXPECT_EQ(table[0].VertexCount, 9u);
  // Adjacency: the quad's two triangles share the edge 0-2, the pentagon's fan its diagonals.
  ASSERT_EQ(loaded.adjacency->GetBufferSize(), 15 * sizeof(DWORD));
  const DWORD* adjacency = static_cast<const DWORD*>(loaded.adjacency->GetBufferPointer());
  std::vector<DWORD> adj(adjacency, adjacency + 15);
  const DWORD n = 0xFFFFFFFF;
  EXPECT_EQ(adj, (std::vector<DWORD>{n, n, 1, 0, n, n, n, n, 3, 2, n, 4, 3, n, n}));
}

TEST_F(XFileTest, CornersWithDifferentNormalsSplitTheirVertex) {
  // Two triangles folded along the edge 1-2; each face has its own normal.
  Loaded loaded;
  loaded.Load(Write("fold.x", R"(
Mesh fold {
  4; 0;0;0;, 0;1;0;, 1;0;0;, 1;1;1;;
  2; 3;0,1,2;, 3;2,1,3;;
  MeshNormals { 2; 0;0;-1;, 1;0;0;;
    2; 3;0,0,0;, 3;1,1,1;; }
  MeshTextureCoords { 4; 0;0;, 0;1;, 1;0;, 1;1;; }
}
)"));
  ASSERT_EQ(loaded.hr, S_OK) << glomp::XFileLastError();
  EXPECT_EQ(loaded.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
  EXPECT_EQ(loaded.mesh->GetNumBytesPerVertex(), 32u);
  // Vertices 2 and 1 are used again by the second face with another normal: copies 4 and 5
  // are appended in corner order, the originals keep their index.
  ASSERT_EQ(loaded.mesh->GetNumVertices(), 6u);
  EXPECT_EQ(loaded.Indices(), (std::vector<WORD>{0, 1, 2, 4, 5, 3}));
  EXPECT_EQ(loaded.Vertex(2), (std::vector<float>{1, 0, 0, 0, 0, -1, 1, 0}));
  EXPECT_EQ(loaded.Vertex(4), (std::vector<float>{1, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(loaded.Vertex(5), (std::vector<float>{0, 1, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(loaded.Vertex(3), (std::vector<float>{1, 1, 1, 1, 0, 0, 1, 1}));
}

TEST_F(XFileTest, MaterialListGivesAttributesTableAndMaterials) {
  Loaded loaded;
  loaded.Load(Write("two.x", R"(
Material Red { 1;0;0;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { "data/texture/red.png"; } }
Mesh two {
  8; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;, 2;0;0;, 2;1;0;, 3;1;0;, 3;0;0;;
  3; 4;0,1,2,3;, 4;4,5,6,7;, 3;0,2,3;;
  MeshMaterialList { 2; 2; 1, 0;
    { Red }
    Material { 0;0;1;0.5;; 10; 0;0;0;; 0;0;0;; }
  }
}
)"));
  ASSERT_EQ(loaded.hr, S_OK) << glomp::XFileLastError();
  // Faces are grouped by material; inside a material they keep file order. The third
  // polygon has no entry and takes the last one given (material 0).
  EXPECT_EQ(loaded.Attributes(), (std::vector<DWORD>{0, 0, 0, 1, 1}));
  EXPECT_EQ(loaded.Indices(), (std::vector<WORD>{4, 5, 6, 4, 6, 7, 0, 2, 3, 0, 1, 2, 0, 2, 3}));
  auto table = loaded.Table();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].AttribId, 0u);
  EXPECT_EQ(table[0].FaceStart, 0u);
  EXPECT_EQ(table[0].FaceCount, 3u);
  EXPECT_EQ(table[0].VertexStart, 0u);
  EXPECT_EQ(table[0].VertexCount, 8u);
  EXPECT_EQ(table[1].AttribId, 1u);
  EXPECT_EQ(table[1].FaceStart, 3u);
  EXPECT_EQ(table[1].FaceCount, 2u);
  EXPECT_EQ(table[1].VertexStart, 0u);
  EXPECT_EQ(table[1].VertexCount, 4u);
  ASSERT_EQ(loaded.materialCount, 2u);
  const D3DXMATERIAL* materials = static_cast<D3DXMATERIAL*>(loaded.materials->GetBufferPointer());
  EXPECT_FLOAT_EQ(materials[0].MatD3D.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(materials[0].MatD3D.Power, 5.0f);
  EXPECT_STREQ(materials[0].pTextureFilename, "data/texture/red.png");
  EXPECT_FLOAT_EQ(materials[1].MatD3D.Diffuse.a, 0.5f);
  EXPECT_EQ(materials[1].pTextureFilename, nullptr);
  ASSERT_EQ(loaded.effects->GetBufferSize(), 2 * sizeof(D3DXEFFECTINSTANCE));
}

TEST_F(XFileTest, MeshesOfSeveralFramesArePlacedAndJoined) {
  Loaded loaded;
  loaded.Load(Write("joined.x", R"(
Frame A {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
  Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
  Frame B {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,5,0,1;; }
    Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }
  }
}
)"));
  ASSERT_EQ(loaded.hr, S_OK) << glomp::XFileLastError();
  ASSERT_EQ(loaded.mesh->GetNumVertices(), 6u);
  EXPECT_EQ(loaded.Vertex(1), (std::vector<float>{10, 2, 0}));
  // B's mesh is placed by B's matrix times A's: (0,1,0) -> (0,6,0) -> (0,12,0) + (10,0,0).
  EXPECT_EQ(loaded.Vertex(4), (std::vector<float>{10, 12, 0}));
  EXPECT_EQ(loaded.Indices(), (std::vector<WORD>{0, 1, 2, 3, 4, 5}));
}

TEST_F(XFileTest, CloneChangesTheFormatAndComputedNormalsFaceTheViewer) {
  Loaded loaded;
  loaded.Load(Write("shapes.x", kQuadAndPentagon));
  ASSERT_EQ(loaded.hr, S_OK);
  LPD3DXMESH clone = nullptr;
  ASSERT_EQ(loaded.mesh->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_NPATCHES,
                                      D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, nullptr, &clone),
            S_OK);
  EXPECT_EQ(clone->GetOptions(), 0x4220u);
  EXPECT_EQ(clone->GetNumBytesPerVertex(), 32u);
  EXPECT_EQ(clone->GetNumFaces(), 5u);
  void* data = nullptr;
  clone->LockVertexBuffer(D3DLOCK_READONLY, &data);
  const float* vertex = static_cast<const float*>(data) + 8 * 6;
  EXPECT_EQ(std::vector<float>(vertex, vertex + 8), (std::vector<float>{6, 2, 0, 0, 0, 0, 0, 0}));
  clone->UnlockVertexBuffer();
  ASSERT_EQ(D3DXComputeNormals(clone, nullptr), S_OK);
  clone->LockVertexBuffer(D3DLOCK_READONLY, &data);
  // Clockwise as seen from -z (D3D's front side): the normals point to -z.
  for (DWORD v = 0; v < clone->GetNumVertices(); ++v) {
    const float* n = static_cast<const float*>(data) + 8 * v + 3;
    EXPECT_FLOAT_EQ(n[2], -1.0f) << "vertex " << v;
  }
  clone->UnlockVertexBuffer();
  clone->Release();
  EXPECT_EQ(D3DXComputeNormals(loaded.mesh, nullptr), D3DERR_INVALIDCALL);  // no normals
}

TEST_F(XFileTest, BadFilesFailWithAnErrorAndNoMesh) {
  struct Case {
    const char* what;
    std::string header;
    std::string body;
  };
  std::string tri = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }";
  std::vector<Case> cases = {
      {"empty", "", ""},
      {"binary", "xof 0303bin 0032", "\x01\x02\x03"},
      {"compressed", "xof 0303tzip0032", "junk"},
      {"not an X file", "hello world, this is text\n", tri},
      {"no mesh", "xof 0303txt 0032\n", "Frame F { }"},
      {"bad number", "xof 0303txt 0032\n", "Mesh { 3; 0;0;0;, 0;1.2.3;0;, 1;0;0;; 1; 3;0,1,2;; }"},
      {"index out of range", "xof 0303txt 0032\n", "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,3;; }"},
      {"two-corner face", "xof 0303txt 0032\n", "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 2;0,1;; }"},
      {"count too large", "xof 0303txt 0032\n", "Mesh { 4000000000; 0;0;0;; 1; 3;0,1,2;; }"},
      {"negative count", "xof 0303txt 0032\n", "Mesh { -3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }"},
      {"material index", "xof 0303txt 0032\n",
       "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 1; "
       "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"},
      {"unknown material", "xof 0303txt 0032\n",
       "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0; { Nope } } }"},
      {"normal faces differ", "xof 0303txt 0032\n",
       "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, "
       "3;0,0,0;; } }"},
      {"unclosed", "xof 0303txt 0032\n", "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;"},
      {"unterminated string", "xof 0303txt 0032\n", "Mesh { \"abc"},
      {"deep nesting", "xof 0303txt 0032\n", std::string(5000, '\0')},
  };
  std::string deep;
  for (int i = 0; i < 2000; ++i) deep += "Frame f { ";
  cases.back().body = deep;
  for (const Case& c : cases) {
    Loaded loaded;
    loaded.Load(Write("bad.x", c.body, c.header));
    EXPECT_TRUE(FAILED(loaded.hr)) << c.what;
    EXPECT_EQ(loaded.mesh, nullptr) << c.what;
    EXPECT_EQ(loaded.materials, nullptr) << c.what;
    EXPECT_STRNE(glomp::XFileLastError(), "") << c.what;
  }
  Loaded missing;
  missing.Load((dir_ / "missing.x").string());
  EXPECT_EQ(missing.hr, E_FAIL);
  EXPECT_EQ(missing.mesh, nullptr);
}

TEST_F(XFileTest, MeshNeedingThirtyTwoBitIndicesIsRefused) {
  auto mesh = [](int vertices) {
    std::string body = "Mesh big { " + std::to_string(vertices) + ";\n";
    for (int v = 0; v < vertices; ++v) body += std::to_string(v) + ";0;0;,\n";
    body += ";\n1; 3;0,1,2;; }\n";
    return body;
  };
  Loaded fits;
  fits.Load(Write("fits.x", mesh(65535)));
  EXPECT_EQ(fits.hr, S_OK) << glomp::XFileLastError();
  Loaded big;
  big.Load(Write("big.x", mesh(65536)));
  EXPECT_TRUE(FAILED(big.hr));
  EXPECT_EQ(big.mesh, nullptr);
  EXPECT_NE(std::string(glomp::XFileLastError()).find("32-bit"), std::string::npos);
}

TEST_F(XFileTest, EveryTruncationOfAGoodFileLoadsOrFailsCleanly) {
  std::string good = std::string("xof 0303txt 0032\n") + kQuadAndPentagon;
  int failures = 0;
  for (size_t length = 0; length < good.size(); ++length) {
    Loaded loaded;
    loaded.Load(Write("cut.x", good.substr(0, length), ""));
    if (FAILED(loaded.hr)) {
      ++failures;
      EXPECT_EQ(loaded.mesh, nullptr);
    }
  }
  EXPECT_GT(failures, static_cast<int>(good.size()) / 2);
}

}  // namespace
