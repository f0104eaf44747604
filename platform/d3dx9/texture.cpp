// D3DX texture creation: files are decoded on the CPU (d3dx9/image.h), resized
// and given their mip chain there, then written level by level into a texture
// the device creates.
#include <d3dx9tex.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "d3dx9/image.h"
#include "glomp/files.h"

namespace {

using glomp::Image;

bool IsLoadableFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// Writes one picture into a locked level, row by row at the locked pitch.
void CopyRows(const Image& image, const D3DLOCKED_RECT& locked) {
  auto* base = static_cast<unsigned char*>(locked.pBits);
  for (UINT y = 0; y < image.height; ++y) {
    std::memcpy(base + std::size_t(y) * locked.Pitch, &image.pixels[std::size_t(y) * image.width],
                std::size_t(image.width) * 4);
  }
}

// The chain of pictures for one texture (or cube face): level 0 resized to the
// texture's size, then the file's own further levels where they fit, the rest
// filtered down from the level above.
std::vector<Image> BuildChain(const glomp::DecodedFile& file, std::size_t firstLevel,
                              UINT width, UINT height, UINT levels, DWORD filter,
                              DWORD mipFilter, D3DCOLOR colorKey) {
  std::vector<Image> chain;
  chain.reserve(levels);
  for (UINT l = 0; l < levels; ++l) {
    const UINT w = std::max(1u, width >> l), h = std::max(1u, height >> l);
    if (l < file.info.MipLevels) {
      Image level = file.levels[firstLevel + l];
      glomp::ApplyColourKey(&level, colorKey);
      chain.push_back(level.width == w && level.height == h ? std::move(level)
                                                            : glomp::Resize(level, w, h, filter));
    } else {
      chain.push_back(glomp::NextMipLevel(chain.back(), mipFilter));
      if (chain.back().width != w || chain.back().height != h) {
        chain.back() = glomp::Resize(chain.back(), w, h, mipFilter);
      }
    }
  }
  return chain;
}

enum class Expect { AnyPicture, CubeMap };

// Reads and decodes a picture file. Only a DDS file holds a cube map, so when
// one is expected any other file is refused before it is decoded.
HRESULT ReadFile(LPCSTR srcFile, glomp::DecodedFile* decoded,
                 Expect expect = Expect::AnyPicture) {
  std::vector<unsigned char> bytes;
  if (!srcFile || !glomp::ReadWholeFile(srcFile, &bytes)) return D3DERR_NOTAVAILABLE;
  if (expect == Expect::CubeMap && !glomp::IsDdsFile(bytes)) return D3DXERR_INVALIDDATA;
  std::string reason;
  if (!glomp::DecodeImageFile(bytes, decoded, &reason)) return D3DXERR_INVALIDDATA;
  return S_OK;
}

UINT DefaultSide(UINT side, UINT other) {
  if (side != 0 && side != D3DX_DEFAULT && side != D3DX_DEFAULT_NONPOW2) return side;
  if (other != 0 && other != D3DX_DEFAULT && other != D3DX_DEFAULT_NONPOW2) return other;
  return 256;
}

}  // namespace

HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 device, UINT width, UINT height,
                                 UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 LPDIRECT3DTEXTURE9* texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const UINT w = DefaultSide(width, height), h = DefaultSide(height, width);
  UINT levels = glomp::ChooseLevelCount(mipLevels, w, h, 1);
  if (usage & D3DUSAGE_RENDERTARGET) levels = std::min(levels, 1u);
  if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
  return device->CreateTexture(w, h, levels, usage, format, pool, texture, nullptr);
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                          LPDIRECT3DTEXTURE9* texture) {
  return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                      0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                      D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                            UINT width, UINT height, UINT mipLevels,
                                            DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* /*palette*/,
                                            LPDIRECT3DTEXTURE9* texture) {
  if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  glomp::DecodedFile decoded;
  const HRESULT read = ReadFile(srcFile, &decoded);
  if (FAILED(read)) return read;
  if (decoded.cube) return D3DXERR_INVALIDDATA;  // a cube map is not a 2D texture
  if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE) {
    // A colour key needs somewhere to put the transparency.
    format = decoded.hasAlpha || colorKey != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  }
  if (!IsLoadableFormat(format)) return D3DERR_INVALIDCALL;

  const UINT w = glomp::ChooseTextureSize(width, decoded.info.Width);
  const UINT h = glomp::ChooseTextureSize(height, decoded.info.Height);
  UINT levels = glomp::ChooseLevelCount(mipLevels, w, h, decoded.info.MipLevels);
  if (usage & D3DUSAGE_RENDERTARGET) levels = 1;
  const std::vector<Image> chain =
      BuildChain(decoded, 0, w, h, levels, filter, mipFilter, colorKey);

  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, levels, usage, format, pool, &created, nullptr);
  if (FAILED(hr)) return hr;
  for (UINT l = 0; l < levels; ++l) {
    D3DLOCKED_RECT locked{};
    hr = created->LockRect(l, &locked, nullptr, 0);
    if (FAILED(hr)) {
      created->Release();
      return hr;
    }
    CopyRows(chain[l], locked);
    created->UnlockRect(l);
  }
  if (srcInfo) *srcInfo = decoded.info;
  *texture = created;
  return S_OK;
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                              LPDIRECT3DCUBETEXTURE9* cubeTexture) {
  if (!device || !srcFile || !cubeTexture) return D3DERR_INVALIDCALL;
  *cubeTexture = nullptr;
  glomp::DecodedFile decoded;
  const HRESULT read = ReadFile(srcFile, &decoded, Expect::CubeMap);
  if (FAILED(read)) return read;
  if (!decoded.cube) return D3DXERR_INVALIDDATA;
  const UINT edge = decoded.info.Width;
  const UINT levels = glomp::FullChainLength(edge, edge);
  const D3DFORMAT format = decoded.info.Format;
  IDirect3DCubeTexture9* created = nullptr;
  HRESULT hr = device->CreateCubeTexture(edge, levels, 0, format, D3DPOOL_MANAGED, &created,
                                         nullptr);
  if (FAILED(hr)) return hr;
  for (int face = 0; face < 6; ++face) {
    const std::vector<Image> chain =
        BuildChain(decoded, std::size_t(face) * decoded.info.MipLevels, edge, edge, levels,
                   D3DX_DEFAULT, D3DX_DEFAULT, 0);
    for (UINT l = 0; l < levels; ++l) {
      D3DLOCKED_RECT locked{};
      hr = created->LockRect(static_cast<D3DCUBEMAP_FACES>(face), l, &locked, nullptr, 0);
      if (FAILED(hr)) {
        created->Release();
        return hr;
      }
      CopyRows(chain[l], locked);
      created->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), l);
    }
  }
  *cubeTexture = created;
  return S_OK;
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* srcInfo) {
  if (!srcFile || !srcInfo) return D3DERR_INVALIDCALL;
  glomp::DecodedFile decoded;
  const HRESULT read = ReadFile(srcFile, &decoded);
  if (FAILED(read)) return read;
  *srcInfo = decoded.info;
  return S_OK;
}
