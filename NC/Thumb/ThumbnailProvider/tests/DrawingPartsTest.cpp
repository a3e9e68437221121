// The parts the DLL draws with, tested on their own: the COM stream adapter
// (chunked reads, failing streams) and the GDI+ canvas, whose path the
// shared pixel writer puts into the bitmap's bits and whose overlays GDI+
// draws with kept pens and brushes, compared pixel for pixel with GDI+
// drawing everything with a pen and brush per call.
#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "ComStreamSource.h"
#include "GdiPathCanvas.h"
#include "GdiplusThumbnailCanvas.h"
#include "PathRaster.h"
#include "RecordingCanvas.h"
#include "VantrelTestSupport.h"

using namespace Gdiplus;

namespace {

// A milling program of `blocks` short moves and arcs: a zigzag over a plate.
std::string ZigzagProgram(int blocks) {
  std::string program = "%\n(ZIGZAG)\nG90 G17\nG0 X0 Y0\n";
  char line[64];
  for (int i = 0; i < blocks; ++i) {
    const int row = i / 50, column = i % 50;
    const double x = (row % 2 == 0) ? column * 2.0 : 98.0 - column * 2.0;
    if (i % 10 == 9) {
      std::snprintf(line, sizeof line, "G2 X%.3f Y%.3f R1.5\n", x, row * 1.5);
    } else {
      std::snprintf(line, sizeof line, "G1 X%.3f Y%.3f F800\n", x, row * 1.5);
    }
    program += line;
  }
  return program + "M30\n";
}

struct RunCounts {
  size_t lines;
  int reads;
  int seeks;
};

RunCounts RunOver(ObservedStream& stream) {
  ComStreamSource source(&stream);
  RecordingCanvas canvas;
  NcPathContext ctx{};
  ctx.graphics = &canvas;
  DrawToolpath(ctx, source);
  return {canvas.Count(CanvasCall::Line), stream.reads, stream.seeks};
}

TEST(ComStreamSourceTest, ReadsInLargeChunks) {
  const std::string program = ZigzagProgram(60000);
  ASSERT_GT(program.size(), 1000000u);
  IStream* memory = MemoryStream(program);
  ObservedStream stream(memory);
  const RunCounts counts = RunOver(stream);
  EXPECT_GT(counts.lines, 10000u);
  // Two passes over about a megabyte in chunks of tens of kilobytes: a few
  // dozen stream calls, not one per byte.
  EXPECT_LE(counts.reads, 2 * static_cast<int>(program.size() / 32768) + 8);
  EXPECT_LE(counts.seeks, 12);
  EXPECT_GE(stream.smallestRead, 1024u);
  memory->Release();
}

TEST(ComStreamSourceTest, SameDrawingAsFromMemory) {
  const std::string program = ZigzagProgram(500);
  IStream* memory = MemoryStream(program);
  ObservedStream stream(memory);
  ComStreamSource source(&stream);
  RecordingCanvas fromStream, fromMemory;
  NcPathContext a{}, b{};
  a.graphics = &fromStream;
  b.graphics = &fromMemory;
  DrawToolpath(a, source);
  MemorySource bytes(program.data(), program.size());
  DrawToolpath(b, bytes);
  ASSERT_EQ(fromStream.calls.size(), fromMemory.calls.size());
  for (size_t i = 0; i < fromStream.calls.size(); ++i) {
    EXPECT_EQ(fromStream.calls[i].a, fromMemory.calls[i].a);
    EXPECT_EQ(fromStream.calls[i].d, fromMemory.calls[i].d);
  }
  memory->Release();
}

TEST(ComStreamSourceTest, FailingReadEndsTheRun) {
  const std::string program = ZigzagProgram(60000);
  IStream* memory = MemoryStream(program);
  ObservedStream stream(memory);
  stream.failReadsAfter = 200000;  // well inside the first pass
  const RunCounts counts = RunOver(stream);
  // The run ends without spinning on the failing stream.
  EXPECT_LE(counts.reads, 40);
  memory->Release();
}

TEST(ComStreamSourceTest, FailingSeekDrawsNothing) {
  IStream* memory = MemoryStream(ZigzagProgram(1000));
  ObservedStream stream(memory);
  stream.failSeeks = true;
  const RunCounts counts = RunOver(stream);
  EXPECT_EQ(counts.lines, 0u);
  EXPECT_EQ(counts.reads, 0);
  memory->Release();
}

// The thumbnail canvas as first written: a pen or brush made and deleted
// around every single call.
class FreshPenCanvas final : public ThumbnailCanvas {
 public:
  explicit FreshPenCanvas(GpGraphics* graphics) : graphics_(graphics) {}
  ~FreshPenCanvas() override {
    if (font_ != nullptr) DllExports::GdipDeleteFont(font_);
  }
  void CanvasDrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t r, uint8_t g,
                      uint8_t b) override {
    GpPen* pen = nullptr;
    DllExports::GdipCreatePen1(Argb(r, g, b), 1.0f, UnitWorld, &pen);
    DllExports::GdipDrawLineI(graphics_, pen, x1, y1, x2, y2);
    DllExports::GdipDeletePen(pen);
  }
  void CanvasFillCircle(int32_t left, int32_t top, int32_t radius, uint8_t r, uint8_t g,
                        uint8_t b) override {
    GpSolidFill* brush = nullptr;
    DllExports::GdipCreateSolidFill(Argb(r, g, b), &brush);
    DllExports::GdipFillEllipseI(graphics_, brush, left, top, 2 * radius, 2 * radius);
    DllExports::GdipDeleteBrush(brush);
  }
  void BeginOverlays(double emSize) override {
    font_ = CreateLabelFont(static_cast<float>(emSize), FontStyleRegular);
    DllExports::GdipSetTextRenderingHint(graphics_, TextRenderingHintAntiAliasGridFit);
    DllExports::GdipSetCompositingMode(graphics_, CompositingModeSourceCopy);
    DllExports::GdipSetTextRenderingHint(graphics_, TextRenderingHintAntiAlias);
  }
  void DrawText(double x, double y, const char* utf8, uint32_t argb) override {
    wchar_t text[400];
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, 400);
    GpSolidFill* brush = nullptr;
    DllExports::GdipCreateSolidFill(argb, &brush);
    const RectF layout(static_cast<REAL>(x), static_cast<REAL>(y), 0, 0);
    DllExports::GdipDrawString(graphics_, text, length - 1, font_, &layout, nullptr, brush);
    DllExports::GdipDeleteBrush(brush);
  }
  void FillRect(double x, double y, double width, double height, uint32_t argb) override {
    GpSolidFill* brush = nullptr;
    DllExports::GdipCreateSolidFill(argb, &brush);
    DllExports::GdipFillRectangle(graphics_, brush, static_cast<REAL>(x), static_cast<REAL>(y),
                                  static_cast<REAL>(width), static_cast<REAL>(height));
    DllExports::GdipDeleteBrush(brush);
  }
  void DrawPenLine(double x1, double y1, double x2, double y2, double width,
                   uint32_t argb) override {
    GpPen* pen = nullptr;
    DllExports::GdipCreatePen1(argb, static_cast<REAL>(width), UnitWorld, &pen);
    DllExports::GdipDrawLine(graphics_, pen, static_cast<REAL>(x1), static_cast<REAL>(y1),
                             static_cast<REAL>(x2), static_cast<REAL>(y2));
    DllExports::GdipDeletePen(pen);
  }

 private:
  static ARGB Argb(uint8_t r, uint8_t g, uint8_t b) {
    return 0xFF000000u | (static_cast<ARGB>(r) << 16) | (static_cast<ARGB>(g) << 8) | b;
  }
  GpGraphics* graphics_;
  GpFont* font_ = nullptr;
};

