#include "CairoThumbnailCanvas.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// The label font: Arial as on Windows. Fontconfig gives its metric twin
// (Liberation Sans) where installed, and the default sans-serif otherwise.
constexpr const char* kLabelFamily = "Arial";

// GDI+ leaves about a sixth of an em of padding before the first glyph of a
// string drawn with the default string format.
constexpr double kTextPaddingEm = 1.0 / 6.0;

// Half a pixel: from GDI+ coordinates (pixel centres on whole numbers) to
// Cairo's (pixel centres on halves).
constexpr double kHalf = 0.5;

uint32_t OpaquePixel(uint8_t red, uint8_t green, uint8_t blue) {
  return 0xFF000000u | (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

// Floor of a / b for b > 0, with the remainder a - floor * b in [0, b).
std::pair<int64_t, int64_t> FloorDivide(__int128 a, int64_t b) {
  __int128 q = a / b;
  __int128 r = a % b;
  if (r < 0) {
    q -= 1;
    r += b;
  }
  return {static_cast<int64_t>(q), static_cast<int64_t>(r)};
}

// Largest n with n * n <= value, for value >= 0.
int64_t IntegerSquareRoot(int64_t value) {
  auto n = static_cast<int64_t>(std::sqrt(static_cast<double>(value)));
  while (n > 0 && n * n > value) --n;
  while ((n + 1) * (n + 1) <= value) ++n;
  return n;
}

}  // namespace

CairoThumbnailCanvas::CairoThumbnailCanvas(int size)
    : size_(size),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)),
      cr_(cairo_create(surface_.get())) {
  // A new image surface is fully transparent, like a new GDI+ bitmap.
  if (cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS) {
    pixels_ = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface_.get()));
    stride_ = cairo_image_surface_get_stride(surface_.get()) / 4;
  }
  // GDI+ smoothing is off unless asked for: every shape is aliased.
  cairo_set_antialias(cr_.get(), CAIRO_ANTIALIAS_NONE);
}

void CairoThumbnailCanvas::BeginPixelWrites() {
  if (!writingPixels_) {
    cairo_surface_flush(surface_.get());
    writingPixels_ = true;
  }
}

void CairoThumbnailCanvas::EndPixelWrites() {
  if (writingPixels_) {
    cairo_surface_mark_dirty(surface_.get());
    writingPixels_ = false;
  }
}

// The path lines are written straight into the pixels rather than stroked:
// a one-pixel aliased line is exactly one pixel per step along its longer
// axis, ends included, and ends far outside the picture (the interpreter
// clamps them into 32 bits) cost nothing and lose no precision.
void CairoThumbnailCanvas::CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                          uint8_t red, uint8_t green, uint8_t blue) {
  ++lineCalls_;
  if ((x1 == x2 && y1 == y2) || pixels_ == nullptr) return;
  BeginPixelWrites();
  const uint32_t colour = OpaquePixel(red, green, blue);

  // Walk the longer axis ("major") from its lower end, so that a line and
  // its reverse cover the same pixels.
  const bool steep = std::abs(int64_t{y2} - y1) > std::abs(int64_t{x2} - x1);
  int64_t a1 = steep ? y1 : x1, m1 = steep ? x1 : y1;
  int64_t a2 = steep ? y2 : x2, m2 = steep ? x2 : y2;
  if (a1 > a2) {
    std::swap(a1, a2);
    std::swap(m1, m2);
  }
  const int64_t from = std::max<int64_t>(a1, 0);
  const int64_t to = std::min<int64_t>(a2, size_ - 1);
  if (from > to) return;

  // The minor coordinate at major a is m1 + (a - a1) * dm / da rounded half
  // up: floor((2 (a - a1) dm + da) / (2 da)). Exact at the clipped start,
  // then stepped with the remainder.
  const int64_t da = a2 - a1;  // > 0
  const int64_t dm = m2 - m1;
  const int64_t twoDa = 2 * da;
  // A line that starts inside the picture needs no division: at a1 the
  // quotient is 0 and the remainder da.
  auto [step, remainder] = from == a1 ? std::pair<int64_t, int64_t>{0, da}
                                      : FloorDivide(__int128{2} * (from - a1) * dm + da, twoDa);
  int64_t m = m1 + step;
  const int64_t majorStride = steep ? stride_ : 1;
  const int64_t minorStride = steep ? 1 : stride_;
  const auto size = static_cast<uint64_t>(size_);
  for (int64_t a = from; a <= to; ++a) {
    if (static_cast<uint64_t>(m) < size) pixels_[a * majorStride + m * minorStride] = colour;
    remainder += 2 * dm;  // |2 dm| <= 2 da: at most one step either way
    if (remainder >= twoDa) {
      remainder -= twoDa;
      ++m;
    } else if (remainder < 0) {
      remainder += twoDa;
      --m;
    }
  }
}

