#pragma once
// Scope guards for what GetThumbnail takes from GDI+: the start-up, the
// bitmap and its graphics. Each is given back once, on every exit path.
#include <windows.h>
#include <gdiplus.h>

// GDI+ started for the guard's scope (version 1, its own background thread).
class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    status_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  ~GdiplusSession() {
    if (status_ == Gdiplus::Ok) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  Gdiplus::Status Result() const { return status_; }

 private:
  ULONG_PTR token_ = 0;
  Gdiplus::Status status_;
};

// A GDI+ object freed by `Free` when the guard goes.
template <typename Object, typename Free>
class GdiplusObject {
 public:
  GdiplusObject() = default;
  ~GdiplusObject() {
    if (object_ != nullptr) Free{}(object_);
  }
  GdiplusObject(const GdiplusObject&) = delete;
  GdiplusObject& operator=(const GdiplusObject&) = delete;

  Object* Get() const { return object_; }
  // For the creating call's out-pointer; the guard must be empty.
  Object** Put() { return &object_; }

 private:
  Object* object_ = nullptr;
};

struct DisposeGdiplusImage {
  void operator()(Gdiplus::GpImage* image) const { Gdiplus::DllExports::GdipDisposeImage(image); }
};
struct DeleteGdiplusGraphics {
  void operator()(Gdiplus::GpGraphics* graphics) const {
    Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  }
};
using GdiplusBitmap = GdiplusObject<Gdiplus::GpBitmap, DisposeGdiplusImage>;
using GdiplusGraphics = GdiplusObject<Gdiplus::GpGraphics, DeleteGdiplusGraphics>;

// The HRESULT a failed GDI+ call stands for.
inline HRESULT FromGdiplusStatus(Gdiplus::Status status) {
  if (status == Gdiplus::Ok) return S_OK;
  if (status == Gdiplus::OutOfMemory) return E_OUTOFMEMORY;
  return E_FAIL;
}
