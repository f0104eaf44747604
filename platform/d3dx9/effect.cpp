// ID3DXEffect over our effect files: parameters live on the CPU; Begin/BeginPass
// install the pass's program and render states on the device; every draw inside
// the pass runs the program with the values committed by BeginPass or
// CommitChanges.
#include <d3dx9.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "d3d9/gl_device.h"
#include "d3dx9/effect_gl.h"
#include "d3dx9/effect_parse.h"
#include "glomp/files.h"

#include "com_object.h"

namespace {

using glomp::fx::EffectSource;
using glomp::fx::ParamDecl;
using glomp::fx::ParamType;

HRESULT MakeErrorBuffer(const std::string& text, LPD3DXBUFFER* out) {
  if (!out) return S_OK;
  *out = nullptr;
  if (text.empty()) return S_OK;
  if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), out))) return E_OUTOFMEMORY;
  std::memcpy((*out)->GetBufferPointer(), text.c_str(), text.size() + 1);
  return S_OK;
}

class Effect final : public glomp::ComObject<ID3DXEffect>,
                     private glomp::d3d9::ProgramOverride {
 public:
  Effect(IDirect3DDevice9* device, EffectSource source, std::string fileName)
      : device_(device), source_(std::move(source)), fileName_(std::move(fileName)) {
    if (device_) device_->AddRef();
    params_.resize(source_.params.size());
    stages_.assign(params_.size(), -1);
    int nextStage = 0;
    for (std::size_t i = 0; i < params_.size(); ++i) {
      params_[i].decl = &source_.params[i];
      params_[i].value = source_.params[i].initial;
      params_[i].committed = params_[i].value;
      // Texture parameters read the device's texture stages, one each in order.
      if (glomp::fx::IsTexture(source_.params[i].type)) stages_[i] = nextStage++;
    }
  }

  // More textures than the device has stages cannot be drawn.
  bool TooManyTextures() const {
    return std::any_of(stages_.begin(), stages_.end(), [](int s) { return s >= kStages; });
  }

  ~Effect() override {
    if (passActive_) EndPass();
    if (begun_) End();
    for (Param& p : params_) {
      if (p.texture) p.texture->Release();
    }
    // GL names can only be deleted on the GL thread; elsewhere they are left to
    // the context's end.
    if (!glomp::d3d9::IsGlThread(device_)) (void)programs_.release();
    if (device_) device_->Release();
  }

  // Compiles now if this thread has the GL context. Otherwise compilation waits
  // for the first Begin on a thread that has it.
  bool BuildIfPossible(std::string* log) {
    if (TooManyTextures()) {
      *log += fileName_ + ": error: more than " + std::to_string(kStages) +
              " texture parameters\n";
      return false;
    }
    if (!glomp::d3d9::IsGlThread(device_)) return true;
    return Build(log);
  }

  // IUnknown

  // Description and look-up.
  HRESULT GetDesc(D3DXEFFECT_DESC* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = {"glomp effect", static_cast<UINT>(params_.size()),
             static_cast<UINT>(source_.techniques.size()),
             static_cast<UINT>(source_.shaders.size())};
    return S_OK;
  }
  HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override {
    const int t = FindTechnique(technique);
    if (t < 0 || !desc) return D3DERR_INVALIDCALL;
    *desc = {source_.techniques[t].name.c_str(),
             static_cast<UINT>(source_.techniques[t].passes.size()), 0};
    return S_OK;
  }
  HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) override {
    if (!desc || !pass) return D3DERR_INVALIDCALL;
    for (const auto& t : source_.techniques) {
      for (const auto& p : t.passes) {
        if (pass == p.name.c_str()) {
          *desc = {p.name.c_str(), 0, nullptr, nullptr};
          return S_OK;
        }
      }
    }
    return D3DERR_INVALIDCALL;
  }
  D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override {
    if (parent || !name) return nullptr;  // no structures or arrays in our files
    Param* p = FindParam(name);
    return p ? p->decl->name.c_str() : nullptr;
  }
  D3DXHANDLE GetTechnique(UINT index) override {
    return index < source_.techniques.size() ? source_.techniques[index].name.c_str() : nullptr;
  }
  D3DXHANDLE GetTechniqueByName(LPCSTR name) override {
    const int t = FindTechnique(name);
    return t < 0 ? nullptr : source_.techniques[t].name.c_str();
  }
  D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) override {
    const int t = FindTechnique(technique);
    if (t < 0 || index >= source_.techniques[t].passes.size()) return nullptr;
    return source_.techniques[t].passes[index].name.c_str();
  }

  // Values.
  HRESULT SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) override {
    Param* p = FindParam(parameter);
    if (!p || !data) return D3DERR_INVALIDCALL;
    if (glomp::fx::IsTexture(p->decl->type)) {
      if (bytes != sizeof(IDirect3DBaseTexture9*) && bytes != D3DX_DEFAULT) {
        return D3DERR_INVALIDCALL;
      }
      IDirect3DBaseTexture9* texture;
      std::memcpy(&texture, data, sizeof texture);
      return SetTexture(parameter, texture);
    }
    const std::size_t size = glomp::fx::ParamBytes(p->decl->type);
    if (bytes == D3DX_DEFAULT) bytes = static_cast<UINT>(size);
    if (bytes > size) return D3DERR_INVALIDCALL;
    std::memcpy(p->value.data(), data, bytes);
    Changed(p);
    return S_OK;
  }
  HRESULT GetValue(D3DXHANDLE parameter, LPVOID data, UINT bytes) override {
    Param* p = FindParam(parameter);
    if (!p || !data) return D3DERR_INVALIDCALL;
    if (glomp::fx::IsTexture(p->decl->type)) {
      if (bytes < sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
      if (p->texture) p->texture->AddRef();
      std::memcpy(data, &p->texture, sizeof p->texture);
      return S_OK;
    }
    const std::size_t size = glomp::fx::ParamBytes(p->decl->type);
    if (bytes == D3DX_DEFAULT) bytes = static_cast<UINT>(size);
    if (bytes < size) return D3DERR_INVALIDCALL;
    std::memcpy(data, p->value.data(), size);
    return S_OK;
  }
  HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override {
    return SetScalar(parameter, value ? 1.0f : 0.0f, value ? 1 : 0);
  }
  HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) override {
    float f;
    std::int32_t i;
    if (!value || FAILED(GetScalar(parameter, &f, &i))) return D3DERR_INVALIDCALL;
    *value = i != 0 ? TRUE : FALSE;
    return S_OK;
  }
  HRESULT SetInt(D3DXHANDLE parameter, INT value) override {
    return SetScalar(parameter, static_cast<float>(value), value);
  }
  HRESULT GetInt(D3DXHANDLE parameter, INT* value) override {
    float f;
    std::int32_t i;
    if (!value || FAILED(GetScalar(parameter, &f, &i))) return D3DERR_INVALIDCALL;
    *value = i;
    return S_OK;
  }
  HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override {
    return SetScalar(parameter, value, static_cast<std::int32_t>(value));
  }
  HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override {
    float f;
    std::int32_t i;
    if (!value || FAILED(GetScalar(parameter, &f, &i))) return D3DERR_INVALIDCALL;
    *value = f;
    return S_OK;
  }
  HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override {
    Param* p = FindParam(parameter);
    if (!p || !vector || !IsFloatVector(p->decl->type)) return D3DERR_INVALIDCALL;
    const float components[4] = {vector->x, vector->y, vector->z, vector->w};
    std::memcpy(p->value.data(), components, glomp::fx::ParamBytes(p->decl->type));
    Changed(p);
    return S_OK;
  }
  HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override {
    Param* p = FindParam(parameter);
    if (!p || !vector || !IsFloatVector(p->decl->type)) return D3DERR_INVALIDCALL;
    float components[4] = {0, 0, 0, 0};
    std::memcpy(components, p->value.data(), glomp::fx::ParamBytes(p->decl->type));
    *vector = D3DXVECTOR4(components[0], components[1], components[2], components[3]);
    return S_OK;
  }
  HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override {
    Param* p = FindParam(parameter);
    if (!p || !matrix || p->decl->type != ParamType::Float4x4) return D3DERR_INVALIDCALL;
    std::memcpy(p->value.data(), &matrix->_11, 64);
    Changed(p);
    return S_OK;
  }
  HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override {
    Param* p = FindParam(parameter);
    if (!p || !matrix || p->decl->type != ParamType::Float4x4) return D3DERR_INVALIDCALL;
    std::memcpy(&matrix->_11, p->value.data(), 64);
    return S_OK;
  }
  HRESULT SetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9 texture) override {
    Param* p = FindParam(parameter);
    if (!p || !glomp::fx::IsTexture(p->decl->type)) return D3DERR_INVALIDCALL;
    if (texture) texture->AddRef();
    if (p->texture) p->texture->Release();
    p->texture = texture;
    Changed(p);
    return S_OK;
  }
  HRESULT GetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9* texture) override {
    Param* p = FindParam(parameter);
    if (!p || !texture || !glomp::fx::IsTexture(p->decl->type)) return D3DERR_INVALIDCALL;
    if (p->texture) p->texture->AddRef();
    *texture = p->texture;
    return S_OK;
  }

  // Drawing.
  HRESULT GetPool(LPD3DXEFFECTPOOL* pool) override {
    if (!pool) return D3DERR_INVALIDCALL;
    *pool = nullptr;
    return S_OK;
  }
  HRESULT SetTechnique(D3DXHANDLE technique) override {
    const int t = FindTechnique(technique);
    if (t < 0) return D3DERR_INVALIDCALL;
    technique_ = static_cast<std::size_t>(t);
    return S_OK;
  }
  D3DXHANDLE GetCurrentTechnique() override {
    return source_.techniques[technique_].name.c_str();
  }
  HRESULT ValidateTechnique(D3DXHANDLE technique) override {
    return FindTechnique(technique) < 0 ? D3DERR_INVALIDCALL : S_OK;
  }

  HRESULT Begin(UINT* passes, DWORD flags) override {
    if (begun_) return D3DERR_INVALIDCALL;
    if (!EnsureBuilt()) return E_FAIL;
    begun_ = true;
    saveState_ = !(flags & D3DXFX_DONOTSAVESTATE);
    saved_.clear();
    savedStages_.clear();
    if (saveState_) SaveStages();
    if (passes) *passes = static_cast<UINT>(source_.techniques[technique_].passes.size());
    return S_OK;
  }

  HRESULT BeginPass(UINT pass) override {
    if (!begun_ || passActive_ || pass >= source_.techniques[technique_].passes.size()) {
      return D3DERR_INVALIDCALL;
    }
    pass_ = pass;
    passActive_ = true;
    for (const auto& setting : source_.techniques[technique_].passes[pass].states) {
      if (saveState_ && std::none_of(saved_.begin(), saved_.end(), [&](const auto& s) {
            return s.state == setting.state;
          })) {
        DWORD previous = 0;
        if (SUCCEEDED(device_->GetRenderState(setting.state, &previous))) {
          saved_.push_back({setting.state, previous});
        }
      }
      device_->SetRenderState(setting.state, setting.value);
    }
    Commit(true);
    glomp::d3d9::SetProgramOverride(device_, this);
    return S_OK;
  }

  HRESULT CommitChanges() override {
    if (!passActive_) return D3DERR_INVALIDCALL;
    Commit(false);
    return S_OK;
  }

  HRESULT EndPass() override {
    if (!passActive_) return D3DERR_INVALIDCALL;
    passActive_ = false;
    if (glomp::d3d9::GetProgramOverride(device_) == this) {
      glomp::d3d9::SetProgramOverride(device_, nullptr);
    }
    return S_OK;
  }

  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    if (passActive_) EndPass();
    begun_ = false;
    // Restore in reverse so a state set twice ends with its oldest value.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      device_->SetRenderState(it->state, it->value);
    }
    saved_.clear();
    RestoreStages();
    return S_OK;
  }

  HRESULT GetDevice(LPDIRECT3DDEVICE9* device) override {
    if (!device) return D3DERR_INVALIDCALL;
    *device = device_;
    if (device_) device_->AddRef();
    return S_OK;
  }
  HRESULT OnLostDevice() override { return S_OK; }
  HRESULT OnResetDevice() override { return S_OK; }

 private:
  struct Param {
    const ParamDecl* decl = nullptr;
    std::array<float, 16> value{};
    IDirect3DBaseTexture9* texture = nullptr;
    std::array<float, 16> committed{};
    std::uint64_t committedVersion = 1;
    bool dirty = false;
  };

  static constexpr int kStages = 16;
  static constexpr D3DSAMPLERSTATETYPE kSamplerStates[] = {
      D3DSAMP_ADDRESSU,  D3DSAMP_ADDRESSV,  D3DSAMP_ADDRESSW,
      D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER};

  // What a texture stage held before Begin, to be put back by End.
  struct SavedStage {
    DWORD stage;
    IDirect3DBaseTexture9* texture;  // one reference held
    DWORD sampler[std::size(kSamplerStates)];
  };

  void SaveStages() {
    for (int stage : stages_) {
      if (stage < 0) continue;
      SavedStage saved{static_cast<DWORD>(stage), nullptr, {}};
      device_->GetTexture(saved.stage, &saved.texture);
      for (std::size_t k = 0; k < std::size(kSamplerStates); ++k) {
        device_->GetSamplerState(saved.stage, kSamplerStates[k], &saved.sampler[k]);
      }
      savedStages_.push_back(saved);
    }
  }

  void RestoreStages() {
    for (SavedStage& saved : savedStages_) {
      device_->SetTexture(saved.stage, saved.texture);
      if (saved.texture) saved.texture->Release();
      for (std::size_t k = 0; k < std::size(kSamplerStates); ++k) {
        device_->SetSamplerState(saved.stage, kSamplerStates[k], saved.sampler[k]);
      }
    }
    savedStages_.clear();
  }

  // The parameter's texture and sampler states on its stage.
  void BindTexture(std::size_t i) {
    const DWORD stage = static_cast<DWORD>(stages_[i]);
    const ParamDecl& decl = *params_[i].decl;
    device_->SetTexture(stage, params_[i].texture);
    const DWORD address = decl.address == glomp::fx::Address::Clamp    ? D3DTADDRESS_CLAMP
                          : decl.address == glomp::fx::Address::Mirror ? D3DTADDRESS_MIRROR
                                                                       : D3DTADDRESS_WRAP;
    const DWORD filter =
        decl.filter == glomp::fx::Filter::Point ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    device_->SetSamplerState(stage, D3DSAMP_ADDRESSU, address);
    device_->SetSamplerState(stage, D3DSAMP_ADDRESSV, address);
    device_->SetSamplerState(stage, D3DSAMP_ADDRESSW, address);
    device_->SetSamplerState(stage, D3DSAMP_MAGFILTER, filter);
    device_->SetSamplerState(stage, D3DSAMP_MINFILTER, filter);
    device_->SetSamplerState(stage, D3DSAMP_MIPFILTER, filter);
  }

  static bool IsFloatVector(ParamType type) {
    return type == ParamType::Float || type == ParamType::Float2 ||
           type == ParamType::Float3 || type == ParamType::Float4;
  }

  // A handle is one we gave out (the name's own storage) or a plain name.
  Param* FindParam(D3DXHANDLE handle) {
    if (!handle) return nullptr;
    for (Param& p : params_) {
      if (handle == p.decl->name.c_str()) return &p;
    }
    for (Param& p : params_) {
      if (p.decl->name == handle) return &p;
    }
    return nullptr;
  }

  int FindTechnique(D3DXHANDLE handle) const {
    if (!handle) return -1;
    for (std::size_t t = 0; t < source_.techniques.size(); ++t) {
      if (handle == source_.techniques[t].name.c_str()) return static_cast<int>(t);
    }
    for (std::size_t t = 0; t < source_.techniques.size(); ++t) {
      if (source_.techniques[t].name == handle) return static_cast<int>(t);
    }
    return -1;
  }

  HRESULT SetScalar(D3DXHANDLE parameter, float asFloat, std::int32_t asInt) {
    Param* p = FindParam(parameter);
    if (!p) return D3DERR_INVALIDCALL;
    if (p->decl->type == ParamType::Int || p->decl->type == ParamType::Bool) {
      if (p->decl->type == ParamType::Bool) asInt = asInt != 0 || asFloat != 0.0f;
      std::memcpy(p->value.data(), &asInt, 4);
    } else if (IsFloatVector(p->decl->type)) {
      p->value[0] = asFloat;
    } else {
      return D3DERR_INVALIDCALL;
    }
    Changed(p);
    return S_OK;
  }

  HRESULT GetScalar(D3DXHANDLE parameter, float* asFloat, std::int32_t* asInt) {
    Param* p = FindParam(parameter);
    if (!p) return D3DERR_INVALIDCALL;
    if (p->decl->type == ParamType::Int || p->decl->type == ParamType::Bool) {
      std::memcpy(asInt, p->value.data(), 4);
      *asFloat = static_cast<float>(*asInt);
    } else if (IsFloatVector(p->decl->type)) {
      *asFloat = p->value[0];
      *asInt = static_cast<std::int32_t>(p->value[0]);
    } else {
      return D3DERR_INVALIDCALL;
    }
    return S_OK;
  }

  void Changed(Param* p) { p->dirty = true; }

  // Values set so far become what the draws see; `all` rebinds every texture
  // (a new pass may follow draws that changed the device's stages).
  void Commit(bool all) {
    for (std::size_t i = 0; i < params_.size(); ++i) {
      Param& p = params_[i];
      if (p.dirty || (all && stages_[i] >= 0)) {
        if (stages_[i] >= 0) BindTexture(i);
      }
      if (!p.dirty) continue;
      p.dirty = false;
      p.committed = p.value;
      ++p.committedVersion;
    }
  }

  bool Build(std::string* log) {
    programs_ = std::make_unique<glomp::fx::EffectPrograms>();
    if (programs_->Build(source_, stages_, fileName_, log)) return true;
    programs_.reset();
    return false;
  }

  // A deferred compile happens here, on the first Begin made with the context.
  bool EnsureBuilt() {
    if (programs_) return true;
    if (buildFailed_ || !glomp::d3d9::IsGlThread(device_)) return false;
    std::string log;
    if (Build(&log)) return true;
    buildFailed_ = true;
    std::fprintf(stderr, "%s", log.c_str());
    return false;
  }

  // ProgramOverride: the device calls this just before each draw inside a pass.
  void Apply(const glomp::d3d9::DrawState& state) override {
    if (!programs_ || !passActive_) return;
    values_.clear();
    for (const Param& p : params_) {
      values_.push_back({p.decl, p.committed.data(), p.committedVersion});
    }
    programs_->Apply(technique_, pass_, values_, state.screenToNdc);
  }

  IDirect3DDevice9* device_;
  EffectSource source_;
  std::string fileName_;
  std::vector<Param> params_;
  std::vector<glomp::fx::ParamValue> values_;
  std::unique_ptr<glomp::fx::EffectPrograms> programs_;
  struct SavedState {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  std::vector<SavedState> saved_;
  std::vector<SavedStage> savedStages_;
  std::vector<int> stages_;  // texture stage per parameter, -1 for values
  std::size_t technique_ = 0;
  std::size_t pass_ = 0;
  bool begun_ = false;
  bool passActive_ = false;
  bool saveState_ = true;
  bool buildFailed_ = false;
};

