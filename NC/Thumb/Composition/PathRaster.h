#pragma once
// The path's pixels written straight into a 32-bit picture, for every
// back-end: the Cairo surface on Linux and the GDI+ bitmap's locked bits in
// the DLL. Drawing a million short lines through a graphics library costs
// far more than the pixels themselves (GDI+ under Wine pays for every pixel
// of every line many times over); writing them here costs a few
// nanoseconds each and gives the same picture on both platforms.
//
// Coordinates are GDI+ coordinates: pixel (x, y) has its centre on whole
// numbers. Colours are opaque 0xFFRRGGBB, which reads the same in GDI+'s
// ARGB and in Cairo's premultiplied ARGB.
#include <cstdint>

#include "PathCanvas.h"

// A view of a picture's pixels: `width` x `height`, row y starting at
// `pixels + y * stride` (stride in pixels; negative for a bottom-up picture).
struct PixelRows {
  uint32_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int64_t stride = 0;
};

// RasterLine for lines other than the shortest; call RasterLine.
void RasterWalkedLine(const PixelRows& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      uint32_t colour);

// A one-pixel aliased line as GDI+ draws it: every pixel from (x1, y1) to
// (x2, y2), both ends included, one pixel per step along the longer axis,
// the other coordinate rounded half up (down the screen, or right). A line
// and its reverse cover the same pixels; a line whose ends are one pixel
// draws nothing. Ends anywhere in 32 bits: only the visible part costs.
inline void RasterLine(const PixelRows& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       uint32_t colour) {
  // Most lines of a dense path join neighbouring pixels inside the picture:
  // just their two ends. Written here, so that a million of them cost no
  // call each. (An empty picture has no pixel inside.)
  const auto width = static_cast<uint32_t>(picture.width);
  const auto height = static_cast<uint32_t>(picture.height);
  if (static_cast<uint32_t>(x1) < width && static_cast<uint32_t>(x2) < width &&
      static_cast<uint32_t>(y1) < height && static_cast<uint32_t>(y2) < height &&
      picture.width > 0 && picture.height > 0 && picture.pixels != nullptr) {
    const int32_t dx = x2 - x1, dy = y2 - y1;
    if (static_cast<uint32_t>(dx + 1) <= 2 && static_cast<uint32_t>(dy + 1) <= 2) {
      if ((dx | dy) == 0) return;
      uint32_t* const start = picture.pixels + y1 * picture.stride + x1;
      start[0] = colour;
      start[dy * picture.stride + dx] = colour;
      return;
    }
  }
  RasterWalkedLine(picture, x1, y1, x2, y2, colour);
}

// RasterLine from each of `count` pixels to the next, in order.
void RasterLines(const PixelRows& picture, const Pixel* points, int count, uint32_t colour);

// A filled circle in the square (left, top, 2 radius, 2 radius) as GDI+
// fills it with FillEllipse under Wine: the polygon its flattened Bezier
// outline makes, filled at pixel centres (so not quite round, and not quite
// symmetric). Nothing for a radius below 1.
void RasterCircle(const PixelRows& picture, int32_t left, int32_t top, int32_t radius,
                  uint32_t colour);
