// TNC programs with Q parameters, FN functions, formulas, labels, calls and
// repeats draw exactly what their plain twins (the same moves written out
// with numbers) draw; hostile ones end with the picture drawn so far.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

std::string Describe(const std::string& body) {
  RecordingCanvas canvas;
  RunProgram("0 BEGIN PGM P MM\n" + body + "99 END PGM P MM\n", canvas);
  std::string text;
  for (const CanvasCall& c : canvas.calls) {
    text += c.kind == CanvasCall::Line ? "L" : c.kind == CanvasCall::Circle ? "C" : "E";
    for (int32_t v : {c.a, c.b, c.c, c.d}) text += " " + std::to_string(v);
    text += "\n";
  }
  return text;
}

// The twin draws something, and the parametric program draws the same.
void ExpectTwins(const std::string& parametric, const std::string& plain) {
  const std::string expected = Describe(plain);
  ASSERT_GT(std::count(expected.begin(), expected.end(), '\n'), 1) << plain;
  EXPECT_EQ(Describe(parametric), expected) << parametric;
}

TEST(TncParametric, ProgramsDrawAsTheirPlainTwins) {
  // FN 0: to FN 8:, formulas with brackets and functions, QL and QR, and
  // parameters as the values of coordinates, centres, polar words and feeds
  // (a feed from a parameter is a feed: the move is drawn).
  ExpectTwins(
      "1 FN 0: Q1 = +40\n2 FN 1: Q2 = +Q1 + +10\n3 FN 2: Q3 = +Q2 - +20\n4 FN 3: Q4 = +2 * +Q3\n"
      "5 FN 4: Q5 = +Q4 DIV +6\n6 FN 5: Q6 = SQRT +Q5\n7 FN 6: Q7 = SIN +30\n8 FN 7: Q8 = COS +60\n"
      "9 FN 8: Q9 = +3 LEN +4\n10 QL1 = (Q1 + Q9) / 5 - SQ 2\n11 QR2 = Q1 * 2 ^ 2 - PI + PI\n"
      "12 Q10 = ABS -2 + INT 2.7 + FRAC 1.5 + SGN -3 + LN EXP 1 + TAN 45 + Q7 + Q8\n"
      "13 Q11 = ASIN 0.5 + ACOS 0.5 + ATAN 1\n14 Q12 = 100\n"
      "15 L X+0 Y+0 R0 FMAX\n16 L X+Q1 Y-Q6 FQ12\n17 L IX-Q5 IY+Q10\n18 CC X+(Q1 / 2) Y+QL1\n"
      "19 C X+Q1 Y+QL1 DR-\n20 LP PR+Q9 PA+Q11 F200\n21 L X+QR2 Y+Q2\n22 RND RQ7\n23 L X+0 Y+Q2\n",
      "15 L X+0 Y+0 R0 FMAX\n16 L X+40 Y-3.1623 F100\n17 L IX-10 IY+6.5\n18 CC X+20 Y+5\n"
      "19 C X+40 Y+5 DR-\n20 LP PR+5 PA+135 F200\n21 L X+160 Y+50\n22 RND R0.5\n23 L X+0 Y+50\n");
  // Datum shifts and cycle calls take parameters too.
  ExpectTwins(
      "1 Q1 = 20\n2 CYCL DEF 200 DRILLING Q200=2 Q201=-5\n3 CYCL DEF 7.0 DATUM SHIFT\n"
      "4 CYCL DEF 7.1 X+Q1\n5 L X+0 Y+0 R0 FMAX M99\n6 CYCL CALL POS X+Q1 Y+Q1\n"
      "7 L X+Q1 Y+0 F100\n",
      "2 CYCL DEF 200 DRILLING\n3 CYCL DEF 7.0 DATUM SHIFT\n4 CYCL DEF 7.1 X+20\n"
      "5 L X+0 Y+0 R0 FMAX M99\n6 CYCL CALL POS X+20 Y+20\n7 L X+20 Y+0 F100\n");
  // Subprograms after the program's end, by number and by name, with REP;
  // a section repeated; jumps of FN 9 to FN 12; a call of another program
  // and a label met in sequence draw nothing.
  ExpectTwins(
      "1 L X+0 Y+0 R0 FMAX\n2 Q1 = 0\n3 LBL 1\n4 L IX+10 Y+Q1 F100\n5 Q1 = Q1 + 1\n"
      "6 CALL LBL 1 REP 2\n7 CALL LBL \"SIDE\"\n8 L X+0 Y+50 FMAX\n9 CALL LBL 2 REP 1\n"
      "10 FN 0: Q5 = +0\n11 LBL 3\n12 FN 1: Q5 = +Q5 + +1\n13 L X+Q5 Y-5\n"
      "14 FN 12: IF +Q5 LT +3 GOTO LBL 3\n15 FN 10: IF +Q5 NE +3 GOTO LBL 3\n"
      "16 FN 11: IF +Q5 GT +2 GOTO LBL \"END\"\n17 L X+99 Y+99\n18 LBL \"END\"\n"
      "19 FN 9: IF +Q5 EQU +0 GOTO LBL 3\n20 CALL PGM OTHER\n21 L X+0 Y+0 R0 FMAX M30\n"
      "22 LBL \"SIDE\"\n23 L IX+5\n24 L IY+5\n25 LBL 0\n26 LBL 2\n27 L IX-5 IY+5\n28 LBL 0\n",
      "1 L X+0 Y+0 R0 FMAX\n4 L IX+10 Y+0 F100\n4 L IX+10 Y+1 F100\n4 L IX+10 Y+2 F100\n"
      "23 L IX+5\n24 L IY+5\n8 L X+0 Y+50 FMAX\n27 L IX-5 IY+5\n27 L IX-5 IY+5\n"
      "13 L X+1 Y-5\n13 L X+2 Y-5\n13 L X+3 Y-5\n21 L X+0 Y+0 R0 FMAX M30\n");
  // A parameter without a value, or past the last, leaves its word not given.
  ExpectTwins("1 L X+0 Y+0 R0 FMAX\n2 L X+10 Y+Q77 F100\n3 Q99999 = 1\n4 L X+Q99999 Y+20\n",
              "1 L X+0 Y+0 R0 FMAX\n2 L X+10 F100\n4 L Y+20\n");
}

