#include "d3dx9/animation_impl.h"

#include <algorithm>
#include <new>

#include "com_object.h"

namespace glomp::d3dx {
namespace {

class KeyframedAnimationSet final
    : public glomp::ComObject<ID3DXKeyframedAnimationSet, IID_ID3DXAnimationSet,
                              IID_ID3DXKeyframedAnimationSet> {
 public:
  explicit KeyframedAnimationSet(AnimationSetData data) : data_(std::move(data)) {}

  LPCSTR GetName() override { return data_.name.c_str(); }
  double GetPeriod() override {
    float last = 0;
    for (const AnimationKeys& keys : data_.animations) {
      for (const auto& key : keys.rotation) last = std::max(last, key.Time);
      for (const auto& key : keys.scale) last = std::max(last, key.Time);
      for (const auto& key : keys.translation) last = std::max(last, key.Time);
    }
    return data_.ticksPerSecond > 0 ? last / data_.ticksPerSecond : 0.0;
  }
  UINT GetNumAnimations() override { return static_cast<UINT>(data_.animations.size()); }
  HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) override {
    if (!name || index >= data_.animations.size()) return D3DERR_INVALIDCALL;
    *name = data_.animations[index].target.c_str();
    return S_OK;
  }
  HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) override {
    if (!name || !index) return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < data_.animations.size(); ++i) {
      if (data_.animations[i].target == name) {
        *index = static_cast<UINT>(i);
        return S_OK;
      }
    }
    return D3DERR_NOTFOUND;
  }

  double GetSourceTicksPerSecond() override { return data_.ticksPerSecond; }
  UINT GetNumScaleKeys(UINT animation) override {
    return animation < Count() ? static_cast<UINT>(data_.animations[animation].scale.size()) : 0;
  }
  HRESULT GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
    if (animation >= Count() || !keys) return D3DERR_INVALIDCALL;
    std::copy(data_.animations[animation].scale.begin(), data_.animations[animation].scale.end(),
              keys);
    return S_OK;
  }
  UINT GetNumRotationKeys(UINT animation) override {
    return animation < Count() ? static_cast<UINT>(data_.animations[animation].rotation.size())
                               : 0;
  }
  HRESULT GetRotationKeys(UINT animation, LPD3DXKEY_QUATERNION keys) override {
    if (animation >= Count() || !keys) return D3DERR_INVALIDCALL;
    const auto& rotation = data_.animations[animation].rotation;
    std::copy(rotation.begin(), rotation.end(), keys);
    return S_OK;
  }
  UINT GetNumTranslationKeys(UINT animation) override {
    return animation < Count()
               ? static_cast<UINT>(data_.animations[animation].translation.size())
               : 0;
  }
  HRESULT GetTranslationKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
    if (animation >= Count() || !keys) return D3DERR_INVALIDCALL;
    const auto& translation = data_.animations[animation].translation;
    std::copy(translation.begin(), translation.end(), keys);
    return S_OK;
  }

 private:
  size_t Count() const { return data_.animations.size(); }

  AnimationSetData data_;
};

class AnimationController final
    : public glomp::ComObject<ID3DXAnimationController, IID_ID3DXAnimationController> {
 public:
  ~AnimationController() override {
    for (ID3DXAnimationSet* set : sets_) set->Release();
  }

  UINT GetMaxNumAnimationSets() override { return static_cast<UINT>(sets_.size()); }
  UINT GetNumAnimationSets() override { return static_cast<UINT>(sets_.size()); }
  HRESULT GetAnimationSet(UINT index, LPD3DXANIMATIONSET* set) override {
    if (!set) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (index >= sets_.size()) return D3DERR_INVALIDCALL;
    *set = sets_[index];
    (*set)->AddRef();
    return S_OK;
  }
  HRESULT GetAnimationSetByName(LPCSTR name, LPD3DXANIMATIONSET* set) override {
    if (!set || !name) return D3DERR_INVALIDCALL;
    *set = nullptr;
    for (ID3DXAnimationSet* candidate : sets_) {
      if (std::string(candidate->GetName()) == name) {
        *set = candidate;
        candidate->AddRef();
        return S_OK;
      }
    }
    return D3DERR_NOTFOUND;
  }

  std::vector<ID3DXAnimationSet*> sets_;

 private:
};

}  // namespace

ID3DXAnimationController* CreateAnimationController(std::vector<AnimationSetData> sets) {
  AnimationController* controller = new (std::nothrow) AnimationController;
  if (!controller) return nullptr;
  for (AnimationSetData& data : sets) {
    KeyframedAnimationSet* set = new (std::nothrow) KeyframedAnimationSet(std::move(data));
    if (!set) {
      controller->Release();
      return nullptr;
    }
    controller->sets_.push_back(set);
  }
  return controller;
}

}  // namespace glomp::d3dx
