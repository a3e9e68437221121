// The Cairo canvas on its own: which pixels each call covers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

#include "CairoThumbnailCanvas.h"
#include "TestSupport.h"
#include "ThumbnailComposition.h"

namespace {

// The font caches live as long as the process; freed at the end so the
// sanitizer build's leak check sees a clean exit.
class FontCaches : public ::testing::Environment {
 public:
  void TearDown() override { ReleaseFontCaches(); }
};
const auto* const kFontCaches = ::testing::AddGlobalTestEnvironment(new FontCaches);

constexpr uint32_t kTransparent = 0x00000000;
constexpr uint32_t kBlue = 0xFF0000FF;

using PixelSet = std::set<std::pair<int, int>>;

// The pixels of the transparent picture that hold anything.
PixelSet Inked(CairoThumbnailCanvas& canvas) {
  const Picture picture = PictureOf(canvas.Surface());
  PixelSet inked;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (picture.At(x, y) != kTransparent) inked.insert({x, y});
    }
  }
  return inked;
}

PixelSet Row(int y, int x0, int x1) {
  PixelSet pixels;
  for (int x = x0; x <= x1; ++x) pixels.insert({x, y});
  return pixels;
}

PixelSet Column(int x, int y0, int y1) {
  PixelSet pixels;
  for (int y = y0; y <= y1; ++y) pixels.insert({x, y});
  return pixels;
}

PixelSet LineOf(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasDrawLine(x1, y1, x2, y2, 0, 0, 255);
  return Inked(canvas);
}

}  // namespace

// GDI+ draws a one-pixel line over every pixel from its start to its end,
// both included; horizontal and vertical lines land on exactly one row or
// column.
TEST(CairoCanvasPath, StraightLinesCoverTheirRowOrColumnEndsIncluded) {
  EXPECT_EQ(LineOf(4, 251, 85, 251), Row(251, 4, 85));
  EXPECT_EQ(LineOf(85, 251, 4, 251), Row(251, 4, 85));
  EXPECT_EQ(LineOf(4, 170, 4, 251), Column(4, 170, 251));
  EXPECT_EQ(LineOf(4, 251, 4, 170), Column(4, 170, 251));
  EXPECT_EQ(LineOf(0, 0, 1, 0), Row(0, 0, 1));
}

TEST(CairoCanvasPath, LinesAreOpaqueInTheirColour) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasDrawLine(10, 20, 30, 20, 0, 0, 255);
  canvas.CanvasDrawLine(10, 40, 30, 40, 0x12, 0x34, 0x56);
  const Picture picture = PictureOf(canvas.Surface());
  EXPECT_EQ(picture.At(10, 20), kBlue);
  EXPECT_EQ(picture.At(30, 40), 0xFF123456u);
  EXPECT_EQ(picture.At(9, 20), kTransparent);
}

TEST(CairoCanvasPath, DiagonalsTakeOnePixelPerStepOfTheLongerAxis) {
  PixelSet diagonal;
  for (int i = 0; i <= 10; ++i) diagonal.insert({20 + i, 30 + i});
  EXPECT_EQ(LineOf(20, 30, 30, 40), diagonal);

  // A shallow line: one pixel per column, each on the row nearest the true
  // line (halves round down the screen).
  const PixelSet shallow = LineOf(0, 0, 10, 3);
  EXPECT_EQ(shallow.size(), 11u);
  for (const auto& [x, y] : shallow) EXPECT_EQ(y, static_cast<int>(std::floor(x * 0.3 + 0.5)));
}

TEST(CairoCanvasPath, ALineAndItsReverseCoverTheSamePixels) {
  std::srand(7);
  for (int n = 0; n < 200; ++n) {
    const int x1 = std::rand() % 300 - 20, y1 = std::rand() % 300 - 20;
    const int x2 = std::rand() % 300 - 20, y2 = std::rand() % 300 - 20;
    const PixelSet forward = LineOf(x1, y1, x2, y2);
    EXPECT_EQ(forward, LineOf(x2, y2, x1, y1)) << x1 << "," << y1 << " " << x2 << "," << y2;
    // Connected: every pixel but the last has a neighbour one step on.
    for (const auto& [x, y] : forward) {
      bool linked = forward.size() == 1 || (x == x2 && y == y2) || (x == x1 && y == y1);
      for (int dx = -1; dx <= 1 && !linked; ++dx) {
        for (int dy = -1; dy <= 1 && !linked; ++dy) {
          linked = (dx != 0 || dy != 0) && forward.count({x + dx, y + dy}) != 0;
        }
      }
      EXPECT_TRUE(linked) << x << "," << y;
    }
  }
}

