#include <d3dx9.h>

#include <new>
#include <vector>

#include "com_object.h"

namespace {

class Buffer final : public glomp::ComObject<ID3DXBuffer> {
 public:
  explicit Buffer(DWORD size) : bytes_(size, 0) {}
  LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

 private:
  std::vector<BYTE> bytes_;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = new (std::nothrow) Buffer(numBytes);
  return *buffer ? S_OK : E_OUTOFMEMORY;
}
