#pragma once
// The interpreter draws through this interface, in pixel coordinates.
// A run may draw on two canvases at once: `graphics` (lines and filled
// circles; the thumbnail's GDI+ or Cairo back-end, or a recorder) and `gdi`
// (lines only; the export's pen on a device context).
#include <cstdint>

struct Pixel {
  int32_t x, y;
};

class PathCanvas {
 public:
  virtual ~PathCanvas() = default;
  // A solid one-pixel line; colour components 0..255, opaque.
  virtual void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                              uint8_t red, uint8_t green, uint8_t blue) = 0;
  // Lines from each of `count` pixels to the next, in order: exactly the
  // CanvasDrawLine calls this makes. An arc draws its chords this way, so
  // that a back-end writing pixels itself saves a call per chord.
  virtual void CanvasDrawLines(const Pixel* pixels, int count, uint8_t red, uint8_t green,
                               uint8_t blue) {
    for (int n = 1; n < count; ++n) {
      CanvasDrawLine(pixels[n - 1].x, pixels[n - 1].y, pixels[n].x, pixels[n].y, red, green,
                     blue);
    }
  }
  // A filled circle in the square of side 2 * radius whose top-left corner is
  // (left, top). The interpreter never calls it with a radius below 1.
  virtual void CanvasFillCircle(int32_t left, int32_t top, int32_t radius,
                                uint8_t red, uint8_t green, uint8_t blue) = 0;
  // Called once when the run ends, so a back-end can restore what it changed
  // on its target (the export selects the caller's old pen back here).
  virtual void EndRun() {}
};
