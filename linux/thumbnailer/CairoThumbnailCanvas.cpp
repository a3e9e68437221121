#include "CairoThumbnailCanvas.h"

#include <fontconfig/fontconfig.h>

#include <cmath>

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

}  // namespace

CairoThumbnailCanvas::CairoThumbnailCanvas(int size)
    : size_(size),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)),
      cr_(cairo_create(surface_.get())) {
  // A new image surface is fully transparent, like a new GDI+ bitmap.
  if (cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS) {
    pixels_.pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface_.get()));
    pixels_.width = pixels_.height = size;
    pixels_.stride = cairo_image_surface_get_stride(surface_.get()) / 4;
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

// The path is written straight into the pixels rather than stroked and
// filled: the shared writer covers the pixels GDI+ covers, and ends far
// outside the picture (the interpreter clamps them into 32 bits) cost
// nothing and lose no precision.
void CairoThumbnailCanvas::CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                          uint8_t red, uint8_t green, uint8_t blue) {
  ++lineCalls_;
  BeginPixelWrites();
  RasterLine(pixels_, x1, y1, x2, y2, OpaquePixel(red, green, blue));
}

void CairoThumbnailCanvas::CanvasDrawLines(const Pixel* pixels, int count, uint8_t red,
                                           uint8_t green, uint8_t blue) {
  if (count < 2) return;
  lineCalls_ += static_cast<uint64_t>(count - 1);
  BeginPixelWrites();
  const uint32_t colour = OpaquePixel(red, green, blue);
  RasterLines(pixels_, pixels, count, colour);
}

void CairoThumbnailCanvas::CanvasFillCircle(int32_t left, int32_t top, int32_t radius,
                                            uint8_t red, uint8_t green, uint8_t blue) {
  ++circleCalls_;
  BeginPixelWrites();
  RasterCircle(pixels_, left, top, radius, OpaquePixel(red, green, blue));
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
