#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"

namespace {

// A fitted context: scale 2, offsets 0, margins 2, height 251.
NcPathContext Fitted(RecordingCanvas& canvas, double scale = 2.0) {
  NcPathContext ctx = ThumbnailContext(canvas);
  ctx.scale = scale;
  ctx.fitValid = true;
  return ctx;
}

TEST(ToPixel, RoundsHalfAwayAndCountsRowsDownFromTheTop) {
  RecordingCanvas canvas;
  NcPathContext ctx = Fitted(canvas);
  auto at = [&](double h, double v) {
    Pixel p = ToPixel(ctx, h, v);
    return std::make_pair(p.x, p.y);
  };
  // The fitted area lies between the margins: rows 2 (top) to 253 (bottom),
  // and a point above the top goes on upwards instead of folding back.
  EXPECT_EQ(at(10, 10), std::make_pair(22, 233));
  EXPECT_EQ(at(0, 0), std::make_pair(2, 253));
  EXPECT_EQ(at(0, 125.5), std::make_pair(2, 2));
  EXPECT_EQ(at(0, 126.5), std::make_pair(2, 0));
  EXPECT_EQ(at(0, 127.5), std::make_pair(2, -2));
  ctx.scale = 1, ctx.marginX = 0;
  EXPECT_EQ(at(-0.5, 0).first, -1);
  EXPECT_EQ(at(0.5, 0).first, 1);
  EXPECT_EQ(at(-0.4, 0).first, 0);
  EXPECT_EQ(at(2.5, 0).first, 3);
  // Far beyond the 32-bit range, and not a number: clamped, never undefined.
  EXPECT_EQ(at(1e300, 0).first, INT32_MAX);
  EXPECT_EQ(at(-1e300, 0).first, INT32_MIN);
  EXPECT_EQ(at(0, -1e300).second, INT32_MAX);
  EXPECT_EQ(at(0, 1e300).second, 253 - INT32_MAX);
  EXPECT_EQ(at(NAN, 0).first, 0);
}

TEST(DrawLine, StartsAtTheOriginWhenTheStartIsMissingAndSkipsDots) {
  RecordingCanvas canvas, pen;
  NcPathContext ctx = Fitted(canvas);
  ctx.gdi = &pen;
  DrawLine(ctx, NOT_GIVEN, 5, 10, 10);
  ASSERT_EQ(canvas.calls.size(), 1u);
  EXPECT_EQ(canvas.calls[0].a, 2);
  EXPECT_EQ(canvas.calls[0].b, 253);
  EXPECT_EQ(canvas.calls[0].blue, 255);
  EXPECT_TRUE(pen.calls.empty());  // the pen back-end only while selected

  ctx.gdiPenSelected = true;
  DrawLine(ctx, 1, 1, 1.1, 1.1);  // one pixel: no mark on any back-end
  EXPECT_EQ(canvas.calls.size(), 1u);
  DrawLine(ctx, 1, 1, 5, 1);
  EXPECT_EQ(canvas.calls.size(), 2u);
  EXPECT_EQ(pen.calls.size(), 1u);

  ctx.fitValid = false;  // nothing framed: nothing drawn
  DrawLine(ctx, 1, 1, 5, 1);
  EXPECT_EQ(canvas.calls.size(), 2u);
}

TEST(DrawArc, QuarterAndFullCirclesInOneDegreeChords) {
  RecordingCanvas canvas;
  NcPathContext ctx = Fitted(canvas, 10.0);  // chords of 1.7 pixels: none is skipped
  ctx.offsetX = ctx.offsetY = 12;
  DrawArcCw(ctx, 10, 0, 0, -10, -10, 0);
  ASSERT_EQ(canvas.calls.size(), 90u);  // exactly on the end: no closing chord
  const Pixel end = ToPixel(ctx, 0, -10);
  EXPECT_EQ(canvas.calls.back().c, end.x);
  EXPECT_EQ(canvas.calls.back().d, end.y);
  const Pixel start = ToPixel(ctx, 10, 0);
  EXPECT_EQ(canvas.calls.front().a, start.x);
  EXPECT_EQ(canvas.calls.front().b, start.y);

  canvas.calls.clear();
  DrawArcCcw(ctx, 10, 0, 10, 0, -10, 0);  // start equals end: a full circle
  EXPECT_GE(canvas.calls.size(), 360u);
  EXPECT_LE(canvas.calls.size(), 361u);

  canvas.calls.clear();
  DrawArcCw(ctx, 10, 0, 0, NOT_GIVEN, -10, 0);
  DrawArcCcw(ctx, 10, 0, 0, -10, NOT_GIVEN, 0);
  EXPECT_TRUE(canvas.calls.empty());

  // An end off the start's radius: the first chord still leaves the true start.
  DrawArcCcw(ctx, 5, 0, 0, 10, -5, 0);
  ASSERT_FALSE(canvas.calls.empty());
  EXPECT_EQ(canvas.calls.front().a, ToPixel(ctx, 5, 0).x);
}

TEST(DrawMarker, RadiusFollowsScaleAndNeedsTheGraphicsBackEnd) {
  RecordingCanvas canvas;
  NcPathContext ctx = Fitted(canvas, 3.0);
  DrawMarker(ctx, 10, 10);
  ASSERT_EQ(canvas.calls.size(), 1u);
  EXPECT_EQ(canvas.calls[0].kind, CanvasCall::Circle);
  EXPECT_EQ(canvas.calls[0].c, 3);
  EXPECT_EQ(canvas.calls[0].a, 32 - 3);                // centred on the point's pixel
  EXPECT_EQ(canvas.calls[0].b, 251 + 2 - (30 + 3));  // the row of its top edge
  EXPECT_EQ(canvas.calls[0].red, 48);
  ctx.canvasWidth = 100;  // marker radius 0 program units
  DrawMarker(ctx, 10, 10);
  ctx.canvasWidth = 251;
  ctx.graphics = nullptr;
  DrawMarker(ctx, 10, 10);
  EXPECT_EQ(canvas.calls.size(), 1u);
}

struct Box {
  double minX, maxX, minY, maxY;
};
Box ArcBox(double ch, double cv, double h1, double v1, double h2, double v2, bool cw) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  AddArcExtents(ctx, ch, cv, h1, v1, h2, v2, cw);
  return {ctx.minX, ctx.maxX, ctx.minY, ctx.maxY};
}

