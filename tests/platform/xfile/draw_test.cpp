// DrawSubset through a headless device: each subset lands where its faces are.
#include "xfile_fixture.h"

#include <stb/stb_image_write.h>

#include <utility>
#include <vector>

#include "support/headless_device.h"

namespace {

constexpr UINT kWidth = 64, kHeight = 32;

class MeshDrawTest : public XFileTest {
 protected:
  void SetUp() override {
    XFileTest::SetUp();
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    device_ = glomp::test::CreateHeadlessDevice(d3d_, kWidth, kHeight);
    ASSERT_NE(device_, nullptr);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
      device_->SetTransform(state, &identity);
    }
  }
  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u);
    }
    if (d3d_) d3d_->Release();
    XFileTest::TearDown();
  }

  // Back-buffer pixels as 0xAARRGGBB, row by row from the top.
  std::vector<uint32_t> Pixels() { return glomp::test::ReadSurfacePixels(device_); }

  void SavePng(const std::vector<uint32_t>& pixels, const char* file) {
    std::vector<unsigned char> rgb;
    for (uint32_t p : pixels) {
      rgb.insert(rgb.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                             static_cast<unsigned char>(p)});
    }
    stbi_write_png(file, kWidth, kHeight, 3, rgb.data(), kWidth * 3);
  }

  static uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFF; }

  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

TEST_F(MeshDrawTest, EachSubsetDrawsItsOwnFaces) {
  // Left half of the screen is material 1, right half material 0 (clockwise on screen).
  std::string path = Write("halves.x", R"(
Mesh halves {
  6; -1;-1;0.5;, -1;1;0.5;, 0;1;0.5;, 0;-1;0.5;, 1;1;0.5;, 1;-1;0.5;;
  2; 4;0,1,2,3;, 4;3,2,4,5;;
  MeshMaterialList { 2; 2; 1, 0;
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
}
)");
  LPD3DXMESH mesh = nullptr;
  DWORD materials = 0;
  ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr,
                               &materials, &mesh),
            S_OK);
  LPDIRECT3DDEVICE9 owner = nullptr;
  ASSERT_EQ(mesh->GetDevice(&owner), S_OK);
  EXPECT_EQ(owner, device_);
  owner->Release();

  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device_->BeginScene();
  ASSERT_EQ(mesh->DrawSubset(1), S_OK);
  device_->EndScene();
  std::vector<uint32_t> one = Pixels();
  ASSERT_EQ(one.size(), kWidth * kHeight);
  SavePng(one, "xfile_draw_subset1.png");
  EXPECT_EQ(Rgb(one[kHeight / 2 * kWidth + kWidth / 4]), 0xFFFFFFu);  // left: drawn
  EXPECT_EQ(Rgb(one[kHeight / 2 * kWidth + 3 * kWidth / 4]), 0u);    // right: not yet

  device_->BeginScene();
  ASSERT_EQ(mesh->DrawSubset(0), S_OK);
  ASSERT_EQ(mesh->DrawSubset(7), S_OK);  // no such subset: nothing
  device_->EndScene();
  std::vector<uint32_t> both = Pixels();
  SavePng(both, "xfile_draw_subsets.png");
  for (UINT y = 1; y + 1 < kHeight; y += 5) {
    for (UINT x = 1; x + 1 < kWidth; x += 5) {
      EXPECT_EQ(Rgb(both[y * kWidth + x]), 0xFFFFFFu) << x << "," << y;
    }
  }
  mesh->Release();

  // A mesh made without a device cannot draw.
  ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &mesh),
            S_OK);
  EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
  mesh->Release();
}

// Draws read the device's copy of the mesh, which must follow every write made
// through a lock between draws (skinned meshes are rewritten every frame), and
// only those: a read-only lock changes nothing.
TEST_F(MeshDrawTest, DrawsFollowTheVerticesWrittenSinceTheLastDraw) {
  std::string path = Write("left.x", R"(
Mesh left {
  4; -1;-1;0.5;, -1;1;0.5;, 0;1;0.5;, 0;-1;0.5;;
  1; 4;0,1,2,3;;
  MeshMaterialList { 1; 1; 0; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
}
)");
  LPD3DXMESH mesh = nullptr;
  ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr,
                               nullptr, &mesh),
            S_OK);
  auto drawn = [&](UINT x) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    EXPECT_EQ(mesh->DrawSubset(0), S_OK);
    device_->EndScene();
    return Rgb(Pixels()[kHeight / 2 * kWidth + x]) == 0xFFFFFFu;
  };
  const UINT leftX = kWidth / 4, rightX = 3 * kWidth / 4;
  EXPECT_TRUE(drawn(leftX));
  EXPECT_FALSE(drawn(rightX));
  // Moved one unit to the right: the quad now covers the right half.
  const DWORD stride = mesh->GetNumBytesPerVertex();
  BYTE* vertices = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&vertices)), S_OK);
  for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
    reinterpret_cast<float*>(vertices + v * stride)[0] += 1.0f;
  }
  mesh->UnlockVertexBuffer();
  EXPECT_FALSE(drawn(leftX));
  EXPECT_TRUE(drawn(rightX));
  // Reversed winding through the index buffer: culled (D3DCULL_CCW) from now on.
  WORD* indices = nullptr;
  ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&indices)), S_OK);
  std::swap(indices[1], indices[2]);
  std::swap(indices[4], indices[5]);
  mesh->UnlockIndexBuffer();
  EXPECT_FALSE(drawn(rightX));
  mesh->Release();
}

}  // namespace
