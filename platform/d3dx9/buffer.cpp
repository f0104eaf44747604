#include <d3dx9.h>

#include <atomic>
#include <new>
#include <vector>

namespace {

class Buffer final : public ID3DXBuffer {
 public:
  explicit Buffer(DWORD size) : bytes_(size, 0) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

 private:
  std::vector<BYTE> bytes_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = new (std::nothrow) Buffer(numBytes);
  return *buffer ? S_OK : E_OUTOFMEMORY;
}
