#include "PreviewComposition.h"

#include <cmath>
#include <cstdio>

namespace {

// Passes the path's calls on and counts them: a run that made none had
// nothing to draw.
class CountingCanvas final : public PathCanvas {
 public:
  explicit CountingCanvas(PathCanvas& inner) : inner_(inner) {}
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t red,
                      uint8_t green, uint8_t blue) override {
    ++calls;
    inner_.CanvasDrawLine(x1, y1, x2, y2, red, green, blue);
  }
  void CanvasDrawLines(const Pixel* pixels, int count, uint8_t red, uint8_t green,
                       uint8_t blue) override {
    if (count > 1) calls += static_cast<uint64_t>(count - 1);
    inner_.CanvasDrawLines(pixels, count, red, green, blue);
  }
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t red, uint8_t green,
                        uint8_t blue) override {
    ++calls;
    inner_.CanvasFillCircle(left, top, radius, red, green, blue);
  }
  void EndRun() override { inner_.EndRun(); }

  uint64_t calls = 0;

 private:
  PathCanvas& inner_;
};

// A length in program units: up to three decimals, no trailing zeros.
std::string Length(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  std::string length = text;
  while (!length.empty() && length.back() == '0') length.pop_back();
  if (!length.empty() && length.back() == '.') length.pop_back();
  return length == "-0" ? "0" : length;
}

// A count with thousands separated: 1,234,567.
std::string Count(int64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

constexpr const char* kDot = " \xC2\xB7 ";     // middle dot between the facts
constexpr const char* kTimes = " \xC3\x97 ";   // multiplication sign

}  // namespace

PreviewLayout LayOutPreview(const PreviewOptions& options) {
  PreviewLayout layout;
  // Texts grow with the pane up to 1.6 times the thumbnail's, so a large
  // pane keeps most of its room for the path.
  const int shorter = options.width < options.height ? options.width : options.height;
  double scale = static_cast<double>(shorter) / THUMBNAIL_SIZE;
  layout.scale = scale < 1.0 ? 1.0 : (scale > 1.6 ? 1.6 : scale);
  const int factsHeight = static_cast<int>(std::ceil(16 * layout.scale));
  layout.pictureHeight = options.height > factsHeight ? options.height - factsHeight : 0;
  layout.margin = static_cast<int>(std::lround(8 * layout.scale));
  layout.factsY = layout.pictureHeight + 2 * layout.scale;
  return layout;
}

bool ComposePreview(ByteSource& source, ThumbnailCanvas& canvas, const PreviewOptions& options,
                    ProgramUnit unit, NcPathContext& ctx) {
  const PreviewLayout layout = LayOutPreview(options);
  PrepareThumbnailContext(ctx, canvas, THUMBNAIL_SIZE);
  ctx.marginX = ctx.marginY = layout.margin;
  const int areaWidth = options.width - 2 * layout.margin;
  const int areaHeight = layout.pictureHeight - 2 * layout.margin;
  ctx.canvasWidth = areaWidth > 1 ? areaWidth : 1;
  ctx.canvasHeight = areaHeight > 1 ? areaHeight : 1;
  ctx.fitInsideArea = true;
  CountingCanvas counting(canvas);
  ctx.graphics = &counting;
  DrawToolpath(ctx, source);
  ctx.graphics = &canvas;
  if (counting.calls == 0) return false;

  const OverlayFrame frame{static_cast<double>(options.width), layout.scale,
                           layout.pictureHeight - THUMBNAIL_SIZE * layout.scale};
  DrawOverlaysInFrame(canvas, options.overlays, ctx, frame);
  canvas.DrawText(layout.margin, layout.factsY, PreviewFacts(ctx, unit).c_str(),
                  options.overlays.textColour);
  return true;
}

void ComposePreviewMessage(ThumbnailCanvas& canvas, const PreviewOptions& options) {
  const PreviewLayout layout = LayOutPreview(options);
  canvas.BeginOverlays(12 * layout.scale);
  canvas.DrawText(layout.margin, layout.pictureHeight / 2 - 8 * layout.scale,
                  PREVIEW_NO_TOOLPATH_TEXT, options.overlays.textColour);
}

std::string PreviewFacts(const NcPathContext& ctx, ProgramUnit unit) {
  std::string facts = ctx.isTnc == 1 ? "TNC" : "ISO";
  facts += kDot;
  facts += ctx.plane == 2 ? "XZ (turning)" : "XY (milling)";
  if (ctx.maxX >= ctx.minX && ctx.maxY >= ctx.minY) {
    facts += kDot + Length(ctx.maxX - ctx.minX) + kTimes + Length(ctx.maxY - ctx.minY);
    if (unit == ProgramUnit::Millimetre) facts += " mm";
    if (unit == ProgramUnit::Inch) facts += " in";
  }
  facts += kDot + Count(ctx.blockCount) + (ctx.blockCount == 1 ? " block" : " blocks");
  return facts;
}