// The interpreter skips a line whose ends fall on one pixel: that is sound
// only because such a line leaves this canvas unchanged.
TEST(CairoCanvasPath, AZeroLengthLineDrawsNothing) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasDrawLine(100, 100, 100, 100, 0, 0, 255);
  canvas.CanvasDrawLine(0, 0, 0, 0, 0, 0, 255);
  EXPECT_TRUE(Inked(canvas).empty());
  EXPECT_EQ(canvas.LineCalls(), 2u);
}

// Ends far outside the picture (the interpreter clamps pixels into 32 bits)
// draw exactly the part of the line that crosses the picture.
TEST(CairoCanvasPath, FarEndsAreClippedWithoutLosingTheLine) {
  EXPECT_EQ(LineOf(INT32_MIN, 10, INT32_MAX, 10), Row(10, 0, THUMBNAIL_SIZE - 1));
  EXPECT_EQ(LineOf(7, INT32_MAX, 7, -5), Column(7, 0, THUMBNAIL_SIZE - 1));
  EXPECT_TRUE(LineOf(INT32_MIN, INT32_MIN, -1, -1).empty());
  EXPECT_TRUE(LineOf(300, 10, INT32_MAX, 10).empty());

  // A steep line from far away: the visible pixels are those of the exact
  // line through both ends.
  const int64_t x1 = -1000000000, y1 = -1000;
  const int64_t x2 = 1000000000, y2 = 1000;
  for (const auto& [x, y] : LineOf(static_cast<int32_t>(x1), static_cast<int32_t>(y1),
                                   static_cast<int32_t>(x2), static_cast<int32_t>(y2))) {
    const double exact = y1 + static_cast<double>(x - x1) * (y2 - y1) / (x2 - x1);
    EXPECT_LE(std::fabs(y - exact), 0.5) << x << "," << y;
  }
}

// Markers are the circles GDI+ fills: a polygon of whole pixels around the
// centre of their square, a little flattened at the right and bottom.
TEST(CairoCanvasPath, MarkersAreTheCirclesGdiplusFills) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasFillCircle(100, 50, 3, 48, 74, 128);  // centre pixel (103, 53)
  EXPECT_EQ(canvas.CircleCalls(), 1u);
  EXPECT_EQ(PictureOf(canvas.Surface()).At(103, 53), 0xFF304A80u);
  PixelSet expected = Row(51, 101, 104);  // as GDI+ fills it under Wine
  for (const PixelSet& row : {Row(52, 101, 105), Row(53, 100, 105), Row(54, 101, 105),
                              Row(55, 101, 104)}) {
    expected.insert(row.begin(), row.end());
  }
  EXPECT_EQ(Inked(canvas), expected);

  CairoThumbnailCanvas none(THUMBNAIL_SIZE);
  none.CanvasFillCircle(10, 10, 0, 48, 74, 128);
  none.CanvasFillCircle(-100, -100, 5, 48, 74, 128);
  EXPECT_TRUE(Inked(none).empty());
}

// From BeginOverlays on, every overlay replaces what lies beneath.
TEST(CairoCanvasOverlays, RectanglesReplaceThePathBeneath) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasDrawLine(0, 20, 254, 20, 0, 0, 255);
  canvas.BeginOverlays(10);
  canvas.FillRect(0, 15, 255, 13, COLOUR_COMMENT_BAND);
  canvas.FillRect(10, 100, 20, 10, 0x80FF0000);  // half transparent: copied as it is
  const Picture picture = PictureOf(canvas.Surface());
  EXPECT_EQ(picture.Count(0, 15, 254, 27, COLOUR_COMMENT_BAND), 255 * 13);
  EXPECT_EQ(picture.At(0, 14), kTransparent);
  EXPECT_EQ(picture.At(0, 28), kTransparent);
  EXPECT_EQ(picture.At(10, 100), 0x80800000u);  // premultiplied 50 % red
  EXPECT_EQ(picture.At(29, 109), 0x80800000u);
  EXPECT_EQ(picture.At(30, 109), kTransparent);
}

TEST(CairoCanvasOverlays, PenLinesCoverBothEnds) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.BeginOverlays(10);
  canvas.DrawPenLine(4, 251, 85, 251, 1, COLOUR_GREEN);
  EXPECT_EQ(Inked(canvas), Row(251, 4, 85));

  CairoThumbnailCanvas vertical(THUMBNAIL_SIZE);
  vertical.BeginOverlays(10);
  vertical.DrawPenLine(4, 251, 4, 170, 1, COLOUR_DARK_RED);
  EXPECT_EQ(Inked(vertical), Column(4, 170, 251));
  EXPECT_EQ(PictureOf(vertical.Surface()).At(4, 200), COLOUR_DARK_RED);

  // Twice the size: the layout's pen is two pixels wide, centred on its
  // line; GDI+ fills the pixels whose centres lie in [501, 503).
  CairoThumbnailCanvas wide(2 * THUMBNAIL_SIZE);
  wide.BeginOverlays(20);
  wide.DrawPenLine(8, 502, 170, 502, 2, COLOUR_GREEN);
  PixelSet twoRows = Row(502, 8, 170);
  const PixelSet above = Row(501, 8, 170);
  twoRows.insert(above.begin(), above.end());
  EXPECT_EQ(Inked(wide), twoRows);
}