// The DLL's canvas writes its lines into the bitmap; the reference has no
// use for it.
template <typename Canvas>
Canvas MakeCanvas(GpGraphics* graphics, GpBitmap* image) {
  if constexpr (std::is_same_v<Canvas, GdiplusThumbnailCanvas>) {
    return Canvas(graphics, image);
  } else {
    return Canvas(graphics);
  }
}

// Composes `program` with every overlay on a `Canvas` made from the
// bitmap's graphics and, where it takes one, the bitmap; returns the ARGB
// pixels of a `size` x `size` picture.
template <typename Canvas>
std::vector<ARGB> Compose(const std::string& program, INT size = 255) {
  std::vector<ARGB> pixels;
  GpBitmap* image = nullptr;
  DllExports::GdipCreateBitmapFromScan0(size, size, 0, PixelFormat32bppARGB, nullptr, &image);
  GpGraphics* graphics = nullptr;
  DllExports::GdipGetImageGraphicsContext(image, &graphics);
  {
    Canvas canvas = MakeCanvas<Canvas>(graphics, image);
    MemorySource source(program.data(), program.size());
    ThumbnailOptions options;
    options.showAxis = options.showComment = options.showType = true;
    options.size = size;
    NcPathContext ctx{};
    ComposeThumbnail(source, canvas, options, ctx);
  }
  DllExports::GdipDeleteGraphics(graphics);
  for (INT y = 0; y < size; ++y) {
    for (INT x = 0; x < size; ++x) {
      ARGB colour = 0;
      DllExports::GdipBitmapGetPixel(image, x, y, &colour);
      pixels.push_back(colour);
    }
  }
  DllExports::GdipDisposeImage(image);
  return pixels;
}