TEST(Extents, ArcsFrameTheAxisPointsTheySweep) {
  Box b = ArcBox(0, 0, 10, 0, 0, 10, false);
  EXPECT_DOUBLE_EQ(b.minX, 0);
  EXPECT_DOUBLE_EQ(b.maxX, 10);
  EXPECT_DOUBLE_EQ(b.minY, 0);
  EXPECT_DOUBLE_EQ(b.maxY, 10);
  b = ArcBox(0, 0, 10, 0, 0, 10, true);  // three quarters
  EXPECT_DOUBLE_EQ(b.minX, -10);
  EXPECT_DOUBLE_EQ(b.maxX, 10);
  EXPECT_DOUBLE_EQ(b.minY, -10);
  EXPECT_DOUBLE_EQ(b.maxY, 10);
  b = ArcBox(0, 0, 10, 0, 0, -10, true);
  EXPECT_DOUBLE_EQ(b.minX, 0);
  EXPECT_DOUBLE_EQ(b.maxX, 10);
  EXPECT_DOUBLE_EQ(b.minY, -10);
  EXPECT_DOUBLE_EQ(b.maxY, 0);
  b = ArcBox(1, 1, 6, 1, 6, 1, false);  // full circle of radius 5
  EXPECT_DOUBLE_EQ(b.minX, -4);
  EXPECT_DOUBLE_EQ(b.maxX, 6);
  EXPECT_DOUBLE_EQ(b.minY, -4);
  EXPECT_DOUBLE_EQ(b.maxY, 6);
}

TEST(Extents, PointsLeaveRoomForTheMarker) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  AddPointExtents(ctx, 3, NOT_GIVEN);
  EXPECT_EQ(ctx.maxX, 4);
  EXPECT_EQ(ctx.minX, 2);
  EXPECT_EQ(ctx.maxY, EMPTY_MAX);
  EXPECT_EQ(ctx.minY, EMPTY_MIN);
}

}  // namespace