// A filled circle in the square (left, top, 2 radius, 2 radius): the pixels
// whose centres lie within `radius` of the square's centre pixel. Written
// directly like the lines, for the same reasons.
void CairoThumbnailCanvas::CanvasFillCircle(int32_t left, int32_t top, int32_t radius,
                                            uint8_t red, uint8_t green, uint8_t blue) {
  ++circleCalls_;
  if (radius < 1 || pixels_ == nullptr) return;
  BeginPixelWrites();
  const uint32_t colour = OpaquePixel(red, green, blue);
  const int64_t r = radius;
  const int64_t cx = int64_t{left} + r;
  const int64_t cy = int64_t{top} + r;
  const int64_t firstRow = std::max<int64_t>(cy - r, 0);
  const int64_t lastRow = std::min<int64_t>(cy + r, size_ - 1);
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    const int64_t dy = y - cy;
    const int64_t half = IntegerSquareRoot(r * r - dy * dy);
    const int64_t firstColumn = std::max<int64_t>(cx - half, 0);
    const int64_t lastColumn = std::min<int64_t>(cx + half, size_ - 1);
    for (int64_t x = firstColumn; x <= lastColumn; ++x) pixels_[y * stride_ + x] = colour;
  }
}

void CairoThumbnailCanvas::BeginOverlays(double emSize) {
  EndPixelWrites();
  cairo_t* cr = cr_.get();
  // From here on each overlay replaces what lies beneath it, alpha included
  // (GDI+ source-copy compositing).
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);

  cairo_select_font_face(cr, kLabelFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, emSize);
  // Anti-aliased, unhinted text at its true advance widths, as GDI+'s
  // anti-alias text hint draws it.
  CairoFontOptions options(cairo_font_options_create());
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options.get());

  cairo_font_extents_t extents{};
  cairo_font_extents(cr, &extents);
  emSize_ = emSize;
  ascent_ = extents.ascent;
}

void CairoThumbnailCanvas::SetColour(uint32_t argb) {
  cairo_set_source_rgba(cr_.get(), ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                        (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

// GDI+ puts the first line's baseline one ascent below the layout box's top.
// The baseline is put on a whole pixel row, so the foot of the letters stays
// crisp.
void CairoThumbnailCanvas::DrawText(double x, double y, const char* utf8, uint32_t argb) {
  EndPixelWrites();
  cairo_t* cr = cr_.get();
  SetColour(argb);
  cairo_move_to(cr, x + kTextPaddingEm * emSize_ + kHalf, std::round(y + ascent_ + kHalf));
  cairo_show_text(cr, utf8);
  cairo_new_path(cr);
}

void CairoThumbnailCanvas::FillRect(double x, double y, double width, double height,
                                    uint32_t argb) {
  EndPixelWrites();
  cairo_t* cr = cr_.get();
  SetColour(argb);
  cairo_rectangle(cr, x + kHalf, y + kHalf, width, height);
  cairo_fill(cr);
}

// A GDI+ pen line covers the pixels of both its ends: the stroke is made half
// a pixel longer at each end.
void CairoThumbnailCanvas::DrawPenLine(double x1, double y1, double x2, double y2,
                                       double width, uint32_t argb) {
  EndPixelWrites();
  const double length = std::hypot(x2 - x1, y2 - y1);
  if (!(length > 0.0) || !std::isfinite(length)) return;
  const double ux = (x2 - x1) / length * kHalf;
  const double uy = (y2 - y1) / length * kHalf;
  cairo_t* cr = cr_.get();
  SetColour(argb);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, x1 - ux + kHalf, y1 - uy + kHalf);
  cairo_line_to(cr, x2 + ux + kHalf, y2 + uy + kHalf);
  cairo_stroke(cr);
}

CairoSurface CairoThumbnailCanvas::FlattenOnWhite() {
  EndPixelWrites();
  cairo_surface_flush(surface_.get());
  CairoSurface flat(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size_, size_));
  CairoContext cr(cairo_create(flat.get()));
  cairo_set_source_rgb(cr.get(), 1.0, 1.0, 1.0);
  cairo_paint(cr.get());
  cairo_set_source_surface(cr.get(), surface_.get(), 0, 0);
  cairo_paint(cr.get());
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(flat.get());
  return flat;
}

cairo_status_t CairoThumbnailCanvas::Status() const {
  const cairo_status_t status = cairo_status(cr_.get());
  return status != CAIRO_STATUS_SUCCESS ? status : cairo_surface_status(surface_.get());
}

void ReleaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}