int Differing(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
  if (a.size() != b.size()) return -1;
  int differing = 0;
  for (size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
  return differing;
}

// Programs that reach every corner of the pixel writer: every direction and
// slope, lines that leave the picture, far rapid moves whose pixels lie far
// outside it, arcs from one pixel to the whole picture, small and large
// markers crossed by the lines drawn after them.
std::string StarProgram() {
  std::string program = "(STAR)\nG90 G17\nG0 X0 Y0\n";
  char line[80];
  for (int i = 0; i < 720; ++i) {
    const double angle = i * 0.5 * 3.141592653589793 / 180.0;
    const double length = 10.0 + (i % 7) * 13.0;
    std::snprintf(line, sizeof line, "G1 X%.4f Y%.4f\nG1 X0 Y0\n", length * std::cos(angle),
                  length * std::sin(angle));
    program += line;
  }
  // Far rapid moves do not widen the frame: their pixels lie far outside.
  return program + "G0 X100000 Y-3\nG0 X-7 Y250000\nG0 X0 Y0\nM30\n";
}

std::string CirclesProgram() {
  std::string program = "(CIRCLES)\nG90 G17\nG0 X0 Y0\n";
  char line[96];
  for (int i = 0; i < 60; ++i) {
    const double r = 0.05 + i * i * 0.03;
    std::snprintf(line, sizeof line, "G0 X%.4f Y0\nG%d X%.4f Y0 I%.4f J0\nG2 X%.4f Y%.4f R%.4f\n",
                  r, i % 2 == 0 ? 2 : 3, r, -r, -r * 0.6, r * 0.8, r * 0.9);
    program += line;
  }
  return program + "G0 X-60 Y-60\nG0 X60 Y60\nM30\n";
}

// Holes `pitch` apart: the marker is one program unit, so the smaller the
// plate, the larger the marker in pixels.
std::string DrilledPlateProgram(double pitch) {
  std::string program = "(DRILLED PLATE)\nG90 G17\nG0 X0 Y0\nG81 Z-5 R2 F100\n";
  char line[64];
  for (int i = 0; i < 40; ++i) {
    std::snprintf(line, sizeof line, "X%.3f Y%.3f\n", (i % 8) * pitch, (i / 8) * pitch);
    program += line;
  }
  // Lines drawn after the markers run across them.
  std::snprintf(line, sizeof line, "G80\nG1 X0 Y0\nG1 X%.3f Y%.3f\n", 7 * pitch, 4 * pitch);
  return program + line + "M30\n";
}

TEST(GdiplusThumbnailCanvasTest, SharedPixelWriterDrawsWhatGdiplusDraws) {
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &startup, nullptr), Ok);
  // Lines, arcs, drilling markers, comments: every pen and brush in use.
  const std::string zigzag = ZigzagProgram(800) +
                             "(SECOND COMMENT)\n(THIRD COMMENT)\n"
                             "G81 X10 Y80 Z-5 R2\nX30 Y80\nX50 Y80\nG80\nM30\n";
  const std::pair<const char*, std::string> programs[] = {
      {"zigzag", zigzag},
      {"star", StarProgram()},
      {"circles", CirclesProgram()},
      {"drilled plate", DrilledPlateProgram(12)},
      {"small drilled plate", DrilledPlateProgram(1.7)},
      {"iso-milling.nc", ReadSample("iso-milling.nc")},
      {"iso-drilling.nc", ReadSample("iso-drilling.nc")},
      {"turning.nc", ReadSample("turning.nc")},
      {"tnc-contour.h", ReadSample("tnc-contour.h")},
      {"crlf-tnc.h", ReadSample("crlf-tnc.h")},
  };
  for (const auto& [name, program] : programs) {
    ASSERT_GT(program.size(), 50u) << name;
    for (INT size : {255, 400}) {
      const std::vector<ARGB> written = Compose<GdiplusThumbnailCanvas>(program, size);
      const std::vector<ARGB> drawn = Compose<FreshPenCanvas>(program, size);
      EXPECT_EQ(Differing(written, drawn), 0) << name << " at " << size;
      int opaque = 0;
      for (ARGB colour : written) opaque += (colour >> 24) == 0xFF;
      EXPECT_GT(opaque, 300) << name << ": the picture should not be empty";
    }
  }
  GdiplusShutdown(token);
}

