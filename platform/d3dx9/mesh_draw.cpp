#include "d3dx9/mesh_impl.h"

namespace glomp::d3dx {

HRESULT Mesh::DrawSubset(DWORD) {
  if (!device_) return D3DERR_INVALIDCALL;
  return E_NOTIMPL;  // XXX until the device lands
}

}  // namespace glomp::d3dx
