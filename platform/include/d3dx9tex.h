// D3DX texture creation and image-file loading: PNG (and the other formats
// stb_image reads: JPEG, BMP, TGA) as 2D textures, uncompressed 32-bit DDS as
// 2D or cube textures. Files are found as Windows finds them (glomp/files.h).
#pragma once
#include <d3d9.h>

// Size and level arguments: D3DX_DEFAULT enlarges to powers of two (and asks for
// a full mip chain), D3DX_DEFAULT_NONPOW2 keeps the file's size, D3DX_FROM_FILE
// takes size or level count from the file.
#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

// Filters for resizing and for building mip levels.
#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)
#define D3DX_FILTER_DITHER_DIFFUSION (2 << 19)
#define D3DX_FILTER_SRGB_IN (1 << 21)
#define D3DX_FILTER_SRGB_OUT (2 << 21)
#define D3DX_FILTER_SRGB (3 << 21)

// D3DX's own failure codes (facility 0x876, as the device's).
#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA MAKE_HRESULT(1, 0x876, 2905)
#endif

typedef enum _D3DXIMAGE_FILEFORMAT {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_HDR = 7,
  D3DXIFF_PFM = 8,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
} D3DXIMAGE_FILEFORMAT;

// What D3DX reports about an image file: its own size, not the texture's.
typedef struct _D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
} D3DXIMAGE_INFO;

#ifndef GLOMP_PALETTEENTRY_DEFINED
#define GLOMP_PALETTEENTRY_DEFINED
typedef struct tagPALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;
#endif

// An empty texture. Width/height 0 or D3DX_DEFAULT become 256 (or the other
// side), levels 0 or D3DX_DEFAULT a full chain, format D3DFMT_UNKNOWN A8R8G8B8.
HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 device, UINT width, UINT height,
                                 UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 LPDIRECT3DTEXTURE9* texture);

// Loads with every argument at its default: power-of-two size, full mip chain,
// the file's format, managed pool.
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                          LPDIRECT3DTEXTURE9* texture);

// Loads with explicit size, levels, usage, format, pool, filters and colour key
// (0 = none; otherwise pixels of exactly that ARGB value become transparent
// black). srcInfo receives the file's description; the palette is never written.
HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                            UINT width, UINT height, UINT mipLevels,
                                            DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE9* texture);

// A cube texture from a DDS cube map of uncompressed 32-bit pixels (all six
// faces); compressed or partial cube maps fail with D3DXERR_INVALIDDATA.
HRESULT WINAPI D3DXCreateCubeTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                              LPDIRECT3DCUBETEXTURE9* cubeTexture);

// The file's description without creating anything.
HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* srcInfo);

#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXCreateTextureFromFileEx D3DXCreateTextureFromFileExA
#define D3DXCreateCubeTextureFromFile D3DXCreateCubeTextureFromFileA
#define D3DXGetImageInfoFromFile D3DXGetImageInfoFromFileA
