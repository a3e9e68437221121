#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "TestSupport.h"

namespace {

constexpr double kSqrt3 = 1.7320508075688772;

std::string Lines(int count, const std::string& line) {
  std::string s;
  for (int i = 0; i < count; ++i) s += line;
  return s;
}

TEST(DrawToolpath, FramesLinearMovesAndDrawsTheLastLine) {
  // No final newline: the last line counts all the same.
  for (const std::string end : {"", "\n"}) {
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram("G0 X0 Y0\nG1 X10 Y0\nG1 X10 Y10" + end, canvas);
    EXPECT_EQ(ctx.plane, 1);
    EXPECT_EQ(ctx.minX, 0);  // the first cut starts where the rapid move ended
    EXPECT_EQ(ctx.maxX, 10);
    EXPECT_EQ(ctx.minY, 0);
    EXPECT_EQ(ctx.maxY, 10);
    EXPECT_EQ(canvas.Count(CanvasCall::Line), 2u);
    EXPECT_EQ(canvas.calls.back().kind, CanvasCall::End);
    const Pixel top = ToPixel(ctx, 10, 10);
    EXPECT_EQ(canvas.calls[1].c, top.x);
    EXPECT_EQ(canvas.calls[1].d, top.y);
    EXPECT_EQ(top.y, 2);  // the y range spans the whole height
  }
}

TEST(DrawToolpath, StraightCutsFrameTheirStart) {
  {
    // One cut after a rapid move: two framed points, one line corner to corner.
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram("G0 X0 Y0\nG1 X10 Y10\n", canvas);
    ASSERT_EQ(canvas.Count(CanvasCall::Line), 1u);
    const CanvasCall& line = canvas.calls[0];
    EXPECT_EQ(std::make_pair(line.a, line.b), std::make_pair(2, 253));
    EXPECT_EQ(std::make_pair(line.c, line.d), std::make_pair(253, 2));
    EXPECT_EQ(ctx.minX, 0);
  }
  {
    // A cut from an approach point outside the part stays inside the picture.
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram(
        "G0 X-20 Y-30\nG1 X0 Y0\nG1 X100\nG1 Y100\nG1 X0\nG1 Y0\nG0 X200 Y200\n", canvas);
    EXPECT_EQ(ctx.minX, -20);
    EXPECT_EQ(ctx.minY, -30);
    EXPECT_EQ(ctx.maxX, 100);  // rapid moves still frame nothing
    ASSERT_EQ(canvas.Count(CanvasCall::Line), 5u);
    for (const CanvasCall& call : canvas.calls) {
      if (call.kind != CanvasCall::Line) continue;
      for (int32_t at : {call.a, call.b, call.c, call.d}) {
        EXPECT_GE(at, 2);
        EXPECT_LE(at, 253);
      }
    }
  }
  {
    // The same in TNC; a first move with no point before it frames its end only.
    RecordingCanvas canvas;
    NcPathContext tnc = RunProgram("L X+5 Y+5\nL X+0 Y+0 FMAX\nL X+10 Y+20\n", canvas);
    EXPECT_EQ(tnc.isTnc, 1);
    EXPECT_EQ(tnc.minX, 0);
    EXPECT_EQ(tnc.maxY, 20);
    NcPathContext first = RunProgram("G1 X5 Y5\nG1 X10 Y5\n", canvas);
    EXPECT_EQ(first.minX, 5);
  }
}

TEST(DrawToolpath, RadiusZeroArcsUseIAndJAsTheyStandInBothPasses) {
  // R0 (or -0) gives no radius centre: I and J of the arc before hold.
  RecordingCanvas withIj;
  const NcPathContext expected =
      RunProgram("G0 X0 Y0\nG2 X10 Y0 I5 J0\nG3 X20 Y0 I5 J0\nM30\n", withIj);
  EXPECT_EQ(expected.minY, -5);  // the second arc sweeps below its chord
  for (const char* r : {"R0", "R-0", "R0.0"}) {
    RecordingCanvas canvas;
    const NcPathContext ctx =
        RunProgram(std::string("G0 X0 Y0\nG2 X10 Y0 I5 J0\nG3 X20 Y0 ") + r + "\nM30\n", canvas);
    EXPECT_EQ(ctx.minY, expected.minY) << r;
    EXPECT_EQ(ctx.maxY, expected.maxY) << r;
    ASSERT_EQ(canvas.calls.size(), withIj.calls.size()) << r;
    for (size_t i = 0; i < canvas.calls.size(); ++i) {
      EXPECT_EQ(canvas.calls[i].b, withIj.calls[i].b) << r << " call " << i;
      EXPECT_EQ(canvas.calls[i].d, withIj.calls[i].d) << r << " call " << i;
    }
  }
  // After a straight move no I or J stands: the arc draws nothing.
  RecordingCanvas canvas;
  RunProgram("G0 X0 Y0\nG1 X10 Y0\nG3 X20 Y0 R0\nG1 X20 Y10\n", canvas);
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 2u);
}

