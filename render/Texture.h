// One Direct3D texture and what is known about it: loaded from an image file,
// or created empty (render targets, the 1x1 white texture).
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include <string>

class CTexture {
 public:
  CTexture();
  ~CTexture();
  CTexture(const CTexture&) = delete;
  CTexture& operator=(const CTexture&) = delete;

  // Loads an image file. keepSize true keeps the file's size, false enlarges
  // the texture to powers of two; info and rect describe the file either way.
  bool LoadFromFile(const std::string& fileName, bool keepSize);
  // An empty texture with the given Direct3D values (D3DXCreateTexture).
  bool Create(UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
              D3DPOOL pool);
  // Writes one 32-bit value into every pixel of level 0.
  bool Fill(DWORD colour, DWORD lockFlags);
  // Binds level 0 as render target `index` of the device.
  void SetAsRenderTarget(DWORD index);
  // Back to empty: no texture, no surface, no name, zero info and rect.
  void Release();

  IDirect3DTexture9* GetTexture() const { return texture; }
  IDirect3DSurface9* GetSurface() const { return surface; }
  const D3DXIMAGE_INFO& GetInfo() const { return info; }
  const RECT& GetRect() const { return rect; }
  const std::string& GetFileName() const { return fileName; }

  IDirect3DTexture9* texture;  // null when nothing is loaded
  IDirect3DSurface9* surface;  // level 0, for use as a render target
  D3DXIMAGE_INFO info;
  RECT rect;                   // (0, 0, info width, info height)
  std::string fileName;
  // Loaded from a file whose every texel, on every level, is at least half
  // opaque: no filtering brings its alpha under 0.5, so an alpha test at 0.5
  // never cuts anything out of it. False for created textures.
  bool opaque;
};
