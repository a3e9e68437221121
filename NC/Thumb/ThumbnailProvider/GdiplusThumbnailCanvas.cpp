#include "GdiplusThumbnailCanvas.h"

#include "NcPathContext.h"

using namespace Gdiplus;

namespace {

ARGB OpaqueArgb(uint8_t red, uint8_t green, uint8_t blue) {
  return 0xFF000000u | (static_cast<ARGB>(red) << 16) | (static_cast<ARGB>(green) << 8) | blue;
}

GpFont* FontFromFamily(GpFontFamily* family, float emSize, INT style) {
  GpFont* font = nullptr;
  if (DllExports::GdipCreateFont(family, emSize, style, UnitPixel, &font) != Ok) font = nullptr;
  DllExports::GdipDeleteFontFamily(family);
  return font;
}

}  // namespace

GpFont* CreateLabelFont(float emSize, INT style) {
  GpFontFamily* family = nullptr;
  GpFont* font = nullptr;
  if (DllExports::GdipCreateFontFamilyFromName(L"Arial", nullptr, &family) == Ok) {
    font = FontFromFamily(family, emSize, style);
  }
  if (font == nullptr && DllExports::GdipGetGenericFontFamilySansSerif(&family) == Ok) {
    font = FontFromFamily(family, emSize, style);
  }
  return font;
}

GdiplusThumbnailCanvas::~GdiplusThumbnailCanvas() {
  UnlockPixels();
  for (KeptPen& kept : pens_) {
    if (kept.pen != nullptr) DllExports::GdipDeletePen(kept.pen);
  }
  for (KeptBrush& kept : brushes_) {
    if (kept.brush != nullptr) DllExports::GdipDeleteBrush(kept.brush);
  }
  if (font_ != nullptr) DllExports::GdipDeleteFont(font_);
}

GpPen* GdiplusThumbnailCanvas::PenFor(uint32_t argb, float width) {
  KeptPen* slot = &pens_[kKept - 1];  // when all are taken, the last one is replaced
  for (KeptPen& kept : pens_) {
    if (kept.pen != nullptr && kept.argb == argb && kept.width == width) return kept.pen;
    if (kept.pen == nullptr) {
      slot = &kept;
      break;
    }
  }
  if (slot->pen != nullptr) DllExports::GdipDeletePen(slot->pen);
  *slot = {argb, width, nullptr};
  if (DllExports::GdipCreatePen1(argb, width, UnitWorld, &slot->pen) != Ok) slot->pen = nullptr;
  return slot->pen;
}

GpSolidFill* GdiplusThumbnailCanvas::BrushFor(uint32_t argb) {
  KeptBrush* slot = &brushes_[kKept - 1];
  for (KeptBrush& kept : brushes_) {
    if (kept.brush != nullptr && kept.argb == argb) return kept.brush;
    if (kept.brush == nullptr) {
      slot = &kept;
      break;
    }
  }
  if (slot->brush != nullptr) DllExports::GdipDeleteBrush(slot->brush);
  *slot = {argb, nullptr};
  if (DllExports::GdipCreateSolidFill(argb, &slot->brush) != Ok) slot->brush = nullptr;
  return slot->brush;
}

bool GdiplusThumbnailCanvas::LockPixels() {
  if (pixels_.pixels != nullptr) return true;
  if (image_ == nullptr || lockFailed_) return false;
  UINT width = 0, height = 0;
  DllExports::GdipGetImageWidth(image_, &width);
  DllExports::GdipGetImageHeight(image_, &height);
  // Whatever GDI+ still holds back for this bitmap lands before the lines.
  DllExports::GdipFlush(graphics_, FlushIntentionSync);
  const GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  if (width == 0 || height == 0 ||
      DllExports::GdipBitmapLockBits(image_, &whole, ImageLockModeRead | ImageLockModeWrite,
                                     PixelFormat32bppARGB, &locked_) != Ok) {
    lockFailed_ = true;
    return false;
  }
  pixels_.pixels = static_cast<uint32_t*>(locked_.Scan0);
  pixels_.width = static_cast<int32_t>(width);
  pixels_.height = static_cast<int32_t>(height);
  pixels_.stride = locked_.Stride / 4;  // bytes to pixels; negative when bottom-up
  return true;
}

