// Textures, static meshes and the resource cache as the game uses them.
#include <d3dx9.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/GraphicsDevice.h"
#include "platform/tex/tex_files.h"
#include "platform/tex/test_device.h"
#include "render/ResourceCache.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

namespace {

// Two quads side by side in clip space (x -1..0 and 0..1, z = 0.5 in mesh space),
// material 0 on the left, material 1 on the right.
std::string TwoQuadModel(float leftAlpha, float rightAlpha, const char* leftTexture) {
  const std::string texture =
      leftTexture ? std::string("TextureFilename { \"") + leftTexture + "\"; }" : "";
  return "xof 0303txt 0032\n"
         "Mesh quads {\n"
         "  8; -1;1;0.5;, 0;1;0.5;, 0;-1;0.5;, -1;-1;0.5;,\n"
         "     0;1;0.5;, 1;1;0.5;, 1;-1;0.5;, 0;-1;0.5;;\n"
         "  2; 4;0,1,2,3;, 4;4,5,6,7;;\n"
         "  MeshMaterialList { 2; 2; 0, 1;\n"
         "    Material { 1;1;1;" + std::to_string(leftAlpha) + ";; 5; 0;0;0;; 0;0;0;; " +
         texture + " }\n"
         "    Material { 0.5;0.5;0.5;" + std::to_string(rightAlpha) +
         ";; 5; 0;0;0;; 0;0;0;; }\n"
         "  }\n"
         "  MeshTextureCoords { 8; 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;, 0;1;; }\n"
         "}\n";
}

class ResourcesTest : public restest::DeviceTest {
 protected:
  void SetUp() override {
    restest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    CGraphicsDevice::GetInstance().device = device_;
    // A 5 x 3 picture, not a power of two in either direction.
    texfiles::WriteFile("odd.png", texfiles::Png(5, 3, 4, [](int, int) {
      return texfiles::Rgba(255, 255, 255, 255);
    }));
    cache_ = new CResourceCache;
  }
  void TearDown() override {
    delete cache_;  // before the device, as at shutdown
    CGraphicsDevice::GetInstance().device = nullptr;
    restest::DeviceTest::TearDown();
  }

  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // Draws with identity transforms and no lighting onto black; true where the
  // pixel (x, y) was drawn.
  bool DrawnAt(CStaticMesh* mesh, int x, int y) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device_->SetTransform(D3DTS_WORLD, &identity);
    device_->SetTransform(D3DTS_VIEW, &identity);
    device_->SetTransform(D3DTS_PROJECTION, &identity);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    mesh->Draw();
    device_->EndScene();
    return (BackBufferAt(x, y) & 0xFFFFFF) != 0;
  }

  CResourceCache* cache_ = nullptr;
};

TEST_F(ResourcesTest, CacheKeepsOneObjectPerNameByteForByte) {
  CTexture* first = cache_->GetTexture("odd.png");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache_->GetTexture("odd.png"), first);
  CTexture* dotted = cache_->GetTexture("./odd.png");
  EXPECT_NE(dotted, first);
  EXPECT_NE(first->texture, nullptr);
  EXPECT_NE(dotted->texture, nullptr);  // loaded a second time
  EXPECT_NE(dotted->texture, first->texture);
  EXPECT_EQ(dotted->fileName, "./odd.png");

  // A missing file still gives an object (empty), kept for the next ask.
  CTexture* missing = cache_->GetTexture("data/texture/none.png");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->texture, nullptr);
  EXPECT_EQ(missing->rect.right, 0);
  EXPECT_EQ(cache_->GetTexture("data/texture/none.png"), missing);

  WriteText("quads.x", TwoQuadModel(1, 1, nullptr));
  CStaticMesh* mesh = cache_->GetStaticMesh("quads.x");
  EXPECT_EQ(cache_->GetStaticMesh("quads.x"), mesh);
  EXPECT_NE(cache_->GetStaticMesh("./quads.x"), mesh);
}

TEST_F(ResourcesTest, NonPowerOfTwoKeepsSizeInCacheAndIsEnlargedAsMaterial) {
  CTexture* cached = cache_->GetTexture("odd.png");
  D3DSURFACE_DESC desc{};
  ASSERT_NE(cached->texture, nullptr);
  cached->texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 5u);
  EXPECT_EQ(desc.Height, 3u);
  EXPECT_EQ(cached->rect.right, 5);
  EXPECT_EQ(cached->rect.bottom, 3);
  EXPECT_EQ(cached->info.Width, 5u);

  WriteText("quads.x", TwoQuadModel(1, 1, "odd.png"));
  CStaticMesh* mesh = cache_->GetStaticMesh("quads.x");
  ASSERT_EQ(mesh->materialCount, 2u);
  ASSERT_NE(mesh->textures[0].texture, nullptr);
  mesh->textures[0].texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 8u);
  EXPECT_EQ(desc.Height, 4u);
  EXPECT_EQ(mesh->textures[0].rect.right, 5);
  EXPECT_EQ(mesh->textures[0].rect.bottom, 3);
  EXPECT_EQ(mesh->textures[1].texture, nullptr);  // no texture name, no texture
  // Material colours come through, ambient copied from diffuse.
  EXPECT_EQ(mesh->materials[1].Diffuse.r, 0.5f);
  EXPECT_EQ(mesh->materials[1].Ambient.r, 0.5f);
  EXPECT_EQ(mesh->materials[1].Ambient.a, mesh->materials[1].Diffuse.a);
  EXPECT_EQ(mesh->mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
  EXPECT_EQ(mesh->fileName, "quads.x");
}

