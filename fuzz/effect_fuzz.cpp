// Feeds arbitrary bytes to the effect loader as "Shader/Sample.fx": created off
// the device's GL thread, as on the loader thread, so the header is parsed and
// checked and the GLSL is left for later (the compiler is Mesa's, not ours).
// Whatever parsed is then asked for everything the game's effect objects ask
// for by name, and every technique and pass by index. A file that does not
// parse gives an error text and no effect.
#include <d3dx9.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "fuzz_support.h"

namespace {

constexpr char kInput[] = "Shader/Sample.fx";

// Names the game's effect objects use.
constexpr const char* kParameters[] = {
    "mW", "mV", "mP", "mLP", "mLV", "mLightVP", "LightDir", "CamPos", "Color", "MateSpePower",
    "g_TexelSize", "g_disTexelSize", "MeshTex", "ToonTex", "ShadowTex", "DepthTex", "NormalTex",
    "InputTex", "DisTex", "CubeTex", "MateDiffuseTex"};
constexpr const char* kTechniques[] = {"Tech", "OutlineTech", "EdgeTech", "DisTech"};

void Exercise(ID3DXEffect* effect) {
  D3DXEFFECT_DESC desc{};
  if (FAILED(effect->GetDesc(&desc))) std::abort();
  for (UINT t = 0; t <= desc.Techniques; ++t) {
    D3DXHANDLE technique = effect->GetTechnique(t);
    D3DXTECHNIQUE_DESC techniqueDesc{};
    if (!technique || FAILED(effect->GetTechniqueDesc(technique, &techniqueDesc))) continue;
    if (techniqueDesc.Name) (void)std::strlen(techniqueDesc.Name);
    for (UINT p = 0; p <= techniqueDesc.Passes; ++p) {
      D3DXPASS_DESC passDesc{};
      D3DXHANDLE pass = effect->GetPass(technique, p);
      if (pass) effect->GetPassDesc(pass, &passDesc);
    }
    effect->SetTechnique(technique);
    effect->ValidateTechnique(technique);
  }
  for (const char* name : kTechniques) effect->SetTechnique(name);
  D3DXMATRIX m;
  D3DXMatrixRotationYawPitchRoll(&m, 1, 2, 3);
  const D3DXVECTOR4 v(1, 2, 3, 4);
  unsigned char raw[80] = {};
  for (const char* name : kParameters) {
    D3DXHANDLE parameter = effect->GetParameterByName(nullptr, name);
    effect->SetMatrix(name, &m);
    effect->SetVector(name, &v);
    effect->SetFloat(name, 0.5f);
    effect->SetInt(name, 7);
    effect->SetBool(name, TRUE);
    effect->SetValue(name, raw, sizeof raw);
    effect->SetTexture(name, nullptr);
    if (!parameter) continue;
    effect->GetMatrix(parameter, &m);
    effect->GetValue(parameter, raw, sizeof raw);
    IDirect3DBaseTexture9* texture = nullptr;
    if (SUCCEEDED(effect->GetTexture(parameter, &texture)) && texture) texture->Release();
  }
}

void LoadOnLoaderThread(IDirect3DDevice9* device) {
  ID3DXEffect* effect = nullptr;
  ID3DXBuffer* errors = nullptr;
  const HRESULT hr = D3DXCreateEffectFromFileA(device, kInput, nullptr, nullptr, 0, nullptr,
                                               &effect, &errors);
  if (SUCCEEDED(hr) != (effect != nullptr)) std::abort();
  if (errors) {
    if (errors->GetBufferSize() > 0) (void)std::strlen(static_cast<const char*>(errors->GetBufferPointer()));
    errors->Release();
  }
  if (!effect) return;
  Exercise(effect);
  effect->Release();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::EnterScratchFolder("effect");
  if (!fuzzing::SharedDevice()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzzing::WriteInput(kInput, data, size)) return 0;
  std::thread loader(LoadOnLoaderThread, fuzzing::SharedDevice());
  loader.join();
  return 0;
}
