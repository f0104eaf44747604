#include <d3dx9mesh.h>

#include "d3dx9/mesh_impl.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "com_object.h"

namespace {

DEFINE_GUID(IID_ID3DXSkinInfo, 0x11eaa540, 0xf9a6, 0x4d49, 0xae, 0x6a, 0xe1, 0x92, 0x21, 0xf7,
            0x0c, 0xc4);

struct Bone {
  std::string name;
  bool named = false;
  D3DXMATRIX offset;
  std::vector<DWORD> vertices;
  std::vector<FLOAT> weights;
};

class SkinInfo final : public glomp::ComObject<ID3DXSkinInfo, IID_ID3DXSkinInfo> {
 public:
  SkinInfo(DWORD numVertices, DWORD fvf, DWORD numBones)
      : numVertices_(numVertices), fvf_(fvf), bones_(numBones) {
    for (Bone& bone : bones_) std::memset(&bone.offset, 0, sizeof bone.offset);
  }

  HRESULT SetBoneInfluence(DWORD bone, DWORD count, const DWORD* vertices,
                           const FLOAT* weights) override {
    if (bone >= bones_.size() || (count && (!vertices || !weights))) return D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < count; ++i) {
      if (vertices[i] >= numVertices_) return D3DERR_INVALIDCALL;
    }
    bones_[bone].vertices.assign(vertices, vertices + count);
    bones_[bone].weights.assign(weights, weights + count);
    return S_OK;
  }
  DWORD GetNumBoneInfluences(DWORD bone) override {
    return bone < bones_.size() ? static_cast<DWORD>(bones_[bone].vertices.size()) : 0;
  }
  HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) override {
    if (bone >= bones_.size() || !vertices || !weights) return D3DERR_INVALIDCALL;
    std::copy(bones_[bone].vertices.begin(), bones_[bone].vertices.end(), vertices);
    std::copy(bones_[bone].weights.begin(), bones_[bone].weights.end(), weights);
    return S_OK;
  }
  HRESULT GetMaxVertexInfluences(DWORD* maxInfluences) override {
    if (!maxInfluences) return D3DERR_INVALIDCALL;
    std::vector<DWORD> perVertex(numVertices_, 0);
    DWORD most = 0;
    for (const Bone& bone : bones_) {
      for (DWORD v : bone.vertices) most = std::max(most, ++perVertex[v]);
    }
    *maxInfluences = most;
    return S_OK;
  }
  DWORD GetNumBones() override { return static_cast<DWORD>(bones_.size()); }
  HRESULT SetBoneName(DWORD bone, LPCSTR name) override {
    if (bone >= bones_.size() || !name) return D3DERR_INVALIDCALL;
    bones_[bone].name = name;
    bones_[bone].named = true;
    return S_OK;
  }
  LPCSTR GetBoneName(DWORD bone) override {
    return bone < bones_.size() && bones_[bone].named ? bones_[bone].name.c_str() : nullptr;
  }
  HRESULT SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* transform) override {
    if (bone >= bones_.size() || !transform) return D3DERR_INVALIDCALL;
    bones_[bone].offset = *transform;
    return S_OK;
  }
  D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) override {
    return bone < bones_.size() ? &bones_[bone].offset : nullptr;
  }
  HRESULT Clone(ID3DXSkinInfo** skinInfo) override {
    if (!skinInfo) return D3DERR_INVALIDCALL;
    SkinInfo* copy = new (std::nothrow) SkinInfo(numVertices_, fvf_, 0);
    if (!copy) return E_OUTOFMEMORY;
    copy->bones_ = bones_;
    *skinInfo = copy;
    return S_OK;
  }
  HRESULT SetFVF(DWORD fvf) override {
    if (!glomp::d3dx::DescribeFvf(fvf).valid) return D3DERR_INVALIDCALL;
    fvf_ = fvf;
    return S_OK;
  }
  DWORD GetFVF() override { return fvf_; }

  HRESULT UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                            const D3DXMATRIX* boneInvTransposeTransforms, LPCVOID verticesSrc,
                            LPVOID verticesDst) override;

 private:
  DWORD numVertices_;
  DWORD fvf_;
  std::vector<Bone> bones_;
};

void TransformPoint(const float* p, const D3DXMATRIX& m, float weight, float* sum) {
  for (int c = 0; c < 3; ++c) {
    sum[c] += weight * (p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c]);
  }
}

void TransformVector(const float* n, const D3DXMATRIX& m, float weight, float* sum) {
  for (int c = 0; c < 3; ++c) {
    sum[c] += weight * (n[0] * m.m[0][c] + n[1] * m.m[1][c] + n[2] * m.m[2][c]);
  }
}

HRESULT SkinInfo::UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                    const D3DXMATRIX* boneInvTransposeTransforms,
                                    LPCVOID verticesSrc, LPVOID verticesDst) {
  glomp::d3dx::FvfLayout layout = glomp::d3dx::DescribeFvf(fvf_);
  if (!layout.valid || !verticesSrc || !verticesDst) return D3DERR_INVALIDCALL;
  if (!boneTransforms && !bones_.empty()) return D3DERR_INVALIDCALL;
  const BYTE* src = static_cast<const BYTE*>(verticesSrc);
  BYTE* dst = static_cast<BYTE*>(verticesDst);
  size_t stride = static_cast<size_t>(layout.stride);
  if (src != dst) std::memmove(dst, src, stride * numVertices_);
  // Sums are kept apart from dst so that skinning in place reads unmodified sources.
  std::vector<float> position(3 * static_cast<size_t>(numVertices_), 0.0f);
  std::vector<float> normal(layout.normalOffset >= 0 ? position.size() : 0, 0.0f);
  std::vector<bool> influenced(numVertices_, false);
  for (size_t b = 0; b < bones_.size(); ++b) {
    const D3DXMATRIX& matrix = boneTransforms[b];
    const D3DXMATRIX& normalMatrix =
        boneInvTransposeTransforms ? boneInvTransposeTransforms[b] : boneTransforms[b];
    const Bone& bone = bones_[b];
    for (size_t i = 0; i < bone.vertices.size(); ++i) {
      DWORD v = bone.vertices[i];
      const BYTE* vertex = src + v * stride;
      influenced[v] = true;
      TransformPoint(reinterpret_cast<const float*>(vertex), matrix, bone.weights[i],
                     &position[3 * v]);
      if (layout.normalOffset >= 0) {
        TransformVector(reinterpret_cast<const float*>(vertex + layout.normalOffset), normalMatrix,
                        bone.weights[i], &normal[3 * v]);
      }
    }
  }
  for (DWORD v = 0; v < numVertices_; ++v) {
    if (!influenced[v]) continue;
    std::memcpy(dst + v * stride, &position[3 * v], 12);
    if (layout.normalOffset >= 0) std::memcpy(dst + v * stride + layout.normalOffset, &normal[3 * v], 12);
  }
  return S_OK;
}

}  // namespace

HRESULT D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                              LPD3DXSKININFO* skinInfo) {
  if (!skinInfo) return D3DERR_INVALIDCALL;
  *skinInfo = nullptr;
  if (!glomp::d3dx::DescribeFvf(fvf).valid) return D3DERR_INVALIDCALL;
  *skinInfo = new (std::nothrow) SkinInfo(numVertices, fvf, numBones);
  return *skinInfo ? S_OK : E_OUTOFMEMORY;
}