TEST_F(ResourcesTest, MaterialOfAlphaZeroIsNeverDrawnButSmallAlphaIs) {
  WriteText("quads.x", TwoQuadModel(0.0f, 0.001f, nullptr));
  CStaticMesh mesh;
  ASSERT_TRUE(mesh.Load(device_, "quads.x"));
  EXPECT_FALSE(DrawnAt(&mesh, kWidth / 4, kHeight / 2));
  EXPECT_TRUE(DrawnAt(&mesh, 3 * kWidth / 4, kHeight / 2));
  WriteText("quads2.x", TwoQuadModel(1.0f, 0.0f, "odd.png"));
  ASSERT_TRUE(mesh.Load(device_, "./quads2.x"));
  EXPECT_EQ(mesh.fileName, "quads2.x");
  EXPECT_TRUE(DrawnAt(&mesh, kWidth / 4, kHeight / 2));  // textured white
  EXPECT_FALSE(DrawnAt(&mesh, 3 * kWidth / 4, kHeight / 2));
}

TEST_F(ResourcesTest, IntersectMeshReportsWorldDistanceAndLeavesMissesAlone) {
  WriteText("quads.x", TwoQuadModel(1, 1, nullptr));
  CStaticMesh* mesh = cache_->GetStaticMesh("quads.x");
  ASSERT_NE(mesh->mesh, nullptr);
  // Scaled by 2 and moved 10 along z: the quads lie at world z = 11.
  D3DXMATRIX scale, move, world;
  D3DXMatrixScaling(&scale, 2, 2, 2);
  D3DXMatrixTranslation(&move, 0, 0, 10);
  world = scale * move;
  float distance = -1;
  DWORD face = 0xABCD;
  ASSERT_TRUE(IntersectMesh(mesh, world, D3DXVECTOR3(1.5f, 0.5f, 0), D3DXVECTOR3(0, 0, 1),
                            &distance, &face));
  EXPECT_FLOAT_EQ(distance, 11.0f);
  EXPECT_GE(face, 2u);  // the right quad's faces come second
  EXPECT_LE(face, 3u);

  // Flattened to zero depth the object cannot be hit, and nothing is reported.
  D3DXMATRIX flat;
  D3DXMatrixScaling(&flat, 2, 2, 0);
  face = 0xABCD;
  distance = -1;
  EXPECT_FALSE(IntersectMesh(mesh, flat, D3DXVECTOR3(1.5f, 0.5f, -5), D3DXVECTOR3(0, 0, 1),
                             &distance, &face));
  EXPECT_EQ(face, 0xABCDu);
  EXPECT_EQ(distance, -1);

  EXPECT_FALSE(IntersectMesh(mesh, world, D3DXVECTOR3(5, 0, 0), D3DXVECTOR3(0, 0, 1), &distance,
                             &face));
  EXPECT_EQ(face, 0xABCDu);
  EXPECT_FALSE(IntersectMesh(mesh, world, D3DXVECTOR3(0.5f, 0, 20), D3DXVECTOR3(0, 0, 1),
                             &distance, &face));  // the quads are behind it
  EXPECT_EQ(face, 0xABCDu);
  // The face index output is optional.
  EXPECT_TRUE(IntersectMesh(mesh, world, D3DXVECTOR3(-1, 0, 0), D3DXVECTOR3(0, 0, 1), &distance));
}

TEST_F(ResourcesTest, BadModelsGiveEmptyMeshesThatDrawNothing) {
  const std::string good = TwoQuadModel(1, 1, "odd.png");
  WriteText("empty.x", "");
  WriteText("cut.x", good.substr(0, good.size() / 2));
  WriteText("junk.x", "this is not a model");
  WriteText("binary.x", "xof 0303bin 0032\x01\x02\x03");
  for (const char* name : {"missing.x", "empty.x", "cut.x", "junk.x", "binary.x"}) {
    CStaticMesh* mesh = cache_->GetStaticMesh(name);
    ASSERT_NE(mesh, nullptr) << name;
    EXPECT_EQ(mesh->mesh, nullptr) << name;
    EXPECT_EQ(mesh->materialCount, 0u) << name;
    EXPECT_EQ(mesh->textures, nullptr) << name;
    EXPECT_FALSE(DrawnAt(mesh, kWidth / 2, kHeight / 2)) << name;
    float distance = 0;
    EXPECT_FALSE(IntersectMesh(mesh, D3DXMATRIX(), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1),
                               &distance));
  }
  EXPECT_FALSE(IntersectMesh(nullptr, D3DXMATRIX(), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1),
                             nullptr));
}

