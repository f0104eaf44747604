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