// Markers on both platforms come from the shared writer; here they are held
// against GDI+'s own filled circles, of every size and partly outside the
// picture.
TEST(GdiplusThumbnailCanvasTest, SharedCircleWriterFillsWhatGdiplusFills) {
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &startup, nullptr), Ok);
  constexpr INT kSize = 255;
  const GpRect whole(0, 0, kSize, kSize);
  uint32_t seed = 11;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int32_t>((seed >> 8) % n);
  };
  int differingCircles = 0;
  for (int n = 0; n < 300; ++n) {
    const int32_t radius = n < 60 ? 1 + n : 1 + next(n < 250 ? 90 : 400);
    const int32_t left = next(400) - 150 - radius, top = next(400) - 150 - radius;
    GpBitmap* drawn = nullptr;
    GpBitmap* written = nullptr;
    DllExports::GdipCreateBitmapFromScan0(kSize, kSize, 0, PixelFormat32bppARGB, nullptr, &drawn);
    DllExports::GdipCreateBitmapFromScan0(kSize, kSize, 0, PixelFormat32bppARGB, nullptr, &written);
    GpGraphics* graphics = nullptr;
    DllExports::GdipGetImageGraphicsContext(drawn, &graphics);
    GpSolidFill* brush = nullptr;
    DllExports::GdipCreateSolidFill(COLOUR_MARKER, &brush);
    DllExports::GdipFillEllipseI(graphics, brush, left, top, 2 * radius, 2 * radius);
    DllExports::GdipDeleteBrush(brush);
    DllExports::GdipDeleteGraphics(graphics);

    BitmapData a = {}, b = {};
    ASSERT_EQ(DllExports::GdipBitmapLockBits(drawn, &whole, ImageLockModeRead,
                                             PixelFormat32bppARGB, &a), Ok);
    ASSERT_EQ(DllExports::GdipBitmapLockBits(written, &whole,
                                             ImageLockModeRead | ImageLockModeWrite,
                                             PixelFormat32bppARGB, &b), Ok);
    RasterCircle(PixelRows{static_cast<uint32_t*>(b.Scan0), kSize, kSize, b.Stride / 4}, left, top,
                 radius, COLOUR_MARKER);
    int differing = 0;
    for (INT y = 0; y < kSize; ++y) {
      const auto* rowA =
          reinterpret_cast<const uint32_t*>(static_cast<const char*>(a.Scan0) + y * a.Stride);
      const auto* rowB =
          reinterpret_cast<const uint32_t*>(static_cast<const char*>(b.Scan0) + y * b.Stride);
      for (INT x = 0; x < kSize; ++x) differing += rowA[x] != rowB[x];
    }
    EXPECT_EQ(differing, 0) << "radius " << radius << " at " << left << ", " << top;
    differingCircles += differing != 0;
    DllExports::GdipBitmapUnlockBits(drawn, &a);
    DllExports::GdipBitmapUnlockBits(written, &b);
    DllExports::GdipDisposeImage(drawn);
    DllExports::GdipDisposeImage(written);
    if (differingCircles > 5) break;  // enough to see what is wrong
  }
  GdiplusShutdown(token);
}

