#include "d3dx9/mesh_impl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <tuple>

namespace glomp::d3dx {
namespace {

// Identifies this library's meshes behind an ID3DXBaseMesh pointer.
DEFINE_GUID(IID_GlompMesh, 0x6c1f3a52, 0x0b7e, 0x4d2a, 0x9e, 0x41, 0x77, 0x10, 0x3b, 0x5c, 0xa8,
            0x02);
DEFINE_GUID(IID_ID3DXBaseMesh, 0x7ed943dd, 0x52e8, 0x40b5, 0xa8, 0xd8, 0x76, 0x68, 0x5c, 0x40,
            0x63, 0x30);
DEFINE_GUID(IID_ID3DXMesh, 0x4020e5c2, 0x1403, 0x4929, 0x88, 0x3f, 0xe2, 0xe8, 0x49, 0xfa, 0xc1,
            0x95);

}  // namespace

Mesh::Mesh(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device)
    : options_(options),
      fvf_(fvf),
      layout_(DescribeFvf(fvf)),
      numVertices_(numVertices),
      device_(device),
      vertices_(static_cast<size_t>(numVertices) * layout_.stride, 0),
      indices_(static_cast<size_t>(numFaces) * 3, 0),
      attributes_(numFaces, 0) {
  if (device_) device_->AddRef();
}

Mesh::~Mesh() {
  if (vertexBuffer_) vertexBuffer_->Release();
  if (indexBuffer_) indexBuffer_->Release();
  if (device_) device_->Release();
}

HRESULT Mesh::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ID3DXBaseMesh || riid == IID_ID3DXMesh ||
      riid == IID_GlompMesh) {
    *object = static_cast<ID3DXMesh*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT Mesh::GetDevice(LPDIRECT3DDEVICE9* device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  if (device_) device_->AddRef();
  return device_ ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                           LPD3DXMESH* cloneMesh) {
  if (!cloneMesh) return D3DERR_INVALIDCALL;
  *cloneMesh = nullptr;
  Mesh* clone = nullptr;
  HRESULT hr = CreateMesh(GetNumFaces(), numVertices_, options, fvf, device, &clone);
  if (FAILED(hr)) return hr;
  const FvfLayout& to = clone->layout_;
  const FvfLayout& from = layout_;
  bool samePosition = (fvf & D3DFVF_POSITION_MASK) == (fvf_ & D3DFVF_POSITION_MASK);
  UINT positionBytes = samePosition ? from.PositionBytes() : 12;
  auto copy = [](BYTE* dst, int dstAt, const BYTE* src, int srcAt, int bytes) {
    if (dstAt >= 0 && srcAt >= 0) std::memcpy(dst + dstAt, src + srcAt, bytes);
  };
  for (DWORD v = 0; v < numVertices_; ++v) {
    const BYTE* src = vertices_.data() + static_cast<size_t>(v) * from.stride;
    BYTE* dst = clone->vertices_.data() + static_cast<size_t>(v) * to.stride;
    std::memcpy(dst, src, positionBytes);
    copy(dst, to.normalOffset, src, from.normalOffset, 12);
    copy(dst, to.pointSizeOffset, src, from.pointSizeOffset, 4);
    copy(dst, to.diffuseOffset, src, from.diffuseOffset, 4);
    copy(dst, to.specularOffset, src, from.specularOffset, 4);
    for (UINT t = 0; t < std::min(to.texCoordCount, from.texCoordCount); ++t) {
      copy(dst, int(to.texCoordOffset[t]), src, int(from.texCoordOffset[t]),
           4 * int(std::min(to.texCoordSize[t], from.texCoordSize[t])));
    }
  }
  clone->indices_ = indices_;
  clone->attributes_ = attributes_;
  clone->table_ = table_;
  *cloneMesh = clone;
  return S_OK;
}

HRESULT Mesh::LockVertexBuffer(DWORD flags, LPVOID* data) {
  if (!data) return D3DERR_INVALIDCALL;
  *data = vertices_.data();
  if (!(flags & D3DLOCK_READONLY)) vertexWriteLock_ = true;
  return S_OK;
}

HRESULT Mesh::UnlockVertexBuffer() {
  if (vertexWriteLock_) cache_.reset(), verticesChanged_ = true;
  vertexWriteLock_ = false;
  return S_OK;
}

HRESULT Mesh::LockIndexBuffer(DWORD flags, LPVOID* data) {
  if (!data) return D3DERR_INVALIDCALL;
  *data = indices_.data();
  if (!(flags & D3DLOCK_READONLY)) indexWriteLock_ = true;
  return S_OK;
}

HRESULT Mesh::UnlockIndexBuffer() {
  if (indexWriteLock_) cache_.reset(), indicesChanged_ = true;
  indexWriteLock_ = false;
  return S_OK;
}

HRESULT Mesh::LockAttributeBuffer(DWORD, DWORD** data) {
  if (!data) return D3DERR_INVALIDCALL;
  *data = attributes_.data();
  return S_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() { return S_OK; }

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) {
  if (!size) return D3DERR_INVALIDCALL;
  if (table) std::copy(table_.begin(), table_.end(), table);
  *size = static_cast<DWORD>(table_.size());
  return S_OK;
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) {
  if (!table && size) return D3DERR_INVALIDCALL;
  table_.assign(table, table + size);
  return S_OK;
}

void Mesh::BuildAttributeTable() {
  table_.clear();
  DWORD faces = GetNumFaces();
  for (DWORD f = 0; f < faces; ++f) {
    if (table_.empty() || table_.back().AttribId != attributes_[f]) {
      table_.push_back({attributes_[f], f, 0, 0, 0});
    }
    ++table_.back().FaceCount;
  }
  for (D3DXATTRIBUTERANGE& range : table_) {
    auto first = indices_.begin() + 3 * static_cast<size_t>(range.FaceStart);
    auto [low, high] = std::minmax_element(first, first + 3 * static_cast<size_t>(range.FaceCount));
    range.VertexStart = *low;
    range.VertexCount = static_cast<DWORD>(*high) - *low + 1;
  }
}

HRESULT Mesh::GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) {
  if (!adjacency) return D3DERR_INVALIDCALL;
  // Point representatives: each vertex maps to the first vertex within epsilon of it.
  std::vector<DWORD> order(numVertices_);
  for (DWORD v = 0; v < numVertices_; ++v) order[v] = v;
  std::sort(order.begin(), order.end(), [this](DWORD a, DWORD b) {
    const float* pa = Position(a);
    const float* pb = Position(b);
    return std::tie(pa[0], pa[1], pa[2], a) < std::tie(pb[0], pb[1], pb[2], b);
  });
  std::vector<DWORD> rep(numVertices_);
  for (DWORD v = 0; v < numVertices_; ++v) rep[v] = v;
  float eps = std::max(epsilon, 0.0f);
  if (eps == 0.0f) {
    // Equal positions sit next to each other in the sorted order.
    for (size_t i = 1; i < order.size(); ++i) {
      const float* a = Position(order[i - 1]);
      const float* b = Position(order[i]);
      if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) rep[order[i]] = rep[order[i - 1]];
    }
  }
  for (size_t i = 0; eps > 0.0f && i < order.size(); ++i) {
    const float* pi = Position(order[i]);
    for (size_t j = i + 1; j < order.size(); ++j) {
      const float* pj = Position(order[j]);
      if (pj[0] - pi[0] > eps) break;
      if (std::fabs(pj[1] - pi[1]) <= eps && std::fabs(pj[2] - pi[2]) <= eps) {
        DWORD a = rep[order[i]];
        DWORD& b = rep[order[j]];
        b = std::min(a, b);
      }
    }
  }
  // Each directed edge finds the first face holding the opposite edge.
  std::map<std::pair<DWORD, DWORD>, DWORD> edgeFace;
  DWORD faces = GetNumFaces();
  for (DWORD f = 0; f < faces; ++f) {
    for (int e = 0; e < 3; ++e) {
      DWORD a = rep[indices_[3 * f + e]];
      DWORD b = rep[indices_[3 * f + (e + 1) % 3]];
      edgeFace.emplace(std::make_pair(a, b), f);
    }
  }
  for (DWORD f = 0; f < faces; ++f) {
    for (int e = 0; e < 3; ++e) {
      DWORD a = rep[indices_[3 * f + e]];
      DWORD b = rep[indices_[3 * f + (e + 1) % 3]];
      auto found = edgeFace.find(std::make_pair(b, a));
      adjacency[3 * f + e] =
          (found != edgeFace.end() && found->second != f && a != b) ? found->second : 0xFFFFFFFFu;
    }
  }
  return S_OK;
}

