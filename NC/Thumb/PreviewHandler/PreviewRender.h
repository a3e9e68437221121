#pragma once
// The pane's picture, drawn into a DIB section of the pane's size: the
// background painted, the program composed with the thumbnail's GDI+
// canvas (the path through the shared pixel writer, straight into the DIB's
// bits), or the message when there is no toolpath to show.
#include <windows.h>
#include <objidl.h>

#include <cstdint>

#include "PreviewComposition.h"

// A top-down 32-bit DIB section selected into a memory device context,
// ready to be blitted. Released once, whichever way its owner goes.
class PreviewBitmap {
 public:
  PreviewBitmap() = default;
  ~PreviewBitmap() { Reset(); }
  PreviewBitmap(const PreviewBitmap&) = delete;
  PreviewBitmap& operator=(const PreviewBitmap&) = delete;

  // A new picture of `width` x `height` pixels, contents undefined. False
  // (and no picture) when GDI cannot make it.
  bool Create(int width, int height);
  void Reset();

  explicit operator bool() const { return dc_ != nullptr; }
  HDC Dc() const { return dc_; }
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

// Colours of the pane: opaque 0xFFRRGGBB.
struct PreviewColours {
  uint32_t background = 0xFFFFFFFF;
  uint32_t text = 0xFF000000;
  uint32_t band = 0xFFF0F0F0;  // behind the comments
};

// Draws the picture of the program in `stream` (read from its start) into
// `bitmap`, which has the pane's size. S_OK, or the stream's failure when
// reading it failed (the message is shown then), or the failure of GDI+.
HRESULT RenderPreview(IStream* stream, const ThumbnailOptions& overlays,
                      const PreviewColours& colours, PreviewBitmap& bitmap);
