// TNC contours as written at the control: incremental coordinates, arcs by
// radius and tangent, polar moves, roundings and chamfers. Extents and end
// points are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "TestSupport.h"

namespace {

// Hand-worked points meet trigonometry that lands a hair off: a point on a
// pixel's rounding edge may fall to either side.
bool Near(int32_t x, int32_t y, Pixel p) { return std::abs(x - p.x) <= 1 && std::abs(y - p.y) <= 1; }

// A line was drawn from `from` to `to` (program points).
bool DrawsLine(const NcPathContext& ctx, const RecordingCanvas& canvas, double h1, double v1,
               double h2, double v2) {
  const Pixel from = ToPixel(ctx, h1, v1), to = ToPixel(ctx, h2, v2);
  for (const CanvasCall& call : canvas.calls)
    if (call.kind == CanvasCall::Line && Near(call.a, call.b, from) && Near(call.c, call.d, to))
      return true;
  return false;
}

// Some line (a straight move or the last chord of an arc) ends at the point.
bool DrawsTo(const NcPathContext& ctx, const RecordingCanvas& canvas, double h, double v) {
  const Pixel p = ToPixel(ctx, h, v);
  for (const CanvasCall& call : canvas.calls)
    if (call.kind == CanvasCall::Line && Near(call.c, call.d, p)) return true;
  return false;
}

void ExpectExtents(const NcPathContext& ctx, double minX, double maxX, double minY, double maxY,
                   const std::string& what) {
  EXPECT_NEAR(ctx.minX, minX, 1e-6) << what;
  EXPECT_NEAR(ctx.maxX, maxX, 1e-6) << what;
  EXPECT_NEAR(ctx.minY, minY, 1e-6) << what;
  EXPECT_NEAR(ctx.maxY, maxY, 1e-6) << what;
}

TEST(TncContour, NewKeywordsVoteForTnc) {
  RecordingCanvas canvas;
  struct Case {
    const char* block;
    int matches;  // DR+ and DR- count as matches, without a vote
  } cases[] = {{"CR X+5 Y+5 R+5 DR-\n", 2}, {"CT X+5 Y+5\n", 1}, {"RND R2\n", 1},
               {"CHF 2\n", 1}, {"LP PR+5 PA+0\n", 1}, {"CP IPA+90 DR+\n", 2}};
  for (const Case& c : cases) {
    NcPathContext ctx = ThumbnailContext(canvas);
    TextReader text(c.block);
    EXPECT_EQ(ScanBlock(ctx, text.reader), c.matches) << c.block;
    EXPECT_EQ(ctx.tncHits, 1) << c.block;
  }
}

TEST(TncContour, IncrementalCoordinatesAddToThePosition) {
  RecordingCanvas canvas;
  // IX after a CC block leaves the centre absolute: the C block still turns
  // around (0, 0).
  NcPathContext ctx = RunProgram(
      "BEGIN PGM INC MM\nCC X+0 Y+0\nL X+0 Y+0 R0 FMAX\nL IX+10 F100\nL IY+5\n"
      "L IX-10 IY+5 IZ-2\nC X+10 Y+0 DR-\nL IX+10\nEND PGM INC MM\n",
      canvas);
  EXPECT_EQ(ctx.isTnc, 1);
  ExpectExtents(ctx, 0, 20, 0, 10, "incremental");
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 0, 10, 0));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 10, 0, 10, 5));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 10, 5, 0, 10));
  EXPECT_TRUE(DrawsTo(ctx, canvas, 10, 0));  // the quarter arc back down
  EXPECT_TRUE(DrawsLine(ctx, canvas, 10, 0, 20, 0));
  EXPECT_GE(canvas.Count(CanvasCall::Line), 4u + 80u);
}

