#pragma once
// An owned COM reference: released once when the holder lets it go or is
// destroyed, so no exit path can leak it or release it twice.
#include <unknwn.h>

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* Get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Drops the reference held, if any.
  void Reset() {
    Interface* old = pointer_;
    pointer_ = nullptr;
    if (old != nullptr) old->Release();
  }
  // Holds a reference of its own to `pointer` (may be null).
  void Share(Interface* pointer) {
    if (pointer != nullptr) pointer->AddRef();
    Reset();
    pointer_ = pointer;
  }
  // Takes over a reference the caller holds (a new object's first one).
  void Attach(Interface* pointer) {
    Reset();
    pointer_ = pointer;
  }
  // For a call that hands out a new reference through an out-pointer.
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }

 private:
  Interface* pointer_ = nullptr;
};