TEST(DrawToolpath, RadiusArcsTakeTheCentreOnTheirSide) {
  struct Case {
    const char* move;
    double cx, cy;
    double width;  // of the framed bounding box
  } cases[] = {
      {"G2 X10 Y0 R10", 5, -5 * kSqrt3, 10},
      {"G3 X10 Y0 R10", 5, 5 * kSqrt3, 10},
      {"G2 X10 Y0 R5", 5, 0, 10},
      // A negative R asks for the long arc: the centre moves across the chord.
      {"G2 X10 Y0 R-10", 5, 5 * kSqrt3, 20},
      {"G3 X10 Y0 R-10", 5, -5 * kSqrt3, 20},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram(std::string("G0 X0 Y0\n") + c.move + "\nM30\n", canvas);
    const double r = std::hypot(c.cx, c.cy);
    EXPECT_NEAR(ctx.maxX - ctx.minX, c.width, 1e-9) << c.move;
    ASSERT_GT(canvas.Count(CanvasCall::Line), 10u) << c.move;
    const Pixel end = ToPixel(ctx, 10, 0);
    const CanvasCall& last = canvas.calls[canvas.calls.size() - 2];
    EXPECT_EQ(last.c, end.x) << c.move;
    EXPECT_EQ(last.d, end.y) << c.move;
    // Every chord point lies on the circle around the expected centre.
    for (const CanvasCall& call : canvas.calls) {
      if (call.kind != CanvasCall::Line) continue;
      const double h = call.a - ctx.marginX;
      const double v = ctx.canvasHeight + ctx.marginY - call.b;
      const double dh = h / ctx.scale - ctx.offsetX - c.cx;
      const double dv = v / ctx.scale - ctx.offsetY - c.cy;
      EXPECT_NEAR(std::hypot(dh, dv), r, 1.0 / ctx.scale) << c.move;
    }
  }
}

TEST(DrawToolpath, ArcsWithoutACentreFrameOnlyTheirEndPoint) {
  {
    // R too short for the chord: framed by its end point, not drawn.
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram("G0 X0 Y0\nG1 X0 Y5\nG2 X20 Y5 R2\nM30\n", canvas);
    EXPECT_EQ(ctx.maxX, 20);
    EXPECT_EQ(ctx.minY, 0);
    EXPECT_EQ(ctx.maxY, 5);
    EXPECT_EQ(canvas.Count(CanvasCall::Line), 1u);
  }
  {
    // No I or J anywhere: nothing near -9999 enters the frame.
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram("G0 X0 Y0\nG1 X10 Y0\nG2 X20 Y10\nG1 X30\n", canvas);
    EXPECT_EQ(ctx.minX, 0);
    EXPECT_EQ(ctx.maxX, 30);
    EXPECT_EQ(ctx.minY, 0);
    EXPECT_EQ(ctx.maxY, 10);
    EXPECT_EQ(canvas.Count(CanvasCall::Line), 2u);  // the arc draws nothing
  }
}

TEST(DrawToolpath, TncCircleAroundTheCentreOfTheLastCcBlock) {
  RecordingCanvas canvas;
  NcPathContext ctx =
      RunProgram("BEGIN PGM 1 MM\nL X+0 Y-10 R0 FMAX\nCC X+0 Y+0\nC X+10 Y+0 DR+\nEND PGM 1 MM\n", canvas);
  EXPECT_EQ(ctx.isTnc, 1);
  EXPECT_EQ(ctx.minX, 0);
  EXPECT_EQ(ctx.maxX, 10);
  EXPECT_EQ(ctx.minY, -10);
  EXPECT_EQ(ctx.maxY, 0);
  EXPECT_GE(canvas.Count(CanvasCall::Line), 89u);  // a quarter in 1-degree chords

  // A straight block between CC and C keeps the centre in both passes.
  RecordingCanvas second;
  NcPathContext withLine = RunProgram(
      "L X+0 Y-20 FMAX\nCC X+0 Y+0\nL X+0 Y-10\nC X+10 Y+0 DR+\nL X+20 Y+0\n", second);
  EXPECT_EQ(withLine.isTnc, 1);
  EXPECT_EQ(withLine.maxX, 20);
  EXPECT_GE(second.Count(CanvasCall::Line), 90u);
}

