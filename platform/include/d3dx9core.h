// D3DX core objects: the data buffer, the sprite batch and the font.
#pragma once
#include <d3d9.h>
#include "d3dx9math.h"

// A block of bytes handed out by D3DX (materials, adjacency, compiler messages).
struct ID3DXBuffer : public IUnknown {
  virtual LPVOID GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// Creates a zero-filled buffer of the given size.
HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);

// The D3DX vector and matrix types come from <d3dx9math.h>; only pointers to
// them appear below.
struct D3DXMATRIX;
struct D3DXVECTOR2;
struct D3DXVECTOR3;

// ---------------------------------------------------------------- sprite
#define D3DXSPRITE_DONOTSAVESTATE (1 << 0)
#define D3DXSPRITE_DONOTMODIFY_RENDERSTATE (1 << 1)
#define D3DXSPRITE_OBJECTSPACE (1 << 2)
#define D3DXSPRITE_BILLBOARD (1 << 3)
#define D3DXSPRITE_ALPHABLEND (1 << 4)
#define D3DXSPRITE_SORT_TEXTURE (1 << 5)
#define D3DXSPRITE_SORT_DEPTH_FRONTTOBACK (1 << 6)
#define D3DXSPRITE_SORT_DEPTH_BACKTOFRONT (1 << 7)

// A batch of screen-space textured quads. Draw queues a quad; End (or Flush)
// draws the queue through the device with the sprite's own render states and
// restores the device's states afterwards (unless told not to).
struct ID3DXSprite : public IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
  virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
  virtual HRESULT SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) = 0;
  virtual HRESULT SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) = 0;
  virtual HRESULT Begin(DWORD flags) = 0;
  virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* sourceRect,
                       const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                       D3DCOLOR color) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT End() = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXSprite* LPD3DXSPRITE;

HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 device, LPD3DXSPRITE* sprite);

// ---------------------------------------------------------------- font
// GDI values the font description uses.
#ifndef LF_FACESIZE
#define LF_FACESIZE 32
#endif
#ifndef FW_DONTCARE
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_BOLD 700
#endif
#ifndef DEFAULT_CHARSET
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#endif
#ifndef OUT_DEFAULT_PRECIS
#define OUT_DEFAULT_PRECIS 0
#endif
#ifndef DEFAULT_QUALITY
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#endif
#ifndef DEFAULT_PITCH
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#endif
#ifndef FF_DONTCARE
#define FF_DONTCARE (0 << 4)
#define FF_ROMAN (1 << 4)
#define FF_SWISS (2 << 4)
#define FF_MODERN (3 << 4)
#endif
// DrawText format flags.
#ifndef DT_CALCRECT
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#endif

typedef struct _D3DXFONT_DESCA {
  INT Height;
  UINT Width;
  UINT Weight;
  UINT MipLevels;
  BOOL Italic;
  BYTE CharSet;
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  CHAR FaceName[LF_FACESIZE];
} D3DXFONT_DESCA, *LPD3DXFONT_DESCA;
typedef D3DXFONT_DESCA D3DXFONT_DESC;

// A bitmap font drawn through a sprite. Text is ANSI (Shift-JIS): printable
// ASCII has glyphs, every other character is drawn as a box.
struct ID3DXFont : public IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
  virtual HRESULT PreloadTextA(LPCSTR string, INT count) = 0;
  // Returns the height of the text drawn (or measured with DT_CALCRECT, which
  // only widens/heightens rect and draws nothing); 0 on failure.
  virtual INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count, LPRECT rect,
                        DWORD format, D3DCOLOR color) = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXFont* LPD3DXFONT;

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR faceName,
                               LPD3DXFONT* font);