HRESULT CreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                   IDirect3DDevice9* device, Mesh** mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  *mesh = nullptr;
  if (numFaces == 0 || numVertices == 0) return D3DERR_INVALIDCALL;
  if (options & D3DXMESH_32BIT) return D3DERR_INVALIDCALL;  // only 16-bit indices
  if (numVertices > kMaxVertices16) return D3DERR_INVALIDCALL;
  if (!DescribeFvf(fvf).valid) return D3DERR_INVALIDCALL;
  *mesh = new (std::nothrow) Mesh(numFaces, numVertices, options, fvf, device);
  return *mesh ? S_OK : E_OUTOFMEMORY;
}

Mesh* AsMesh(ID3DXBaseMesh* mesh) {
  if (!mesh) return nullptr;
  void* object = nullptr;
  if (FAILED(mesh->QueryInterface(IID_GlompMesh, &object))) return nullptr;
  Mesh* ours = static_cast<Mesh*>(static_cast<ID3DXMesh*>(object));
  ours->Release();
  return ours;
}

}  // namespace glomp::d3dx

namespace glomp {

MeshCache* GetMeshCache(ID3DXBaseMesh* mesh) {
  d3dx::Mesh* ours = d3dx::AsMesh(mesh);
  return ours ? ours->Cache() : nullptr;
}

bool SetMeshCache(ID3DXBaseMesh* mesh, MeshCache* cache) {
  d3dx::Mesh* ours = d3dx::AsMesh(mesh);
  if (!ours) {
    delete cache;
    return false;
  }
  ours->SetCache(cache);
  return true;
}

}  // namespace glomp

