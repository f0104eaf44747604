// Inside the platform layer only: the COM plumbing every stand-in object
// shares — an atomic reference count that deletes the object at zero, and a
// QueryInterface that answers IUnknown and the listed interface ids with the
// object itself.
#pragma once
#include "glomp/wintypes.h"

#include <atomic>

namespace glomp {

// AddRef and Release for an object that implements one or more interfaces: the
// one count serves them all. Objects that answer QueryInterface in their own
// way (a sound buffer that is 3D only when it was made so) build on this alone.
template <class... Interfaces>
class RefCounted : public Interfaces... {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

template <class Interface, const IID&... answers>
class ComObject : public RefCounted<Interface> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || ((riid == answers) || ...)) {
      *object = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
};

}  // namespace glomp