// Only a picture whose every texel is at least half opaque counts as opaque: its
// shadow is then cast without the alpha test.
TEST_F(ResourcesTest, APictureIsOpaqueOnlyWhenNoTexelIsLessThanHalfOpaque) {
  const std::pair<int, bool> cases[] = {{255, true}, {128, true}, {127, false}, {0, false}};
  for (const auto& [alpha, opaque] : cases) {
    // One texel of the 8 x 8 picture has that alpha: the mip levels average it away.
    texfiles::WriteFile("alpha.png", texfiles::Png(8, 8, 4, [alpha = alpha](int x, int y) {
      return texfiles::Rgba(90, 160, 40, x == 5 && y == 2 ? alpha : 255);
    }));
    CTexture picture;
    ASSERT_TRUE(picture.LoadFromFile("alpha.png", false)) << alpha;
    EXPECT_GT(picture.texture->GetLevelCount(), 1u);
    EXPECT_EQ(picture.opaque, opaque) << "one texel of alpha " << alpha;
    picture.Release();
    EXPECT_FALSE(picture.opaque);
  }
  texfiles::WriteFile("rgb.png", texfiles::Png(4, 4, 3, [](int, int) {
    return texfiles::Rgba(1, 2, 3, 0);
  }));
  CTexture rgb;
  ASSERT_TRUE(rgb.LoadFromFile("rgb.png", true));
  EXPECT_TRUE(rgb.opaque) << "a picture without alpha";
  CTexture created;
  ASSERT_TRUE(created.Create(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
  EXPECT_FALSE(created.opaque) << "nothing is known of a created texture";
  EXPECT_FALSE(CTexture().opaque);
}

TEST_F(ResourcesTest, CreatedTexturesFillAndRelease) {
  CTexture white;
  ASSERT_TRUE(white.Create(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
  ASSERT_TRUE(white.Fill(0xFFFFFFFF, 0));
  EXPECT_EQ(TexturePixels(white.texture, 0), std::vector<std::uint32_t>{0xFFFFFFFFu});
  EXPECT_EQ(white.info.MipLevels, 1u);
  EXPECT_EQ(white.info.Format, D3DFMT_A8R8G8B8);

  CTexture target;
  ASSERT_TRUE(target.Create(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT));
  EXPECT_EQ(target.info.Width, 32u);
  EXPECT_EQ(target.rect.bottom, 16);
  ASSERT_NE(target.surface, nullptr);
  EXPECT_FALSE(target.Fill(0, 0));  // render targets cannot be locked
  // Drawn into as render target 0, then read back.
  target.SetAsRenderTarget(0);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
  EXPECT_EQ(ReadPixels(target.surface)[0], 0xFF336699u);
  IDirect3DSurface9* backBuffer = nullptr;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
  device_->SetRenderTarget(0, backBuffer);
  backBuffer->Release();

  CTexture loaded;
  EXPECT_FALSE(loaded.LoadFromFile("nothing.png", true));
  EXPECT_EQ(loaded.texture, nullptr);
  ASSERT_TRUE(loaded.LoadFromFile("odd.png", false));
  EXPECT_EQ(loaded.info.Width, 5u);
  loaded.Release();
  EXPECT_EQ(loaded.texture, nullptr);
  EXPECT_EQ(loaded.surface, nullptr);
  EXPECT_TRUE(loaded.fileName.empty());
  EXPECT_EQ(loaded.rect.right, 0);
  EXPECT_EQ(loaded.info.Width, 0u);
  loaded.Release();  // twice is fine
  EXPECT_FALSE(loaded.Fill(0, 0));
}

// Scenes are built on a loader thread: what it loads through the cache must draw
// on the main thread afterwards.
TEST_F(ResourcesTest, LoadedOnTheLoaderThreadDrawsOnTheMainThread) {
  WriteText("quads.x", TwoQuadModel(1, 0, "odd.png"));
  CStaticMesh* mesh = nullptr;
  CTexture* texture = nullptr;
  std::thread loader([&] {
    mesh = cache_->GetStaticMesh("quads.x");
    texture = cache_->GetTexture("odd.png");
  });
  loader.join();
  ASSERT_NE(mesh->mesh, nullptr);
  ASSERT_NE(texture->texture, nullptr);
  EXPECT_TRUE(DrawnAt(mesh, kWidth / 4, kHeight / 2));
  EXPECT_FALSE(DrawnAt(mesh, 3 * kWidth / 4, kHeight / 2));
  EXPECT_EQ(cache_->GetTexture("odd.png"), texture);
}

TEST_F(ResourcesTest, SkinnedMeshesAreSharedByName) {
  auto first = cache_->GetSkinMesh("data/model/none.x");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache_->GetSkinMesh("data/model/none.x"), first);
  EXPECT_NE(cache_->GetSkinMesh("./data/model/none.x"), first);
  EXPECT_EQ(first.use_count(), 2);  // ours and the cache's
}

}  // namespace