TEST(TncContour, RadiusArcsTakeTheShortOrLongWay) {
  const double k = std::sqrt(300.0);  // centre distance from the chord's middle
  struct Case {
    const char* move;
    double minX, maxX, minY, maxY;
  } cases[] = {
      {"CR X+20 Y+0 R+20 DR+", 0, 20, k - 20, 0},   // 60 degrees below the chord
      {"CR X+20 Y+0 R-20 DR+", -10, 30, -k - 20, 0},  // 300 degrees
      {"CR X+20 Y+0 R+20 DR-", 0, 20, 0, 20 - k},
      {"CR X+20 Y+0 DR- R-20", -10, 30, 0, k + 20},  // DR- before R: R stays -20
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    NcPathContext ctx =
        RunProgram(std::string("L X+0 Y+0 R0 FMAX\n") + c.move + "\nL Z+5 FMAX\nEND PGM\n", canvas);
    ExpectExtents(ctx, c.minX, c.maxX, c.minY, c.maxY, c.move);
    ASSERT_GE(canvas.Count(CanvasCall::Line), 40u) << c.move;
    EXPECT_EQ(canvas.calls[0].a, ToPixel(ctx, 0, 0).x) << c.move;
    EXPECT_EQ(canvas.calls[0].b, ToPixel(ctx, 0, 0).y) << c.move;
    EXPECT_TRUE(DrawsTo(ctx, canvas, 20, 0)) << c.move;
  }
}

TEST(TncContour, TangentArcsFollowTheElementBefore) {
  RecordingCanvas canvas;
  // Along +X, then a quarter around (10, 10) and on, still tangent, over the
  // top to (0, 10).
  NcPathContext ctx = RunProgram(
      "L X+0 Y+0 R0 FMAX\nL X+10 Y+0\nCT X+20 Y+10\nCT X+0 Y+10\nL Y+0\nEND PGM\n", canvas);
  ExpectExtents(ctx, 0, 20, 0, 20, "tangent arcs");
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 0, 10, 0));
  EXPECT_TRUE(DrawsTo(ctx, canvas, 20, 10));
  EXPECT_TRUE(DrawsTo(ctx, canvas, 0, 10));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 10, 0, 0));
  EXPECT_GE(canvas.Count(CanvasCall::Line), 2u + 250u);  // 270 degrees of chords

  // After a rapid move there is no element to be tangent to: a straight move.
  RecordingCanvas straight;
  NcPathContext alone = RunProgram("L X+0 Y+0 R0 FMAX\nCT X+10 Y+10\nL X+0\nEND PGM\n", straight);
  EXPECT_EQ(straight.Count(CanvasCall::Line), 2u);
  EXPECT_TRUE(DrawsLine(alone, straight, 0, 0, 10, 10));
}

TEST(TncContour, RoundingsShortenBothElements) {
  RecordingCanvas canvas;
  // A 20 x 20 square, its first corner rounded with R5 around (15, 5).
  NcPathContext ctx = RunProgram(
      "L X+0 Y+0 R0 FMAX\nL X+20 Y+0\nRND R5\nL Y+20\nL X+0\nL Y+0\nEND PGM\n", canvas);
  ExpectExtents(ctx, 0, 20, 0, 20, "rounded square");
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 0, 15, 0));
  EXPECT_TRUE(DrawsTo(ctx, canvas, 20, 5));  // the rounding's last chord
  EXPECT_TRUE(DrawsLine(ctx, canvas, 20, 5, 20, 20));
  EXPECT_FALSE(DrawsTo(ctx, canvas, 20, 0));  // the sharp corner is gone

  // Between a line along +X and a counter-clockwise arc around (20, 0)
  // turning down from (10, 0): the rounding's centre is 2.5 right of both,
  // at (20 - sqrt(150), -2.5); it touches the arc at (20 - sqrt(96), -2).
  RecordingCanvas arcCanvas;
  NcPathContext arc = RunProgram(
      "CC X+20 Y+0\nL X+0 Y+0 R0 FMAX\nL X+10 Y+0\nRND R2.5\nC X+20 Y-10 DR+\nL X+0 Y-10\n"
      "L Y+0\nEND PGM\n",
      arcCanvas);
  const double touchLine = 20 - std::sqrt(150.0);
  ExpectExtents(arc, 0, 20, -10, 0, "line and arc");
  EXPECT_TRUE(DrawsLine(arc, arcCanvas, 0, 0, touchLine, 0));
  EXPECT_TRUE(DrawsTo(arc, arcCanvas, 20 - std::sqrt(96.0), -2));
  EXPECT_TRUE(DrawsTo(arc, arcCanvas, 20, -10));

  // A rapid move interrupts the contour: the element before is drawn whole
  // and the rounding is dropped; one too large for its elements is left out.
  for (const char* program : {"L X+0 Y+0 R0 FMAX\nL X+20 Y+0\nRND R5\nL Z+5 FMAX\nL Y+20\n"
                              "L X+0 Y+0 FMAX\nEND PGM\n",
                              "L X+0 Y+0 R0 FMAX\nL X+20 Y+0\nRND R50\nL Y+20\n"
                              "L X+0 Y+0 FMAX\nEND PGM\n"}) {
    RecordingCanvas sharp;
    NcPathContext whole = RunProgram(program, sharp);
    EXPECT_EQ(sharp.Count(CanvasCall::Line), 2u) << program;
    EXPECT_TRUE(DrawsLine(whole, sharp, 0, 0, 20, 0)) << program;
    EXPECT_TRUE(DrawsLine(whole, sharp, 20, 0, 20, 20)) << program;
  }
}