HRESULT CreateEffectFromText(LPDIRECT3DDEVICE9 device, const std::string& text,
                             const std::string& name, const D3DXMACRO* defines,
                             LPD3DXEFFECT* effect, LPD3DXBUFFER* errors) {
  std::string log;
  EffectSource source;
  if (!glomp::fx::ParseEffect(text, name, &source, &log)) {
    MakeErrorBuffer(log, errors);
    return D3DXERR_INVALIDDATA;
  }
  for (const D3DXMACRO* m = defines; m && m->Name; ++m) {
    source.defines.emplace_back(m->Name, m->Definition ? m->Definition : "");
  }
  auto* created = new (std::nothrow) Effect(device, std::move(source), name);
  if (!created) return E_OUTOFMEMORY;
  if (!created->BuildIfPossible(&log)) {
    created->Release();
    MakeErrorBuffer(log, errors);
    return D3DXERR_INVALIDDATA;
  }
  *effect = created;
  return S_OK;
}

}  // namespace

HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                         const D3DXMACRO* defines, LPD3DXINCLUDE /*include*/,
                                         DWORD /*flags*/, LPD3DXEFFECTPOOL /*pool*/,
                                         LPD3DXEFFECT* effect,
                                         LPD3DXBUFFER* compilationErrors) {
  if (compilationErrors) *compilationErrors = nullptr;
  if (!device || !srcFile || !effect) return D3DERR_INVALIDCALL;
  *effect = nullptr;
  std::vector<unsigned char> bytes;
  if (!glomp::ReadWholeFile(srcFile, &bytes)) {
    MakeErrorBuffer(std::string(srcFile) + ": error: cannot open the effect file\n",
                    compilationErrors);
    return D3DXERR_INVALIDDATA;
  }
  return CreateEffectFromText(device, std::string(bytes.begin(), bytes.end()), srcFile, defines,
                              effect, compilationErrors);
}

HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 device, LPCVOID srcData, UINT srcDataLen,
                                const D3DXMACRO* defines, LPD3DXINCLUDE /*include*/,
                                DWORD /*flags*/, LPD3DXEFFECTPOOL /*pool*/, LPD3DXEFFECT* effect,
                                LPD3DXBUFFER* compilationErrors) {
  if (compilationErrors) *compilationErrors = nullptr;
  if (!device || !srcData || !effect) return D3DERR_INVALIDCALL;
  *effect = nullptr;
  const std::string text(static_cast<const char*>(srcData), srcDataLen);
  return CreateEffectFromText(device, text, "(memory)", defines, effect, compilationErrors);
}
