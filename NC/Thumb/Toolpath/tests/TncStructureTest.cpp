// TNC programs as the control runs them: datum shifts move what follows,
// called drilling cycles leave drilling points, and moves in a tilted
// working plane leave no trace.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

namespace {

std::vector<CanvasCall> Calls(const std::string& program, NcPathContext* out = nullptr) {
  RecordingCanvas canvas;
  NcPathContext ctx = RunProgram(program, canvas);
  if (out) *out = ctx;
  return canvas.calls;
}

bool SameCalls(const std::vector<CanvasCall>& a, const std::vector<CanvasCall>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].a != b[i].a || a[i].b != b[i].b || a[i].c != b[i].c ||
        a[i].d != b[i].d)
      return false;
  }
  return true;
}

TEST(TncStructure, DatumShiftsMoveTheCoordinatesThatFollow) {
  // Absolute, then incremental on top of it, then all zero: cancelled.
  const std::string shifted =
      "0 BEGIN PGM SHIFT MM\n"
      "1 L X+0 Y+0 R0 FMAX\n"
      "2 CYCL DEF 7.0 DATUM SHIFT\n"
      "3 CYCL DEF 7.1 X+50\n"
      "4 CYCL DEF 7.2 Y+20\n"
      "5 L X+0 Y+0 R0 FMAX\n"
      "6 L X+10 Y+0 F500\n"
      "7 L Y+10\n"
      "8 CC X+5 Y+10\n"
      "9 C X+0 Y+10 DR+\n"
      "10 CYCL DEF 7.0 DATUM SHIFT\n"
      "11 CYCL DEF 7.1 IX+10\n"
      "12 L X+0 Y+0 R0 FMAX\n"
      "13 L IX+5 F500\n"
      "14 CYCL DEF 7.0 DATUM SHIFT\n"
      "15 CYCL DEF 7.1 X+0\n"
      "16 CYCL DEF 7.2 Y+0\n"
      "17 CYCL DEF 7.3 Z+0\n"
      "18 L X+100 Y+0 F500\n"
      "19 END PGM SHIFT MM\n";
  const std::string plain =
      "0 BEGIN PGM SHIFT MM\n"
      "1 L X+0 Y+0 R0 FMAX\n"
      "5 L X+50 Y+20 R0 FMAX\n"
      "6 L X+60 Y+20 F500\n"
      "7 L Y+30\n"
      "8 CC X+55 Y+30\n"
      "9 C X+50 Y+30 DR+\n"
      "12 L X+60 Y+20 R0 FMAX\n"
      "13 L IX+5 F500\n"
      "18 L X+100 Y+0 F500\n"
      "19 END PGM SHIFT MM\n";
  NcPathContext ctx;
  const std::vector<CanvasCall> calls = Calls(shifted, &ctx);
  EXPECT_EQ(ctx.isTnc, 1);
  EXPECT_GE(calls.size(), 5u);
  EXPECT_TRUE(SameCalls(calls, Calls(plain)));
}

TEST(TncStructure, CalledCyclesLeaveDrillingPoints) {
  const std::string program =
      "0 BEGIN PGM HOLES MM\n"
      "1 TOOL CALL 1 Z S3000\n"
      "2 L X+10 Y+10 R0 FMAX M99\n"  // no cycle defined yet: no point
      "3 CYCL DEF 200 DRILLING ~\n"
      "  Q200=2 ;SET-UP CLEARANCE ~\n"
      "  Q201=-15 ;DEPTH\n"
      "4 L X+10 Y+10 R0 FMAX M99\n"
      "5 L X+30 Y+10 R0 FMAX\n"
      "6 CYCL CALL\n"
      "7 CYCL CALL POS X+50 Y+40 Z+0\n"
      "8 L X+70 Y+40 R0 FMAX\n"
      "9 M99\n"
      "10 CYCL DEF 9.0 DWELL TIME\n"  // acts at once: the drilling cycle stays
      "11 CYCL DEF 9.1 DWELL 1\n"
      "12 L X+70 Y+60 R0 FMAX M99\n"
      "13 CYCL DEF 22 ROUGH-OUT\n"  // a contour pocket has no point
      "14 L X+90 Y+90 R0 FMAX M99\n"
      "15 CYCL CALL\n"
      "16 CYCL DEF 1.0 PECKING\n"  // the older numbering
      "17 CYCL DEF 1.1 SET UP 2\n"
      "18 CYCL DEF 1.2 DEPTH -20\n"
      "19 L X+0 Y+90 R0 FMAX M99\n"
      "20 L X+0 Y+0 F100\n"
      "21 END PGM HOLES MM\n";
  NcPathContext ctx;
  const std::vector<CanvasCall> calls = Calls(program, &ctx);
  std::vector<std::pair<double, double>> points = {{10, 10}, {30, 10}, {50, 40},
                                                   {70, 40}, {70, 60}, {0, 90}};
  std::vector<CanvasCall> circles;
  for (const CanvasCall& call : calls)
    if (call.kind == CanvasCall::Circle) circles.push_back(call);
  ASSERT_EQ(circles.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    // The marker's box is rounded on its own: its centre may lie a pixel off.
    const Pixel centre = ToPixel(ctx, points[i].first, points[i].second);
    EXPECT_NEAR(circles[i].a + circles[i].c, centre.x, 1) << i;
    EXPECT_NEAR(circles[i].b + circles[i].c, centre.y, 1) << i;
  }
  EXPECT_EQ(ctx.minX, 0 - 1.0);  // points are framed with their marker
  EXPECT_EQ(ctx.maxY, 90 + 1.0);
}

TEST(TncStructure, MovesInATiltedPlaneLeaveNoTrace) {
  const std::string program =
      "0 BEGIN PGM TILT MM\n"
      "1 L X+0 Y+0 R0 FMAX\n"
      "2 L X+10 Y+0 F100\n"
      "3 PLANE SPATIAL SPA+0 SPB+0 SPC+0 STAY\n"  // no tilt
      "4 L X+10 Y+10\n"
      "5 PLANE SPATIAL SPA+0 SPB+45 SPC+0 TURN FMAX\n"
      "6 L X+500 Y+500 F100\n"
      "7 L X+600 Y+500\n"
      "8 PLANE RESET STAY\n"
      "9 L X+20 Y+0 F100\n"  // from an unknown point: nothing drawn
      "10 L X+20 Y+10\n"
      "11 CYCL DEF 19.0 WORKING PLANE\n"
      "12 CYCL DEF 19.1 B+30\n"
      "13 L X-500 Y+0\n"
      "14 CYCL DEF 19.0 WORKING PLANE\n"
      "15 CYCL DEF 19.1\n"
      "16 L X+20 Y+0 F100\n"
      "17 L X+0 Y+0\n"
      "18 END PGM TILT MM\n";
  const std::string plain =
      "0 BEGIN PGM TILT MM\n"
      "1 L X+0 Y+0 R0 FMAX\n"
      "2 L X+10 Y+0 F100\n"
      "4 L X+10 Y+10\n"
      "9 L X+20 Y+0 FMAX\n"
      "10 L X+20 Y+10 F100\n"
      "16 L X+20 Y+0 FMAX\n"
      "17 L X+0 Y+0 F100\n"
      "18 END PGM TILT MM\n";
  NcPathContext ctx;
  const std::vector<CanvasCall> calls = Calls(program, &ctx);
  EXPECT_EQ(ctx.minX, 0);
  EXPECT_EQ(ctx.maxX, 20);
  EXPECT_TRUE(SameCalls(calls, Calls(plain)));
}

}  // namespace
