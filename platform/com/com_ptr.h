// An owning interface pointer: holds one reference and releases it when
// reset or destroyed.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/com/unknown.h"

namespace com {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Adds a reference of its own; the caller keeps theirs.
  explicit ComPtr(T* pointer) : pointer_(pointer) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.pointer_) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> ComPtr(ComPtr<U>&& other)
  noexcept : pointer_(other.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // Takes over a reference the caller already owns.
  void Attach(T* pointer) {
    Reset();
    pointer_ = pointer;
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(pointer_, nullptr); }

  // For out-parameters: releases what is held and returns the slot to fill.
  T** Put() {
    Reset();
    return &pointer_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // QueryInterface into another owning pointer.
  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(U::kIid, out->PutVoid());
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace com