TEST(TncContour, ChamfersCutStraightCorners) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram(
      "L X+0 Y+0 R0 FMAX\nL X+20 Y+0\nCHF L5\nL Y+20\nL X+0\nCHF 4\nL Y+0\nEND PGM\n", canvas);
  ExpectExtents(ctx, 0, 20, 0, 20, "chamfered square");
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 6u);
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 0, 15, 0));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 15, 0, 20, 5));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 20, 5, 20, 20));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 20, 20, 4, 20));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 4, 20, 0, 16));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 16, 0, 0));
}

TEST(TncContour, PolarMovesAroundTheCentre) {
  RecordingCanvas canvas;
  // Around (10, 10): a full circle of radius 5, out to radius 10, a quarter
  // to the top, a quarter to the left, and in to radius 5 at 270 degrees.
  NcPathContext ctx = RunProgram(
      "CC X+10 Y+10\nLP PR+5 PA+0 R0 FMAX\nCP IPA+360 DR+\nLP IPR+5\nLP PA+90\n"
      "CP PA+180 DR+\nLP IPR-5 IPA+90\nEND PGM\n",
      canvas);
  ExpectExtents(ctx, 0, 20, 5, 20, "polar");
  EXPECT_GE(canvas.Count(CanvasCall::Line), 400u);  // chords of 1 degree, some share a pixel
  EXPECT_TRUE(DrawsTo(ctx, canvas, 15, 10));  // the circle closes on its start
  EXPECT_TRUE(DrawsLine(ctx, canvas, 15, 10, 20, 10));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 20, 10, 10, 20));
  EXPECT_TRUE(DrawsTo(ctx, canvas, 0, 10));
  EXPECT_TRUE(DrawsLine(ctx, canvas, 0, 10, 10, 5));

  // CC without coordinates takes the position as the centre.
  RecordingCanvas here;
  NcPathContext atTool =
      RunProgram("L X+30 Y+40 R0 FMAX\nCC\nLP PR+10 PA+0 FMAX\nCP IPA-360 DR-\nEND PGM\n", here);
  ExpectExtents(atTool, 20, 40, 30, 50, "centre at the position");
  EXPECT_GE(here.Count(CanvasCall::Line), 300u);

  // A relative centre (CC IX.. IY..) stays where the first polar move put it:
  // four moves make a square around (0, 0).
  RecordingCanvas square;
  NcPathContext relative = RunProgram(
      "L X+10 Y+0 R0 FMAX\nCC IX-10 IY+0\nLP PR+10 PA+90\nLP PA+180\nLP PA+270\nLP PA+0\n"
      "END PGM\n",
      square);
  ExpectExtents(relative, -10, 10, -10, 10, "relative centre");
  EXPECT_EQ(square.Count(CanvasCall::Line), 4u);
}

}  // namespace
