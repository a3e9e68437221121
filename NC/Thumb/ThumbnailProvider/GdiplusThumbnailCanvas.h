#pragma once
// The thumbnail canvas on a GDI+ graphics, through the flat GDI+ interface.
// The path's lines and markers are written into the bitmap's locked bits by
// the pixel writer the Linux renderer shares (the pixels GDI+ draws under
// Wine, for a fraction of the cost); the overlays are GDI+'s.
#include <windows.h>
#include <gdiplus.h>

#include "PathRaster.h"
#include "ThumbnailCanvas.h"

// The label font: "Arial" at `emSize` pixels, or the generic sans-serif
// family when "Arial" is not installed. Null when neither can be made; texts
// drawn with a null font then fail quietly.
Gdiplus::GpFont* CreateLabelFont(float emSize, INT style);

class GdiplusThumbnailCanvas final : public ThumbnailCanvas {
 public:
  // The graphics and the bitmap it draws on stay the caller's; they must
  // outlive the canvas. Without the bitmap (or when its bits cannot be
  // locked) GDI+ draws the path itself: under Wine the very same pixels.
  // On a picture whose background is painted already (`opaque`), the
  // overlays blend over it instead of replacing its pixels, so that their
  // anti-aliased edges need no later flattening.
  explicit GdiplusThumbnailCanvas(Gdiplus::GpGraphics* graphics,
                                  Gdiplus::GpBitmap* image = nullptr, bool opaque = false)
      : graphics_(graphics), image_(image), opaque_(opaque) {}
  ~GdiplusThumbnailCanvas() override;
  GdiplusThumbnailCanvas(const GdiplusThumbnailCanvas&) = delete;
  GdiplusThumbnailCanvas& operator=(const GdiplusThumbnailCanvas&) = delete;

  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red,
                      uint8_t green, uint8_t blue) override;
  void CanvasDrawLines(const Pixel* pixels, int count, uint8_t red, uint8_t green,
                       uint8_t blue) override;
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t red, uint8_t green,
                        uint8_t blue) override;
  void EndRun() override { UnlockPixels(); }

  void BeginOverlays(double emSize) override;
  void DrawText(double x, double y, const char* utf8, uint32_t argb) override;
  void FillRect(double x, double y, double width, double height, uint32_t argb) override;
  void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                   uint32_t argb) override;

 private:
  // The bitmap's bits stay locked while the path is written and are
  // unlocked before anything GDI+ draws on it.
  bool LockPixels();
  void UnlockPixels();

  // A solid pen or brush is made at its first use and kept for the run:
  // the path is one colour, so a single pen draws all its lines, and the
  // overlays need four brushes. Drawing with a kept pen gives the same
  // pixels as with a fresh one; only the creating and deleting is saved.
  Gdiplus::GpPen* PenFor(uint32_t argb, float width);
  Gdiplus::GpSolidFill* BrushFor(uint32_t argb);

  struct KeptPen {
    uint32_t argb;
    float width;
    Gdiplus::GpPen* pen;
  };
  struct KeptBrush {
    uint32_t argb;
    Gdiplus::GpSolidFill* brush;
  };
  static constexpr int kKept = 6;  // more colours than the thumbnail uses

  Gdiplus::GpGraphics* graphics_;
  Gdiplus::GpBitmap* image_;
  bool opaque_;
  Gdiplus::BitmapData locked_ = {};
  PixelRows pixels_;        // the locked bits, empty while unlocked
  bool lockFailed_ = false; // then GDI+ draws the path
  Gdiplus::GpFont* font_ = nullptr;
  KeptPen pens_[kKept] = {};
  KeptBrush brushes_[kKept] = {};
};