TEST(TncParametric, HostileProgramsEndWithThePictureSoFar) {
  const std::string before = "1 L X+0 Y+0 R0 FMAX\n2 L X+10 Y+10 F100\n";
  const std::string after = "9 L X+20 Y+0\n";
  const std::string drawnBefore = Describe(before);
  const std::string drawnAll = Describe(before + after);
  // Ended by the block budget, the call depth or a missing label.
  for (const std::string hostile :
       {"3 LBL 1\n4 FN 9: IF +0 EQU +0 GOTO LBL 1\n", "3 LBL 1\n4 CALL LBL 1\n5 LBL 0\n",
        "3 CALL LBL 7\n4 LBL 7\n5 CALL LBL 7\n6 LBL 0\n",
        "3 LBL 1\n4 LBL 2\n5 CALL LBL 2 REP 65535\n6 CALL LBL 1 REP 65535\n",
        "3 FN 12: IF +0 LT +1 GOTO LBL 99\n"}) {
    EXPECT_EQ(Describe(before + hostile + after), drawnBefore) << hostile;
  }
  // Nonsense that is skipped: the program goes on.
  for (const std::string& harmless :
       {"3 Q1 = " + std::string(120, '(') + "1" + std::string(120, ')') + "\n", std::string("3 Q99999=1\n"),
        std::string("3 Q1 = ((1\n4 L X+(Q1 +\n5 LBL 0\n6 CALL LBL 55\n7 FN 99: Q1 = 2\n")}) {
    EXPECT_EQ(Describe(before + harmless + after), drawnAll) << harmless.substr(0, 40);
  }
  // A section repeated until the budget ends it: both passes stop at the
  // same block, so the picture fits its frame.
  RecordingCanvas canvas;
  RunProgram("0 BEGIN PGM P MM\n1 L X+0 Y+0 R0 FMAX\n2 LBL 1\n3 L IX+1 Y+0 F100\n4 L IX+1 Y+7\n"
             "5 CALL LBL 1 REP 65535\n6 CALL LBL 1 REP 65535\n",
             canvas);
  ASSERT_GT(canvas.Count(CanvasCall::Line), 100u);
  for (const CanvasCall& call : canvas.calls) {
    if (call.kind != CanvasCall::Line) continue;
    for (int32_t at : {call.a, call.b, call.c, call.d}) {
      EXPECT_GE(at, 2);
      EXPECT_LE(at, 253);
    }
  }
}

}  // namespace
