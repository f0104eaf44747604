// Stand-in for <d3d9.h>: the Direct3D 9 subset the game calls, over OpenGL.
#pragma once
#include "glomp/wintypes.h"
#include "glomp/d3dbasetypes.h"

#define _FACD3D 0x876
#define MAKE_D3DHRESULT(code) MAKE_HRESULT(1, _FACD3D, code)
#define D3DERR_INVALIDCALL MAKE_D3DHRESULT(2156)
#define D3DERR_NOTAVAILABLE MAKE_D3DHRESULT(2154)
#define D3DERR_OUTOFVIDEOMEMORY MAKE_D3DHRESULT(380)
#define D3D_OK S_OK