TEST(DrawToolpath, CirclesThatRepeatTheirWordsAreFramedAndDrawn) {
  // TNC writes a full circle as a C block back to its start.
  RecordingCanvas tncCanvas;
  NcPathContext tnc = RunProgram(
      "0 BEGIN PGM CIRC MM\n1 CC X+50 Y+50\n2 L X+70 Y+50 R0 FMAX\n3 L Z-5 F200\n"
      "4 C X+70 Y+50 DR+\n5 L X+90 Y+50\n6 END PGM CIRC MM\n",
      tncCanvas);
  EXPECT_EQ(tnc.isTnc, 1);
  EXPECT_EQ(tnc.minX, 30);
  EXPECT_EQ(tnc.maxX, 90);
  EXPECT_EQ(tnc.minY, 30);
  EXPECT_EQ(tnc.maxY, 70);
  EXPECT_GE(tncCanvas.Count(CanvasCall::Line), 360u);

  // An ISO circle whose words all repeat earlier values is framed like the
  // first one, so it is not cut off at the edge.
  RecordingCanvas isoCanvas;
  NcPathContext iso = RunProgram(
      "G0 X70 Y50\nG3 X70 Y50 I-20 J0\nG1 X150 Y50\nG0 X170 Y50\nG3 X170 Y50 I-20 J0\n"
      "G0 X0 Y0\n",
      isoCanvas);
  EXPECT_EQ(iso.minX, 30);
  EXPECT_EQ(iso.maxX, 170);
  EXPECT_EQ(iso.maxY, 70);
  int32_t right = 0;
  for (const CanvasCall& call : isoCanvas.calls) right = std::max({right, call.a, call.c});
  EXPECT_EQ(right, ToPixel(iso, 170, 50).x);  // the second circle is drawn whole
  EXPECT_EQ(right, 253);
}

TEST(DrawToolpath, CrLfTncRapidMovesAreNotCuts) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram(
      "BEGIN PGM 2 MM\r\nL X+0 Y+0 FMAX\r\nL X+100 Y+0 FMAX\r\nL X+100 Y+10\r\nL X+0 Y+10\r\n"
      "; done\r\nEND PGM 2 MM\r\n",
      canvas);
  EXPECT_EQ(ctx.isTnc, 1);
  EXPECT_EQ(ctx.minX, 0);
  EXPECT_EQ(ctx.maxX, 100);
  EXPECT_EQ(ctx.minY, 0);  // the start of the first cut
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 2u);
  ASSERT_EQ(ctx.commentCount, 1);
  EXPECT_STREQ(ctx.comments[0], "; done");
}

TEST(DrawToolpath, TurningProgramsAreDrawnInXz) {
  const std::string program = Lines(22, "G1 Z-1 F.2\n") + "G0 X40 Z0\nG1 X40 Z-30\nG1 X60\nM30\n";
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram(program, canvas);
  EXPECT_EQ(ctx.plane, 2);
  EXPECT_EQ(ctx.minX, -30);  // Z across
  EXPECT_EQ(ctx.maxX, 0);    // the cut starts at Z0
  EXPECT_EQ(ctx.minY, 20);   // half of X upwards
  EXPECT_EQ(ctx.maxY, 30);

  // Short turning program: decided once fewer than 60 bytes remain.
  RecordingCanvas small;
  NcPathContext shortCtx = RunProgram("G0 X20 Z2\nG1 Z-20\nG1 X30\nM30\n", small);
  EXPECT_EQ(shortCtx.plane, 2);
  EXPECT_EQ(shortCtx.minX, -20);
  EXPECT_EQ(shortCtx.maxY, 15);
}

TEST(DrawToolpath, PlaneAndDialectVotes) {
  // Y letters exactly 20 % of Y and Z letters: milling.
  const std::string program =
      Lines(6, "G1 X1 Y1 Z1\n") + Lines(18, "G1 Z2\n") + "G1 X5 Y5\n";
  RecordingCanvas canvas;
  EXPECT_EQ(RunProgram(program, canvas).plane, 1);
  // Equal ISO and TNC votes: ISO.
  EXPECT_EQ(RunProgram("G1 X1 Y1\nL X+2 Y+2\n", canvas).isTnc, 0);
  EXPECT_EQ(RunProgram("L X+1 Y+1\nL X+2 Y+2\n", canvas).isTnc, 1);
}

TEST(DrawToolpath, EmptyAndUnframedProgramsDrawNothing) {
  for (const char* program : {"", "\n\n", "M30\n", "G1 X5 Y5\n", "G1 X5 Y5\nG1 X5 Y5\nG0 X0\n"}) {
    RecordingCanvas canvas;
    NcPathContext ctx = RunProgram(program, canvas);
    EXPECT_EQ(canvas.Count(CanvasCall::Line), 0u) << program;
    EXPECT_EQ(canvas.Count(CanvasCall::Circle), 0u) << program;
    EXPECT_FALSE(ctx.fitValid) << program;
  }
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram("", canvas);
  EXPECT_EQ(ctx.plane, -1);
  EXPECT_EQ(ctx.isTnc, 0);
  EXPECT_EQ(ctx.commentCount, 0);
}

