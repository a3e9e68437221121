// The parts the DLL draws with, tested on their own: the COM stream adapter
// (chunked reads, failing streams) and the GDI+ canvas with its kept pens
// and brushes, compared pixel for pixel with a pen and brush per call.
#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ComStreamSource.h"
#include "GdiPathCanvas.h"
#include "GdiplusThumbnailCanvas.h"
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

// Composes `program` with every overlay on `canvas` and returns the ARGB pixels.
template <typename Canvas>
std::vector<ARGB> Compose(const std::string& program) {
  std::vector<ARGB> pixels;
  GpBitmap* image = nullptr;
  DllExports::GdipCreateBitmapFromScan0(255, 255, 0, PixelFormat32bppARGB, nullptr, &image);
  GpGraphics* graphics = nullptr;
  DllExports::GdipGetImageGraphicsContext(image, &graphics);
  {
    Canvas canvas(graphics);
    MemorySource source(program.data(), program.size());
    ThumbnailOptions options;
    options.showAxis = options.showComment = options.showType = true;
    NcPathContext ctx{};
    ComposeThumbnail(source, canvas, options, ctx);
  }
  DllExports::GdipDeleteGraphics(graphics);
  for (INT y = 0; y < 255; ++y) {
    for (INT x = 0; x < 255; ++x) {
      ARGB colour = 0;
      DllExports::GdipBitmapGetPixel(image, x, y, &colour);
      pixels.push_back(colour);
    }
  }
  DllExports::GdipDisposeImage(image);
  return pixels;
}

TEST(GdiplusThumbnailCanvasTest, KeptPensAndBrushesDrawTheSamePixels) {
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &startup, nullptr), Ok);
  // Lines, arcs, drilling markers, comments: every pen and brush in use.
  const std::string program = ZigzagProgram(800) +
                              "(SECOND COMMENT)\n(THIRD COMMENT)\n"
                              "G81 X10 Y80 Z-5 R2\nX30 Y80\nX50 Y80\nG80\nM30\n";
  const std::vector<ARGB> kept = Compose<GdiplusThumbnailCanvas>(program);
  const std::vector<ARGB> fresh = Compose<FreshPenCanvas>(program);
  ASSERT_EQ(kept.size(), fresh.size());
  int differing = 0;
  for (size_t i = 0; i < kept.size(); ++i) differing += kept[i] != fresh[i];
  EXPECT_EQ(differing, 0);
  int opaque = 0;
  for (ARGB colour : kept) opaque += (colour >> 24) == 0xFF;
  EXPECT_GT(opaque, 3000) << "the picture should not be empty";
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
