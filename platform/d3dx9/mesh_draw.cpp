#include "d3dx9/mesh_impl.h"

namespace glomp::d3dx {

// Draws from system memory: the device copies what it needs at the draw, so the mesh never
// owns device resources and can be made on any thread.
HRESULT Mesh::DrawSubset(DWORD attribId) {
  if (!device_) return D3DERR_INVALIDCALL;
  HRESULT hr = device_->SetFVF(fvf_);
  if (FAILED(hr)) return hr;
  auto draw = [this](DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount) {
    return device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, vertexStart, vertexCount, faceCount,
                                           indices_.data() + 3 * static_cast<size_t>(faceStart),
                                           D3DFMT_INDEX16, vertices_.data(),
                                           static_cast<UINT>(layout_.stride));
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
