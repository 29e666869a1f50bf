// The base of objects that implement interfaces: a thread-safe reference
// count and a QueryInterface that answers every listed interface and each
// interface it derives from.
//
//   class Player : public com::Implements<IStreamControl, IFilePlayback> { ... };
//   com::ComPtr<Player> player = com::MakeObject<Player>(args...);
//
// The object is deleted by its final Release, on the thread that makes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/com/com_ptr.h"
#include "platform/com/unknown.h"

namespace com {

namespace implements_detail {

template <class I>
constexpr bool Answers(const IID& iid) {
  if (iid == I::kIid) return true;
  if constexpr (std::is_same_v<I, IUnknown>) return false;
  else return Answers<typename I::Base>(iid);
}

}  // namespace implements_detail

template <class First, class... Rest>
class Implements : public First, public Rest... {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    // IUnknown must give the same pointer whichever interface is asked, so
    // identity checks work; it is the first interface's.
    if (iid == IUnknown::kIid) {
      *object = static_cast<First*>(this);
    } else if (!(FindListed<First>(iid, object) || (FindListed<Rest>(iid, object) || ...))) {
      HRESULT hr = QueryOtherInterface(iid, object);
      if (FAILED(hr) || !*object) return FAILED(hr) ? hr : E_NOINTERFACE;
      return hr;  // the override added the reference
    }
    AddRef();
    return S_OK;
  }

  uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

  uint32_t Release() override {
    uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // This object as IUnknown, without adding a reference.
  IUnknown* Identity() { return static_cast<First*>(this); }

 protected:
  Implements() = default;
  virtual ~Implements() = default;
  Implements(const Implements&) = delete;
  Implements& operator=(const Implements&) = delete;

  // For interfaces not in the list (for instance a member object's); must
  // add the reference itself.
  virtual HRESULT QueryOtherInterface(const IID&, void**) { return E_NOINTERFACE; }

 private:
  template <class I>
  bool FindListed(const IID& iid, void** object) {
    if (!implements_detail::Answers<I>(iid)) return false;
    *object = static_cast<I*>(this);
    return true;
  }

  std::atomic<uint32_t> refs_{0};
};

// Builds an object and returns it holding the first reference; null when
// memory runs out.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  return ComPtr<T>(object);
}

// The usual body of a class factory: builds an object and hands out the
// asked interface, or deletes it again when it has none.
template <class T, class... Args>
HRESULT CreateObjectFor(const IID& iid, void** object, Args&&... args) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<T> instance = MakeObject<T>(std::forward<Args>(args)...);
  if (!instance) return E_OUTOFMEMORY;
  return instance->QueryInterface(iid, object);
}

}  // namespace com