void GdiplusThumbnailCanvas::UnlockPixels() {
  if (pixels_.pixels == nullptr) return;
  DllExports::GdipBitmapUnlockBits(image_, &locked_);
  pixels_ = PixelRows{};
}

void GdiplusThumbnailCanvas::CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                            uint8_t red, uint8_t green, uint8_t blue) {
  const ARGB colour = OpaqueArgb(red, green, blue);
  if (LockPixels()) {
    RasterLine(pixels_, x1, y1, x2, y2, colour);
    return;
  }
  GpPen* pen = PenFor(colour, 1.0f);
  if (pen != nullptr) DllExports::GdipDrawLineI(graphics_, pen, x1, y1, x2, y2);
}

void GdiplusThumbnailCanvas::CanvasDrawLines(const Pixel* pixels, int count, uint8_t red,
                                             uint8_t green, uint8_t blue) {
  if (count < 2 || !LockPixels()) {
    ThumbnailCanvas::CanvasDrawLines(pixels, count, red, green, blue);
    return;
  }
  const ARGB colour = OpaqueArgb(red, green, blue);
  RasterLines(pixels_, pixels, count, colour);
}

void GdiplusThumbnailCanvas::CanvasFillCircle(int32_t left, int32_t top, int32_t radius,
                                              uint8_t red, uint8_t green, uint8_t blue) {
  if (radius < 1) return;
  const ARGB colour = OpaqueArgb(red, green, blue);
  if (LockPixels()) {
    RasterCircle(pixels_, left, top, radius, colour);
    return;
  }
  GpSolidFill* brush = BrushFor(colour);
  if (brush != nullptr) {
    DllExports::GdipFillEllipseI(graphics_, brush, left, top, 2 * radius, 2 * radius);
  }
}

void GdiplusThumbnailCanvas::BeginOverlays(double emSize) {
  UnlockPixels();
  if (font_ == nullptr) font_ = CreateLabelFont(static_cast<float>(emSize), FontStyleRegular);
  // Grid-fitted first, then plain anti-aliasing for every text that follows;
  // from here on each overlay pixel replaces the one beneath, alpha included
  // (unless the picture is opaque).
  DllExports::GdipSetTextRenderingHint(graphics_, TextRenderingHintAntiAliasGridFit);
  if (!opaque_) DllExports::GdipSetCompositingMode(graphics_, CompositingModeSourceCopy);
  DllExports::GdipSetTextRenderingHint(graphics_, TextRenderingHintAntiAlias);
}

void GdiplusThumbnailCanvas::DrawText(double x, double y, const char* utf8, uint32_t argb) {
  // The longest text is a comment: 199 bytes, each at most one UTF-16 unit.
  wchar_t text[COMMENT_SIZE * 2];
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, COMMENT_SIZE * 2);
  if (length <= 1) return;  // failed, or nothing but the terminator
  GpSolidFill* brush = BrushFor(argb);
  if (brush == nullptr || font_ == nullptr) return;
  // Width and height 0: no clipping and no wrapping, (x, y) is the top-left corner.
  const RectF layout(static_cast<REAL>(x), static_cast<REAL>(y), 0.0f, 0.0f);
  DllExports::GdipDrawString(graphics_, text, length - 1, font_, &layout, nullptr, brush);
}

void GdiplusThumbnailCanvas::FillRect(double x, double y, double width, double height,
                                      uint32_t argb) {
  GpSolidFill* brush = BrushFor(argb);
  if (brush == nullptr) return;
  DllExports::GdipFillRectangle(graphics_, brush, static_cast<REAL>(x), static_cast<REAL>(y),
                                static_cast<REAL>(width), static_cast<REAL>(height));
}

void GdiplusThumbnailCanvas::DrawPenLine(double x1, double y1, double x2, double y2,
                                         double width, uint32_t argb) {
  GpPen* pen = PenFor(argb, static_cast<float>(width));
  if (pen == nullptr) return;
  DllExports::GdipDrawLine(graphics_, pen, static_cast<REAL>(x1), static_cast<REAL>(y1),
                           static_cast<REAL>(x2), static_cast<REAL>(y2));
}
