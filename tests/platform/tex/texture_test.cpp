// Textures through the device: sizes, mip chains, pools, colour keys, cube maps
// and bad files.
#include <d3dx9.h>

#include <filesystem>

#include "tex_files.h"
#include "test_device.h"

namespace {

class TextureTest : public restest::DeviceTest {
 protected:
  // A 5 x 3 picture: red left column, green elsewhere, a magenta pixel at (4, 2).
  void WriteOddPng(const std::string& path) {
    texfiles::WriteFile(path, texfiles::Png(5, 3, 4, [](int x, int y) {
      if (x == 4 && y == 2) return texfiles::Rgba(255, 0, 255, 255);
      return x == 0 ? texfiles::Rgba(255, 0, 0, 255) : texfiles::Rgba(0, 255, 0, 255);
    }));
  }

  static D3DSURFACE_DESC Level(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(level, &desc), S_OK);
    return desc;
  }
};

TEST_F(TextureTest, DefaultSizeEnlargesToPowersOfTwoWithFullChain) {
  WriteOddPng("odd.png");
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, "odd.png", D3DX_DEFAULT, D3DX_DEFAULT,
                                         D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                         D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture),
            S_OK);
  EXPECT_EQ(info.Width, 5u);
  EXPECT_EQ(info.Height, 3u);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  EXPECT_EQ(Level(texture, 0).Width, 8u);
  EXPECT_EQ(Level(texture, 0).Height, 4u);
  EXPECT_EQ(Level(texture, 0).Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(Level(texture, 0).Format, D3DFMT_A8R8G8B8);
  ASSERT_EQ(texture->GetLevelCount(), 4u);  // 8x4, 4x2, 2x1, 1x1
  EXPECT_EQ(Level(texture, 3).Width, 1u);
  // Stretched: the left edge stays red, the right half green.
  const auto level0 = TexturePixels(texture, 0);
  EXPECT_EQ(level0[0], 0xFFFF0000u);
  EXPECT_EQ(level0[8 + 5], 0xFF00FF00u);
  texture->Release();
}

TEST_F(TextureTest, NonPow2KeepsTheFileSizeAndPixels) {
  WriteOddPng("odd.png");
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, "odd.png", D3DX_DEFAULT_NONPOW2,
                                         D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                         D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                         nullptr, &texture),
            S_OK);
  EXPECT_EQ(Level(texture, 0).Width, 5u);
  EXPECT_EQ(Level(texture, 0).Height, 3u);
  EXPECT_EQ(texture->GetLevelCount(), 3u);  // 5x3, 2x1, 1x1
  const auto level0 = TexturePixels(texture, 0);
  ASSERT_EQ(level0.size(), 15u);
  EXPECT_EQ(level0[5], 0xFFFF0000u);
  EXPECT_EQ(level0[14], 0xFFFF00FFu);
  texture->Release();
}

TEST_F(TextureTest, ColourKeyDefaultPoolAndPlainLoad) {
  WriteOddPng("odd.png");
  IDirect3DTexture9* keyed = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, "odd.png", D3DX_DEFAULT_NONPOW2,
                                         D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN,
                                         D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFF00FF,
                                         nullptr, nullptr, &keyed),
            S_OK);
  EXPECT_EQ(Level(keyed, 0).Pool, D3DPOOL_DEFAULT);
  EXPECT_EQ(keyed->GetLevelCount(), 1u);
  const auto pixels = TexturePixels(keyed, 0);
  EXPECT_EQ(pixels[14], 0u);  // the magenta pixel became transparent black
  EXPECT_EQ(pixels[13], 0xFF00FF00u);
  keyed->Release();

  IDirect3DTexture9* plain = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileA(device_, "odd.png", &plain), S_OK);
  EXPECT_EQ(Level(plain, 0).Width, 8u);
  EXPECT_EQ(plain->GetLevelCount(), 4u);
  plain->Release();
}

TEST_F(TextureTest, FilesAreFoundRegardlessOfCaseAndSeparator) {
  std::filesystem::create_directories("data/texture/message");
  WriteOddPng("data/texture/message/Start.png");
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, "data\\Texture\\message\\start.PNG", &texture),
            S_OK);
  if (texture) texture->Release();
  D3DXIMAGE_INFO info{};
  EXPECT_EQ(D3DXGetImageInfoFromFileA("DATA/texture/MESSAGE/start.png", &info), S_OK);
  EXPECT_EQ(info.Width, 5u);
}

