#pragma once
// The thumbnail canvas on a Cairo image surface, drawn the way the Windows
// thumbnail draws with GDI+: a transparent 32-bit ARGB picture, the path in
// aliased one-pixel lines and filled circles, then the overlays copied over
// it (source copy) with anti-aliased text. FlattenOnWhite gives the picture
// as the Windows bitmap handle shows it: over opaque white.
//
// Coordinates are GDI+ coordinates, where a pixel's centre lies on whole
// numbers; Cairo puts pixel centres on halves, so every shape is moved by
// half a pixel and rasterised without anti-aliasing to cover the same pixels.
#include <cstdint>

#include "CairoHandles.h"
#include "PathRaster.h"
#include "ThumbnailCanvas.h"

class CairoThumbnailCanvas final : public ThumbnailCanvas {
 public:
  // A transparent picture of size x size pixels.
  explicit CairoThumbnailCanvas(int size);

  // Path: lines and filled circles as the shared pixel writer draws them.
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red,
                      uint8_t green, uint8_t blue) override;
  void CanvasDrawLines(const Pixel* pixels, int count, uint8_t red, uint8_t green,
                       uint8_t blue) override;
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t red, uint8_t green,
                        uint8_t blue) override;

  void BeginOverlays(double emSize) override;
  void DrawText(double x, double y, const char* utf8, uint32_t argb) override;
  void FillRect(double x, double y, double width, double height, uint32_t argb) override;
  void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                   uint32_t argb) override;

  // The picture composed over opaque white, as an RGB surface (null when
  // Cairo failed; `Status` then says why).
  CairoSurface FlattenOnWhite();

  // The first error Cairo met on this canvas, or CAIRO_STATUS_SUCCESS.
  cairo_status_t Status() const;
  int Size() const { return size_; }
  // Numbers of path calls, for the trace.
  uint64_t LineCalls() const { return lineCalls_; }
  uint64_t CircleCalls() const { return circleCalls_; }
  // The transparent picture itself (premultiplied ARGB).
  cairo_surface_t* Surface() const { return surface_.get(); }

 private:
  // Lines are written straight into the surface's pixels; these bracket
  // such writes against Cairo's own drawing.
  void BeginPixelWrites();
  void EndPixelWrites();
  void SetColour(uint32_t argb);

  int size_;
  CairoSurface surface_;
  CairoContext cr_;
  PixelRows pixels_;  // the surface's memory, empty when Cairo failed
  bool writingPixels_ = false;
  double emSize_ = 10.0;
  double ascent_ = 0.0;
  uint64_t lineCalls_ = 0;
  uint64_t circleCalls_ = 0;
};

// Frees the font caches that Cairo and fontconfig keep for the life of the
// process, so that a leak checker sees a clean exit. Call it last, when no
// canvas is left.
void ReleaseFontCaches();
