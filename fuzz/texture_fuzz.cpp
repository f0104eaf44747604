// Feeds arbitrary bytes to the texture loaders as the game calls them: a picture
// kept at its own size (sprites, messages), one enlarged to powers of two
// (material textures), and a cube map (the environment map's DDS). Each either
// gives a texture whose levels match what it reports or fails; nothing is kept
// between inputs. (The image information is read by the same decoder and the
// game never asks for it, so it is left out: it would only decode the input again.)
#include <d3dx9.h>

#include <cstdlib>

#include "fuzz_support.h"
#include "render/Texture.h"

namespace {

constexpr char kInput[] = "picture.png";

// Every level of the texture is as large as it says and can be locked.
void CheckLevels(IDirect3DTexture9* texture) {
  const DWORD levels = texture->GetLevelCount();
  for (DWORD l = 0; l < levels; ++l) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->GetLevelDesc(l, &desc))) std::abort();
    if (FAILED(texture->LockRect(l, &locked, nullptr, D3DLOCK_READONLY))) std::abort();
    const auto* row = static_cast<const volatile unsigned char*>(locked.pBits);
    (void)row[std::size_t(desc.Height - 1) * locked.Pitch + desc.Width * 4 - 1];
    texture->UnlockRect(l);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::EnterScratchFolder("texture");
  if (!fuzzing::SharedDevice()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzzing::WriteInput(kInput, data, size)) return 0;
  IDirect3DDevice9* device = fuzzing::SharedDevice();

  for (bool keepSize : {true, false}) {
    CTexture texture;
    if (texture.LoadFromFile(kInput, keepSize)) {
      if (!texture.texture || texture.rect.right <= 0 || texture.rect.bottom <= 0) std::abort();
      CheckLevels(texture.texture);
    } else if (texture.texture || texture.surface) {
      std::abort();  // a failed load is the empty object
    }
  }

  IDirect3DCubeTexture9* cube = nullptr;
  if (SUCCEEDED(D3DXCreateCubeTextureFromFileA(device, kInput, &cube))) {
    for (int face = 0; face < 6; ++face) {
      D3DLOCKED_RECT locked{};
      if (FAILED(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &locked, nullptr, D3DLOCK_READONLY))) {
        std::abort();
      }
      cube->UnlockRect(D3DCUBEMAP_FACES(face), 0);
    }
    cube->Release();
  }
  return 0;
}