// The interpreter skips a line whose two ends are the same pixel. That is
// only sound while such a line leaves no mark on either back-end.
TEST(GdiplusThumbnailCanvasTest, ZeroLengthLinesLeaveNoMark) {
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &startup, nullptr), Ok);
  GpBitmap* image = nullptr;
  ASSERT_EQ(DllExports::GdipCreateBitmapFromScan0(32, 32, 0, PixelFormat32bppARGB, nullptr, &image),
            Ok);
  GpGraphics* graphics = nullptr;
  ASSERT_EQ(DllExports::GdipGetImageGraphicsContext(image, &graphics), Ok);
  {
    GdiplusThumbnailCanvas canvas(graphics);
    for (int at = 0; at < 30; at += 3) canvas.CanvasDrawLine(at, 10, at, 10, 0, 0, 255);
  }
  DllExports::GdipDeleteGraphics(graphics);
  int marked = 0;
  for (INT y = 0; y < 32; ++y) {
    for (INT x = 0; x < 32; ++x) {
      ARGB colour = 0;
      DllExports::GdipBitmapGetPixel(image, x, y, &colour);
      marked += colour != 0;
    }
  }
  EXPECT_EQ(marked, 0);
  DllExports::GdipDisposeImage(image);
  GdiplusShutdown(token);

  // GDI's LineTo leaves out its last pixel, so a line to its own start draws nothing.
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 32;
  info.bmiHeader.biHeight = -32;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  std::memset(bits, 0xFF, 32 * 32 * 4);
  {
    GdiPathCanvas pen(dc);
    for (int at = 0; at < 30; at += 3) pen.CanvasDrawLine(at, 10, at, 10, 0, 0, 255);
  }
  GdiFlush();
  const uint32_t* pixel = static_cast<const uint32_t*>(bits);
  int changed = 0;
  for (int i = 0; i < 32 * 32; ++i) changed += (pixel[i] & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_EQ(changed, 0);
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
}

TEST(GdiplusThumbnailCanvasTest, LabelFontIsFound) {
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &startup, nullptr), Ok);
  GpFont* font = CreateLabelFont(10.0f, FontStyleRegular);
  ASSERT_NE(font, nullptr);
  REAL size = 0;
  DllExports::GdipGetFontSize(font, &size);
  EXPECT_EQ(size, 10.0f);
  Unit unit = UnitWorld;
  DllExports::GdipGetFontUnit(font, &unit);
  EXPECT_EQ(unit, UnitPixel);
  DllExports::GdipDeleteFont(font);
  GdiplusShutdown(token);
}

}  // namespace
