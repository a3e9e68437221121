#pragma once
// The canvas the thumbnail is composed on: the interpreter's path canvas plus
// the few operations the overlays need. GDI+ (Windows) and Cairo (Linux)
// implement it; RecordingThumbnailCanvas records the calls for tests.
// Colours are 0xAARRGGBB; coordinates are pixels of the picture, y down.
#include <cstdint>

#include "PathCanvas.h"

class ThumbnailCanvas : public PathCanvas {
 public:
  // Called once after the path and before the first overlay. From here on
  // every overlay pixel replaces what lies beneath it (source copy, alpha
  // included) and text is anti-aliased. `emSize` is the label font's em
  // size in pixels (sans-serif, regular).
  virtual void BeginOverlays(double emSize) = 0;
  // Text whose layout box has its top-left corner at (x, y), no clipping and
  // no wrapping. `utf8` is UTF-8.
  virtual void DrawText(double x, double y, const char* utf8, uint32_t argb) = 0;
  virtual void FillRect(double x, double y, double width, double height, uint32_t argb) = 0;
  // A solid line of width `width` pixels.
  virtual void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                           uint32_t argb) = 0;
};