TEST(DrawToolpath, LongLinesNeitherEndThePictureNorHideMoves) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram("G1 X0 Y0\n(" + std::string(400, '=') + ")\nG1 X10 Y0 (" +
                              std::string(150, '-') + ")\nG1 X10 Y10\n",
                          canvas);
  EXPECT_EQ(ctx.maxX, 10);
  EXPECT_EQ(ctx.maxY, 10);
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 2u);  // the first move goes nowhere
  ASSERT_EQ(ctx.commentCount, 1);  // the over-long line changes nothing
  EXPECT_EQ(ctx.comments[0][0], '(');
  EXPECT_EQ(std::string(ctx.comments[0]).size(), 152u);
}

TEST(DrawToolpath, KeepsTheFirstThreeComments) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram("(ONE)\n(TWO)\nG1 X1 Y1 (THREE)\n(FOUR)\n(FIVE)\n", canvas);
  ASSERT_EQ(ctx.commentCount, 3);
  EXPECT_STREQ(ctx.comments[0], "(ONE)");
  EXPECT_STREQ(ctx.comments[1], "(TWO)");
  EXPECT_STREQ(ctx.comments[2], "(THREE)");
}

TEST(DrawToolpath, DrillingPointsAreMarkersOnTheGraphicsBackEndOnly) {
  RecordingCanvas canvas, pen;
  NcPathContext ctx = ThumbnailContext(canvas);
  ctx.gdi = &pen;
  ctx.gdiPenSelected = true;
  const std::string program = "G0 X0 Y0\nG81 X10 Y10 Z-5 R1\nX20\nX30 Y20\nG0 X0 Y0\n";
  MemorySource source(program.data(), program.size());
  DrawToolpath(ctx, source);
  EXPECT_EQ(ctx.minX, 9);   // the marker's radius is framed too
  EXPECT_EQ(ctx.maxX, 31);
  EXPECT_GE(canvas.Count(CanvasCall::Circle), 3u);
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 0u);
  EXPECT_EQ(pen.Count(CanvasCall::Circle), 0u);
  ASSERT_FALSE(pen.calls.empty());
  EXPECT_EQ(pen.calls.back().kind, CanvasCall::End);  // the pen is restored at the end
}

TEST(DrawToolpath, BothBackEndsReceiveTheSameLines) {
  RecordingCanvas canvas, pen;
  NcPathContext ctx = ThumbnailContext(canvas);
  ctx.gdi = &pen;
  ctx.gdiPenSelected = true;
  const std::string program = "G0 X0 Y0\nG1 X10\nG2 X20 Y0 I5 J0\nG1 Y-10\n";
  MemorySource source(program.data(), program.size());
  DrawToolpath(ctx, source);
  ASSERT_EQ(canvas.Count(CanvasCall::Line), pen.Count(CanvasCall::Line));
  for (size_t i = 0; i < pen.calls.size(); ++i) {
    EXPECT_EQ(pen.calls[i].a, canvas.calls[i].a);
    EXPECT_EQ(pen.calls[i].d, canvas.calls[i].d);
  }
}

TEST(DrawToolpath, StreamFailuresEndTheRunCleanly) {
  class Broken : public ByteSource {
   public:
    bool Read(void*, uint32_t, uint32_t* got) override {
      ++reads;
      *got = 0;
      return readOk;
    }
    bool Seek(int64_t, SeekOrigin origin, uint64_t* position) override {
      if (position) *position = origin == SeekOrigin::End ? 1000 : 0;
      return seekOk;
    }
    bool readOk = true, seekOk = true;
    int reads = 0;
  };
  for (int variant = 0; variant < 3; ++variant) {
    Broken source;
    source.readOk = variant != 1;
    source.seekOk = variant != 2;
    RecordingCanvas canvas;
    NcPathContext ctx = ThumbnailContext(canvas);
    EXPECT_EQ(DrawToolpath(ctx, source), 1);
    EXPECT_LE(source.reads, 2);  // once per pass at most
    EXPECT_EQ(canvas.Count(CanvasCall::Line), 0u);
  }
}

TEST(DrawToolpath, IncrementalMovesAndRestartAfterBlocks) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram("G0 X0 Y0\nG91 G1 X10\nY10\nX-10\nY-10\nG90\n", canvas);
  EXPECT_EQ(ctx.minX, 0);
  EXPECT_EQ(ctx.maxX, 10);
  EXPECT_EQ(ctx.minY, 0);
  EXPECT_EQ(ctx.maxY, 10);
  EXPECT_EQ(canvas.Count(CanvasCall::Line), 4u);
}

}  // namespace
