#pragma once
#include <windows.h>

#include <cstdint>

// A top-down 32-bit DIB section selected into a memory device context:
// pixels to write directly and to blit from or into. Released once,
// whichever way its owner goes.
class DibSection {
 public:
  DibSection() = default;
  ~DibSection() { Reset(); }
  DibSection(const DibSection&) = delete;
  DibSection& operator=(const DibSection&) = delete;

  // A new picture of `width` x `height` pixels, contents undefined. False
  // (and no picture) when GDI cannot make it.
  bool Create(int width, int height);
  void Reset();

  explicit operator bool() const { return dc_ != nullptr; }
  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_; }
  uint32_t* Bits() const { return bits_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ replaced_ = nullptr;  // the memory DC's own bitmap, selected back at Reset
  uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};