TEST_F(TextureTest, CubeMapFromDdsHasSixFacesAndAFullChain) {
  texfiles::WriteFile("cube.dds", texfiles::DdsCube(8, 1, true));
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(D3DXCreateCubeTextureFromFileA(device_, "cube.dds", &cube), S_OK);
  EXPECT_EQ(cube->GetLevelCount(), 4u);
  D3DSURFACE_DESC desc{};
  cube->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 8u);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  for (int face = 0; face < 6; ++face) {
    for (UINT level : {0u, 3u}) {
      D3DLOCKED_RECT locked{};
      ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), level, &locked, nullptr, D3DLOCK_READONLY),
                S_OK);
      // Generated levels of a flat face keep its colour.
      EXPECT_EQ(*static_cast<const std::uint32_t*>(locked.pBits), texfiles::CubePixel(face, 0))
          << "face " << face << " level " << level;
      cube->UnlockRect(D3DCUBEMAP_FACES(face), level);
    }
  }
  cube->Release();
}

TEST_F(TextureTest, CreateTextureAppliesD3DXDefaults) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(D3DXCreateTexture(device_, 64, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                              D3DPOOL_DEFAULT, &texture),
            S_OK);
  EXPECT_EQ(Level(texture, 0).Usage & D3DUSAGE_RENDERTARGET, DWORD(D3DUSAGE_RENDERTARGET));
  texture->Release();
  ASSERT_EQ(D3DXCreateTexture(device_, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                              D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &texture),
            S_OK);
  EXPECT_EQ(Level(texture, 0).Width, 256u);
  EXPECT_EQ(Level(texture, 0).Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(texture->GetLevelCount(), 9u);
  texture->Release();
  EXPECT_EQ(D3DXCreateTexture(nullptr, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
            D3DERR_INVALIDCALL);
}

// Missing, empty, truncated and malformed files fail cleanly and leave no
// texture behind (the fixture checks that nothing still holds the device).
TEST_F(TextureTest, BadFilesGiveErrorsAndNoTexture) {
  const auto png = texfiles::Png(8, 8, 4, [](int x, int) { return texfiles::Rgba(x, 0, 0, 255); });
  texfiles::WriteFile("empty.png", {});
  texfiles::WriteFile("short.png", std::vector<unsigned char>(png.begin(), png.begin() + 30));
  texfiles::WriteFile("cut.png", std::vector<unsigned char>(png.begin(), png.end() - 20));
  texfiles::WriteFile("text.png", {'h', 'e', 'l', 'l', 'o'});
  const auto cube = texfiles::DdsCube(4, 1, true);
  texfiles::WriteFile("cut.dds", std::vector<unsigned char>(cube.begin(), cube.end() - 4));
  auto dxt = cube;
  dxt[4 + 76] = 0x4;
  std::memcpy(&dxt[4 + 80], "DXT1", 4);
  texfiles::WriteFile("dxt.dds", dxt);
  texfiles::WriteFile("flat.dds", texfiles::DdsCube(4, 1, false));
  texfiles::WriteFile("cube.dds", cube);
  texfiles::WriteFile("good.png", png);

  for (const char* name : {"missing.png", "empty.png", "short.png", "cut.png", "text.png",
                           "cut.dds", "dxt.dds", "cube.dds"}) {
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    D3DXIMAGE_INFO info{};
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileExA(
        device_, name, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture)))
        << name;
    EXPECT_EQ(texture, nullptr) << name;
  }
  for (const char* name : {"missing.dds", "cut.dds", "dxt.dds", "flat.dds", "good.png",
                           "empty.png"}) {
    IDirect3DCubeTexture9* texture = reinterpret_cast<IDirect3DCubeTexture9*>(0x1);
    EXPECT_EQ(D3DXCreateCubeTextureFromFileA(device_, name, &texture) < 0, true) << name;
    EXPECT_EQ(texture, nullptr) << name;
  }
  // A flat 32-bit DDS is an ordinary texture.
  IDirect3DTexture9* flat = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, "flat.dds", &flat), S_OK);
  if (flat) flat->Release();
}

}  // namespace