// Text starts a little right of its point (GDI+'s padding) and its letters
// stand on a baseline one ascent below it.
TEST(CairoCanvasOverlays, TextInkLiesInItsLayoutBox) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.BeginOverlays(10);
  canvas.DrawText(50, 100, "I S O", COLOUR_DARK_RED);
  const PixelSet inked = Inked(canvas);
  ASSERT_FALSE(inked.empty());
  int left = 1000, right = -1, top = 1000, bottom = -1;
  for (const auto& [x, y] : inked) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  EXPECT_GE(left, 51);   // about a sixth of an em of padding
  EXPECT_LE(left, 53);
  EXPECT_GE(top, 101);   // capitals rise about 0.72 em above the baseline
  EXPECT_LE(top, 103);
  EXPECT_GE(bottom, 108);  // the baseline is about 0.9 em below the top
  EXPECT_LE(bottom, 110);
  EXPECT_LT(right, 50 + 40);
  EXPECT_EQ(canvas.Status(), CAIRO_STATUS_SUCCESS);
}

TEST(CairoCanvasOverlays, TextIsAntiAliasedAndCopiedOverThePath) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  for (int y = 0; y < 20; ++y) canvas.CanvasDrawLine(0, y, 80, y, 0, 0, 255);
  canvas.BeginOverlays(10);
  canvas.DrawText(0, 0, "v2.01", COLOUR_TEXT);
  const Picture picture = PictureOf(canvas.Surface());
  int opaque = 0, mixed = 0;
  std::set<uint32_t> levels;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 80; ++x) {
      const uint32_t pixel = picture.At(x, y);
      if (pixel == kBlue) continue;
      opaque += pixel >> 24 == 0xFF;
      mixed += (pixel & 0xFF) != 0 && (pixel & 0xFF) != 0xFF;  // some blue left beneath
      levels.insert(pixel);
    }
  }
  EXPECT_GT(opaque, 20);     // the text replaced the blue beneath it
  EXPECT_GT(mixed, 5);       // its edges keep part of the path
  EXPECT_GT(levels.size(), 5u);  // grey levels of anti-aliasing
}

// The picture as the Windows bitmap handle shows it: over opaque white.
TEST(CairoCanvasPicture, FlattenedPictureIsOpaqueOnWhite) {
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  canvas.CanvasDrawLine(0, 0, 254, 0, 0, 0, 255);
  canvas.BeginOverlays(10);
  canvas.FillRect(0, 100, 10, 10, 0x00000000);  // transparent: white in the end
  CairoSurface flat = canvas.FlattenOnWhite();
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(cairo_image_surface_get_format(flat.get()), CAIRO_FORMAT_RGB24);
  const Picture picture = PictureOf(flat.get());
  EXPECT_EQ(picture.width, THUMBNAIL_SIZE);
  EXPECT_EQ(picture.At(100, 0), kBlue);
  EXPECT_EQ(picture.At(100, 1), 0xFFFFFFFFu);
  EXPECT_EQ(picture.At(5, 105), 0xFFFFFFFFu);
}

TEST(CairoCanvasPicture, TheWholeCompositionDrawsOnTheCanvas) {
  const std::string program = "(BRACKET)\nG1 X0 Y0\nG1 X100 Y0\nG1 X100 Y50\n";
  MemorySource source(program.data(), program.size());
  CairoThumbnailCanvas canvas(THUMBNAIL_SIZE);
  ThumbnailOptions options;
  options.showAxis = options.showComment = options.showType = true;
  NcPathContext ctx{};
  ComposeThumbnail(source, canvas, options, ctx);
  EXPECT_EQ(canvas.Status(), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(canvas.LineCalls(), 2u);  // the first move, origin to origin, is no line
  CairoSurface flat = canvas.FlattenOnWhite();
  const Picture picture = PictureOf(flat.get());
  EXPECT_GT(picture.Count(0, 0, 254, 254, kBlue), 250);
  EXPECT_GT(picture.Count(0, 15, 254, 27, COLOUR_COMMENT_BAND), 1000);
}
