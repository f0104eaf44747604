// The shipped content through the game's own loaders on a headless device:
// stage models and their textures through the resource cache, the pictures,
// the cube map, the slime as a skinned mesh (and where its skin puts the body
// once the bones stand as the game sets them), the sounds through the WAV
// reader, and the models' faces pointing outwards when the device draws them.
#include <d3d9.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "support/headless_device.h"
#include "app/WaveFile.h"
#include "render/MeshObject.h"
#include "render/ResourceCache.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

namespace {

constexpr UINT kWidth = 96, kHeight = 64;

class GameLoaders : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    device_ = glomp::test::CreateHeadlessDevice(d3d_, kWidth, kHeight);
    ASSERT_NE(device_, nullptr);
    CGraphicsDevice::GetInstance().device = device_;
    cache_ = new CResourceCache;
  }

  void TearDown() override {
    delete cache_;  // before the device, as at shutdown
    CGraphicsDevice::GetInstance().device = nullptr;
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
  }

  static std::vector<std::string> StageModels() {
    std::set<std::string> names{"./data/model/Map/Sky.x"};
    for (const char* stage : {"./data/csv/title.csv", "./data/csv/model3.csv"}) {
      std::ifstream in(stage);
      std::string line;
      for (int skip = 2; skip > 0 && std::getline(in, line); --skip) {
      }
      while (std::getline(in, line)) names.insert(line.substr(0, line.find(',')));
    }
    return {names.begin(), names.end()};
  }

  // Draws `mesh` unlit from `eye` towards `at` onto black; the number of
  // pixels that were drawn.
  int DrawnPixels(CStaticMesh* mesh, D3DXVECTOR3 eye, D3DXVECTOR3 at, float scale = 1.0f) {
    D3DXMATRIX world, view, projection;
    D3DXMatrixScaling(&world, scale, scale, scale);
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, static_cast<float>(kWidth) / kHeight,
                               0.01f, 2000.0f);
    device_->SetTransform(D3DTS_WORLD, &world);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // the default, said out loud
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    mesh->Draw();
    device_->EndScene();
    int drawn = 0;
    for (std::uint32_t p : BackBufferPixels()) drawn += (p & 0xFFFFFF) != 0;
    return drawn;
  }

  std::vector<std::uint32_t> BackBufferPixels() {
    std::vector<std::uint32_t> pixels;
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    if (SUCCEEDED(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                       D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
        SUCCEEDED(device_->GetRenderTargetData(back, copy))) {
      D3DLOCKED_RECT locked{};
      if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y) {
          std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width],
                      static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                      desc.Width * 4);
        }
        copy->UnlockRect();
      }
    }
    if (copy) copy->Release();
    if (back) back->Release();
    return pixels;
  }

  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  CResourceCache* cache_ = nullptr;
};

TEST_F(GameLoaders, EveryStageModelLoadsWithItsTextures) {
  const auto models = StageModels();
  EXPECT_GT(models.size(), 30u);
  for (const std::string& name : models) {
    CStaticMesh* mesh = cache_->GetStaticMesh(name);
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->GetMesh(), nullptr) << name << " did not load";
    EXPECT_EQ(mesh->GetMesh()->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1))
        << name;
    EXPECT_EQ(mesh->GetMesh()->GetOptions() & D3DXMESH_32BIT, 0u) << name << ": 16-bit indices";
    EXPECT_GT(mesh->GetMaterialCount(), 0u) << name;
    // Every material that names a picture got it: read the names back from the file.
    std::ifstream in(name);
    std::stringstream text;
    text << in.rdbuf();
    const std::string x = text.str();
    size_t named = 0;
    for (size_t at = x.find("TextureFilename"); at != std::string::npos;
         at = x.find("TextureFilename", at + 1)) {
      ++named;
    }
    size_t loaded = 0;
    for (DWORD i = 0; i < mesh->GetMaterialCount(); ++i) loaded += mesh->GetTextures()[i].GetTexture() != nullptr;
    EXPECT_EQ(loaded, named) << name;
  }
}

TEST_F(GameLoaders, PicturesAndTheCubeMapLoad) {
  for (const char* path :
       {"./data/texture/white.png", "data/texture/message/loading_message.png",
        "data/texture/message/press_enter_key.png", "data/texture/message/start_message.png",
        "data/texture/message/clear_message.png", "data/texture/kamifubuki.png",
        "data/texture/WalkEffect.png", "data/texture/WalkEffect2.png", "data/texture/jumpEffect.png",
        "data/texture/flag.png", "data/texture/flag2.png", "data/texture/checkeffect.png"}) {
    CTexture* t = cache_->GetTexture(path);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t->GetTexture(), nullptr) << path;
  }
  for (const char* ramp : {"data/texture/shader/Toon.png", "data/Texture/Toon.png"}) {
    CTexture ramp_texture;
    EXPECT_TRUE(ramp_texture.LoadFromFile(ramp, false)) << ramp;
  }
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(D3DXCreateCubeTextureFromFileA(device_, "data/Texture/CubeMap.dds", &cube), D3D_OK);
  ASSERT_NE(cube, nullptr);
  cube->Release();
}

