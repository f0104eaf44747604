// Inside the platform layer only: the COM plumbing every stand-in object
// shares — an atomic reference count that deletes the object at zero, and a
// QueryInterface that answers IUnknown and the listed interface ids with the
// object itself.
#pragma once
#include "glomp/wintypes.h"

#include <atomic>

namespace glomp {

template <class Interface, const IID&... answers>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || ((riid == answers) || ...)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace glomp