using glomp::d3dx::FvfLayout;

UINT D3DXGetFVFVertexSize(DWORD fvf) {
  FvfLayout layout = glomp::d3dx::DescribeFvf(fvf);
  return layout.valid ? static_cast<UINT>(layout.stride) : 0;
}

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          LPDIRECT3DDEVICE9 device, LPD3DXMESH* mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  glomp::d3dx::Mesh* created = nullptr;
  HRESULT hr = glomp::d3dx::CreateMesh(numFaces, numVertices, options, fvf, device, &created);
  *mesh = created;
  return hr;
}

HRESULT D3DXComputeNormals(LPD3DXBASEMESH baseMesh, const DWORD*) {
  glomp::d3dx::Mesh* mesh = glomp::d3dx::AsMesh(baseMesh);
  if (!mesh || mesh->Layout().normalOffset < 0) return D3DERR_INVALIDCALL;
  const FvfLayout& layout = mesh->Layout();
  DWORD vertexCount = mesh->GetNumVertices();
  // Coinciding positions share one normal, so hard seams from split vertices stay smooth.
  std::map<std::tuple<float, float, float>, DWORD> pointOf;
  std::vector<DWORD> point(vertexCount);
  for (DWORD v = 0; v < vertexCount; ++v) {
    const float* p = mesh->Position(v);
    point[v] = pointOf.emplace(std::make_tuple(p[0], p[1], p[2]), v).first->second;
  }
  std::vector<double> sum(3 * static_cast<size_t>(vertexCount), 0.0);
  const std::vector<WORD>& indices = mesh->Indices();
  for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
    const float* p[3];
    for (int c = 0; c < 3; ++c) p[c] = mesh->Position(indices[3 * f + c]);
    double e1[3], e2[3];
    for (int k = 0; k < 3; ++k) {
      e1[k] = p[1][k] - p[0][k];
      e2[k] = p[2][k] - p[0][k];
    }
    double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                   e1[0] * e2[1] - e1[1] * e2[0]};
    double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length == 0) continue;
    // Each corner adds the face normal weighted by the corner's angle.
    for (int c = 0; c < 3; ++c) {
      const float* a = p[c];
      const float* b = p[(c + 1) % 3];
      const float* d = p[(c + 2) % 3];
      double u[3], w[3];
      for (int k = 0; k < 3; ++k) {
        u[k] = b[k] - a[k];
        w[k] = d[k] - a[k];
      }
      double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
      double lw = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
      if (lu == 0 || lw == 0) continue;
      double cosine = (u[0] * w[0] + u[1] * w[1] + u[2] * w[2]) / (lu * lw);
      double angle = std::acos(std::clamp(cosine, -1.0, 1.0));
      DWORD target = point[indices[3 * f + c]];
      for (int k = 0; k < 3; ++k) sum[3 * target + k] += angle * n[k] / length;
    }
  }
  for (DWORD v = 0; v < vertexCount; ++v) {
    const double* s = &sum[3 * point[v]];
    double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    float normal[3] = {0, 0, 0};
    if (length > 0) {
      for (int k = 0; k < 3; ++k) normal[k] = static_cast<float>(s[k] / length);
    }
    std::memcpy(mesh->Vertices().data() + static_cast<size_t>(v) * layout.stride + layout.normalOffset,
                normal, sizeof normal);
  }
  return S_OK;
}