TEST_F(GameLoaders, SlimeSkinPutsTheBodyOnTheFloorWhenTheCoreStandsAtOne) {
  auto slime = cache_->GetSkinMesh("./data/model/Character/Player/slime9.x");
  ASSERT_TRUE(slime);
  ASSERT_EQ(slime->GetFrames().size(), 27u);
  EXPECT_STREQ(slime->GetFrames()[0]->Name, "\x8A\x6A");
  ASSERT_EQ(slime->GetMeshContainers().size(), 1u);
  Korvex::MESHCONTAINER_EX* body = slime->GetMeshContainers()[0];
  ASSERT_NE(body->pSkinInfo, nullptr);
  ASSERT_EQ(body->pSkinInfo->GetNumBones(), 26u);
  ASSERT_NE(body->textures[0].GetTexture(), nullptr) << "the face picture next to the model";

  // The game keeps the core at local (0, 1, 0) and every bone at its rest
  // offset from it, with the slime's position 0.5 below the floor.
  Korvex::CMeshObject object;
  ASSERT_TRUE(object.Init(slime));
  for (auto* node : object.GetNodes()) {
    if (node->parent == nullptr) D3DXMatrixTranslation(&node->localMatrix, 0, 1, 0);
  }
  D3DXMATRIX world;
  D3DXMatrixIdentity(&world);
  object.Update(world);
  std::vector<D3DXMATRIX> bones(body->boneFrames.size());
  for (size_t b = 0; b < bones.size(); ++b) {
    for (auto* node : object.GetNodes()) {
      if (node->frame == body->boneFrames[b]) bones[b] = node->skinMatrix;
    }
  }
  ID3DXMesh* source = body->sourceMesh;
  const DWORD count = source->GetNumVertices();
  const DWORD stride = source->GetNumBytesPerVertex();
  std::vector<BYTE> out(static_cast<size_t>(count) * stride);
  void* in = nullptr;
  ASSERT_EQ(source->LockVertexBuffer(D3DLOCK_READONLY, &in), D3D_OK);
  ASSERT_EQ(body->pSkinInfo->UpdateSkinnedMesh(bones.data(), nullptr, in, out.data()), D3D_OK);
  std::vector<BYTE> rest(static_cast<const BYTE*>(in), static_cast<const BYTE*>(in) + out.size());
  source->UnlockVertexBuffer();
  float lowest = 1e9f, highest = -1e9f, worstShift = 0;
  for (DWORD v = 0; v < count; ++v) {
    float p[3], r[3];
    std::memcpy(p, &out[static_cast<size_t>(v) * stride], 12);
    std::memcpy(r, &rest[static_cast<size_t>(v) * stride], 12);
    lowest = std::min(lowest, p[1]);
    highest = std::max(highest, p[1]);
    worstShift = std::max({worstShift, std::fabs(p[0] - r[0]), std::fabs(p[1] - 1 - r[1]),
                           std::fabs(p[2] - r[2])});
  }
  EXPECT_LT(worstShift, 1e-4f) << "at rest the skin moves the whole body up by one";
  EXPECT_NEAR(lowest, 0.5f, 1e-4f) << "bottom of the body = position + 0.5 = the floor";
  EXPECT_NEAR(highest, 1.5f, 1e-4f);
}

TEST_F(GameLoaders, SoundsReadThroughTheWaveReader) {
  for (const char* path :
       {"data/sound/bgm/title.wav", "data/sound/bgm/game.wav", "data/sound/se/UI/button_select.wav",
        "data/sound/se/UI/button_derection.wav", "data/sound/se/Slime/jump.wav",
        "data/sound/se/Slime/stamp.wav", "data/sound/se/Slime/walk.wav",
        "data/sound/se/Effect/flag_effect.wav", "data/sound/se/Effect/clear_effect.wav",
        "data/sound/se/Map/gate.wav", "data/sound/se/Map/gate_open.wav"}) {
    CWaveFile wave;
    ASSERT_EQ(wave.Open(path), S_OK) << path;
    const WAVEFORMATEX* format = wave.GetFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM) << path;
    EXPECT_EQ(format->nSamplesPerSec, 44100u) << path;
    EXPECT_EQ(format->wBitsPerSample, 16) << path;
    const DWORD size = wave.GetSize();
    std::vector<BYTE> data(size);
    DWORD got = 0;
    EXPECT_EQ(wave.Read(data.data(), size, &got), S_OK) << path;
    EXPECT_EQ(got, size) << path;
    wave.Close();
  }
}

TEST_F(GameLoaders, FacesPointOutwardsWhenTheDeviceDrawsThem) {
  // With D3D's default culling a closed solid shows from outside and vanishes
  // from inside; the sky does the opposite.
  CStaticMesh* step = cache_->GetStaticMesh("./data/model/Map/step_h4.x");  // x -2..2, y -4..0
  ASSERT_NE(step->GetMesh(), nullptr);
  EXPECT_GT(DrawnPixels(step, {6, 3, -8}, {0, -2, 0}), 200) << "seen from outside";
  EXPECT_EQ(DrawnPixels(step, {0, -2, 0}, {1, -2, 0.5f}), 0) << "seen from inside";
  CStaticMesh* sky = cache_->GetStaticMesh("./data/model/Map/Sky.x");
  ASSERT_NE(sky->GetMesh(), nullptr);
  EXPECT_EQ(DrawnPixels(sky, {0, 0, 0}, {1, 0.2f, 0}, 10.0f), static_cast<int>(kWidth * kHeight))
      << "the sky covers the view from inside";
  EXPECT_EQ(DrawnPixels(sky, {0, 0, -4000}, {0, 0, 0}, 1.0f), 0) << "and is culled from outside";
}

}  // namespace
