#include "d3dx9/mesh_impl.h"

#include <cstring>

namespace glomp::d3dx {

namespace {

template <class Buffer>
bool Fill(Buffer* buffer, const void* data, size_t bytes) {
  void* locked = nullptr;
  if (FAILED(buffer->Lock(0, 0, &locked, 0))) return false;
  std::memcpy(locked, data, bytes);
  buffer->Unlock();
  return true;
}

}  // namespace

// The mesh keeps its data in memory (it can be made and written on any thread); the
// device buffers are made on the first draw, on the drawing thread, and filled again
// only when the mesh's data was written since.
bool Mesh::UpdateDeviceBuffers() {
  if (vertices_.empty() || indices_.empty()) return false;
  if (!vertexBuffer_ &&
      FAILED(device_->CreateVertexBuffer(static_cast<UINT>(vertices_.size()), D3DUSAGE_WRITEONLY,
                                         fvf_, D3DPOOL_MANAGED, &vertexBuffer_, nullptr)))
    return false;
  if (!indexBuffer_ &&
      FAILED(device_->CreateIndexBuffer(static_cast<UINT>(indices_.size() * sizeof(WORD)),
                                        D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                        &indexBuffer_, nullptr)))
    return false;
  if (verticesChanged_ && !Fill(vertexBuffer_, vertices_.data(), vertices_.size())) return false;
  verticesChanged_ = false;
  if (indicesChanged_ && !Fill(indexBuffer_, indices_.data(), indices_.size() * sizeof(WORD)))
    return false;
  indicesChanged_ = false;
  return true;
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
  if (!device_) return D3DERR_INVALIDCALL;
  HRESULT hr = device_->SetFVF(fvf_);
  if (FAILED(hr)) return hr;
  if (!UpdateDeviceBuffers()) return D3DERR_INVALIDCALL;
  device_->SetStreamSource(0, vertexBuffer_, 0, static_cast<UINT>(layout_.stride));
  device_->SetIndices(indexBuffer_);
  auto draw = [this](DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount) {
    return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexStart, vertexCount,
                                         3 * faceStart, faceCount);
  };
  if (!table_.empty()) {
    for (const D3DXATTRIBUTERANGE& range : table_) {
      if (range.AttribId != attribId || range.FaceCount == 0) continue;
      hr = draw(range.FaceStart, range.FaceCount, range.VertexStart, range.VertexCount);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  // Without a table the attribute buffer decides, one run of equal faces at a time.
  DWORD faces = GetNumFaces();
  for (DWORD f = 0; f < faces;) {
    DWORD end = f;
    while (end < faces && attributes_[end] == attributes_[f]) ++end;
    if (attributes_[f] == attribId) {
      hr = draw(f, end - f, 0, numVertices_);
      if (FAILED(hr)) return hr;
    }
    f = end;
  }
  return S_OK;
}

}  // namespace glomp::d3dx
