// D3DX effects over OpenGL: effect files in our own format (GLSL 330 bodies
// under a small header of parameters, techniques, passes and pass render
// states; see assets/shaders/README.md), with the ID3DXEffect calls the game
// makes. Parameters and techniques are found by name; a name the file lacks is
// a no-op that returns D3DERR_INVALIDCALL, as with D3DX.
#pragma once
#include <d3d9.h>

#include "d3dx9core.h"
#include "d3dx9math.h"

typedef LPCSTR D3DXHANDLE;
typedef D3DXHANDLE* LPD3DXHANDLE;

typedef struct _D3DXMACRO {
  LPCSTR Name;
  LPCSTR Definition;
} D3DXMACRO, *LPD3DXMACRO;

// Include handlers and effect pools are accepted as null only.
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;
struct ID3DXEffectPool : public IUnknown {};
typedef ID3DXEffectPool* LPD3DXEFFECTPOOL;

// Begin flags: by default Begin saves the render states the passes change and
// End restores them.
#define D3DXFX_DONOTSAVESTATE (1 << 0)
#define D3DXFX_DONOTSAVESHADERSTATE (1 << 1)
#define D3DXFX_DONOTSAVESAMPLERSTATE (1 << 2)

// Size argument of SetValue/GetValue meaning "the parameter's own size".
#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif

typedef struct _D3DXEFFECT_DESC {
  LPCSTR Creator;
  UINT Parameters;
  UINT Techniques;
  UINT Functions;
} D3DXEFFECT_DESC;

typedef struct _D3DXTECHNIQUE_DESC {
  LPCSTR Name;
  UINT Passes;
  UINT Annotations;
} D3DXTECHNIQUE_DESC;

typedef struct _D3DXPASS_DESC {
  LPCSTR Name;
  UINT Annotations;
  const DWORD* pVertexShaderFunction;
  const DWORD* pPixelShaderFunction;
} D3DXPASS_DESC;

struct ID3DXEffect : public IUnknown {
  // Description and look-up. Handles are what these return, or plain names.
  virtual HRESULT GetDesc(D3DXEFFECT_DESC* desc) = 0;
  virtual HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) = 0;
  virtual HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) = 0;
  virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
  virtual D3DXHANDLE GetTechnique(UINT index) = 0;
  virtual D3DXHANDLE GetTechniqueByName(LPCSTR name) = 0;
  virtual D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) = 0;

  // Parameter values. Conversions follow D3DX: a vector into a float3 takes
  // x, y, z; a float into a vector sets x; ints and bools convert to floats.
  virtual HRESULT SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) = 0;
  virtual HRESULT GetValue(D3DXHANDLE parameter, LPVOID data, UINT bytes) = 0;
  virtual HRESULT SetBool(D3DXHANDLE parameter, BOOL value) = 0;
  virtual HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) = 0;
  virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
  virtual HRESULT GetInt(D3DXHANDLE parameter, INT* value) = 0;
  virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
  virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
  virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
  virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
  virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
  virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
  // The effect keeps a reference to the texture until it is replaced or the
  // effect is released.
  virtual HRESULT SetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9 texture) = 0;
  virtual HRESULT GetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9* texture) = 0;

  // Drawing.
  virtual HRESULT GetPool(LPD3DXEFFECTPOOL* pool) = 0;
  virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
  virtual D3DXHANDLE GetCurrentTechnique() = 0;
  virtual HRESULT ValidateTechnique(D3DXHANDLE technique) = 0;
  virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
  // Binds the pass's program and render states: draws until EndPass use them.
  virtual HRESULT BeginPass(UINT pass) = 0;
  // Makes values set since BeginPass take effect for the following draws.
  virtual HRESULT CommitChanges() = 0;
  virtual HRESULT EndPass() = 0;
  virtual HRESULT End() = 0;
  virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* device) = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXEffect* LPD3DXEFFECT;

// Reads and builds an effect file. On failure *effect is null and, when
// compilationErrors is given, it receives the messages as a zero-terminated
// text ("FILE(LINE): error: ..."). Macros become #defines in every shader.
HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                         const D3DXMACRO* defines, LPD3DXINCLUDE include,
                                         DWORD flags, LPD3DXEFFECTPOOL pool,
                                         LPD3DXEFFECT* effect,
                                         LPD3DXBUFFER* compilationErrors);

// The same from text in memory.
HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 device, LPCVOID srcData, UINT srcDataLen,
                                const D3DXMACRO* defines, LPD3DXINCLUDE include, DWORD flags,
                                LPD3DXEFFECTPOOL pool, LPD3DXEFFECT* effect,
                                LPD3DXBUFFER* compilationErrors);

#define D3DXCreateEffectFromFile D3DXCreateEffectFromFileA
