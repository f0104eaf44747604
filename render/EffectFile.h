// Loading the game's effect files: a file that is missing or does not compile is
// reported to the user once, with the compiler's messages, and the game goes on
// without that effect.
#pragma once
#include <d3dx9.h>

// "シェーダコンパイルエラー" in Shift-JIS: the caption of the compile error box.
inline constexpr char kShaderCompileErrorCaption[] =
    "\x83\x56\x83\x46\x81\x5B\x83\x5F\x83\x52\x83\x93\x83\x70\x83\x43\x83\x8B\x83\x47\x83\x89"
    "\x81\x5B";

// D3DXCreateEffectFromFileA on the game's device; on failure shows the compiler's
// text (empty when there is none) in an OK box without owner and returns null.
ID3DXEffect* CreateEffectOrReport(const char* fileName);

// Releases the effect (if any) and sets the pointer to null.
void ReleaseEffect(ID3DXEffect*& effect);

// SetVector of a D3DX colour.
HRESULT SetColour(ID3DXEffect* effect, const char* name, const D3DXCOLOR& colour);
