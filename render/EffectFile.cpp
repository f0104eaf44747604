#include "render/EffectFile.h"

#include <windows.h>

#include <string>

#include "app/GraphicsDevice.h"

ID3DXEffect* CreateEffectOrReport(const char* fileName) {
  ID3DXEffect* effect = nullptr;
  ID3DXBuffer* errors = nullptr;
  const HRESULT result =
      D3DXCreateEffectFromFileA(CGraphicsDevice::GetInstance().device, fileName, nullptr,
                                nullptr, 0, nullptr, &effect, &errors);
  if (FAILED(result) || !effect) {
    std::string text;
    if (errors && errors->GetBufferPointer()) {
      const char* begin = static_cast<const char*>(errors->GetBufferPointer());
      text.assign(begin, strnlen(begin, errors->GetBufferSize()));
    }
    MessageBoxA(nullptr, text.c_str(), kShaderCompileErrorCaption, MB_OK);
    if (errors) errors->Release();
    if (effect) effect->Release();
    return nullptr;
  }
  if (errors) errors->Release();
  return effect;
}

void ReleaseEffect(ID3DXEffect*& effect) {
  if (effect) effect->Release();
  effect = nullptr;
}

HRESULT SetColour(ID3DXEffect* effect, const char* name, const D3DXCOLOR& colour) {
  const D3DXVECTOR4 vector(colour.r, colour.g, colour.b, colour.a);
  return effect->SetVector(name, &vector);
}
