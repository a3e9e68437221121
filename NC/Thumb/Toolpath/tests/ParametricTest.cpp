// Parametric programs: each draws exactly what its plain twin (the same
// moves written out with numbers) draws, and hostile ones end with the
// picture drawn so far.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

std::vector<CanvasCall> Calls(const std::string& program) {
  RecordingCanvas canvas;
  RunProgram(program, canvas);
  return canvas.calls;
}

std::string Describe(const std::vector<CanvasCall>& calls) {
  std::string text;
  for (const CanvasCall& c : calls) {
    text += c.kind == CanvasCall::Line ? "L" : c.kind == CanvasCall::Circle ? "C" : "E";
    for (int32_t v : {c.a, c.b, c.c, c.d}) text += " " + std::to_string(v);
    text += "\n";
  }
  return text;
}

// The twin draws something, and the parametric program draws the same.
void ExpectTwins(const std::string& parametric, const std::string& plain) {
  const std::vector<CanvasCall> expected = Calls(plain);
  ASSERT_GT(expected.size(), 1u) << plain;
  EXPECT_EQ(Describe(Calls(parametric)), Describe(expected)) << parametric;
}

TEST(Parametric, MacroVariablesAndExpressionsDrawAsTheirTwins) {
  ExpectTwins(
      "#1=40.\n#2=[#1/4]\n#8=1\nG0 X0 Y0\nG#8 X#1 Y[#2*2]\nX-#2\nY#[1+1]\n"
      "#100=3\n#500=#100*[2+1]\n#5001=#500\nG1 X#5001 Y[#2 MOD 3]\n"
      "G1 X[SQRT[16]+ABS[-2]] Y[ROUND[2.6]+FIX[2.6]+FUP[2.2]]\n"
      "G1 X[ATAN[1]/[1]] Y[ATAN[1]+COS[60]*2+SIN[30]*2+TAN[45]]\n"
      "G1 X[ACOS[0.5]-ASIN[0.5]] Y[LN[EXP[2]]]\n",
      "G0 X0 Y0\nG1 X40 Y20\nX-10\nY10\nG1 X9 Y1\nG1 X6 Y8\nG1 X45 Y48\nG1 X30 Y2\n");
  // A vacant value (unset, #0, divided by zero, a root of a negative
  // number) leaves its word not given; #3000 ends the program.
  ExpectTwins(
      "G0 X0 Y0\nG1 X10 Y10\nG1 X#33 Y20\nG1 X[1/0] Y[SQRT[-1]]\nG1 X#0 Y[5+#0]\nG1 X30\n"
      "#99999=1\n#3000=1\nG1 X50 Y50\n",
      "G0 X0 Y0\nG1 X10 Y10\nG1 Y20\nG1 X30\n");
}

TEST(Parametric, MacroJumpsAndLoopsDrawAsTheirTwins) {
  // GOTO forward and back, IF with GOTO and THEN, nested WHILE, DO without WHILE.
  ExpectTwins(
      "G0 X0 Y0\n#1=0\nN10 G1 X[#1*10] Y10\n#1=#1+1\nIF [#1 LT 3] GOTO 10\n"
      "IF [#1 EQ 3] THEN #2=7\nGOTO 30\nG1 X99 Y99\nN30 G1 Y#2\n"
      "#3=0\nWHILE [#3 LT 2] DO1\n#4=0\nWHILE [#4 LE 1] DO2\nG1 X[#3*5] Y[#4*5]\n#4=#4+1\nEND2\n"
      "#3=#3+1\nEND1\n"
      "#5=0\nDO3\n#5=#5+1\nIF [#5 GT 2] GOTO 40\nG1 X[#5] Y-1\nEND3\nN40 G1 X0 Y0\n"
      "WHILE [#5 LT 0] DO1\nG1 X99 Y99\nEND1\nG1 X1 Y1\n",
      "G0 X0 Y0\nG1 X0 Y10\nG1 X10 Y10\nG1 X20 Y10\nG1 Y7\n"
      "G1 X0 Y0\nG1 X0 Y5\nG1 X5 Y0\nG1 X5 Y5\n"
      "G1 X1 Y-1\nG1 X2 Y-1\nG1 X0 Y0\nG1 X1 Y1\n");
}

TEST(Parametric, SubprogramsAndMacroCallsDrawAsTheirTwins) {
  // M98 with L and with repeats before the number, G65 with arguments in
  // fresh locals, a call of a program not in the file, the bodies after M30.
  ExpectTwins(
      "O0001 (MAIN)\n#1=99\nG0 X0 Y0\nM98 P1001 L2\nM98 P21001\nG65 P1002 A5. B10. X2.\n"
      "M98 P9999\nG65 P9010 A1.\nG1 X#1 Y0\nM30\n"
      "O1001 (SQUARE)\nG91 G1 X10\nY10\nX-10\nY-10\nG90\nM99\n"
      ":1002\nG1 X#1 Y#2\nG1 X[#1*2+#24] Y#2\n#1=7\nM99\n",
      "O0001 (MAIN)\nG0 X0 Y0\n"
      "G91 G1 X10\nY10\nX-10\nY-10\nG90\nG91 G1 X10\nY10\nX-10\nY-10\nG90\n"
      "G91 G1 X10\nY10\nX-10\nY-10\nG90\nG91 G1 X10\nY10\nX-10\nY-10\nG90\n"
      "G1 X5. Y10.\nG1 X12. Y10.\nG1 X99 Y0\nM30\n");
  // M99 in the main program ends it.
  ExpectTwins("G0 X0 Y0\nG1 X10 Y10\nM99\nG1 X20 Y0\n", "G0 X0 Y0\nG1 X10 Y10\n");
}

TEST(Parametric, OWordProgramsDrawAsTheirTwins) {
  ExpectTwins(
      "o<square> sub\n  g1 x[#1] y0\n  g1 y[#1]\n  g1 x0\n  g1 y0\no<square> endsub\n"
      "o100 sub\n  o101 if [#1 GT 5]\n    G1 X[#1] Y[#1 * 2]\n  o101 elseif [#1 EQ 5]\n"
      "    G1 X55 Y55\n  o101 else\n    G1 X1 Y1\n  o101 endif\no100 endsub\n"
      "#<size> = 10\n#<_global> = 2\nG0 X0 Y0\no<square> call [#<size>]\no<Square> call [20]\n"
      "#<i> = 0\no200 while [#<i> LT 3]\n  #<i> = [#<i> + 1]\n  o210 if [#<i> EQ 2]\n"
      "    o200 continue\n  o210 endif\n  G1 X[#<i>] Y-5\no200 endwhile\n"
      "o300 repeat [2]\n  g1 x-1 y-1 (comment x5)\n  g1 x-2 y-2 ; x5\no300 endrepeat\n"
      "o400 do\n  #<i> = [#<i> - 1]\n  G1 X[#<i> * 3] Y-7\no400 while [#<i> GT 0]\n"
      "o500 while [1]\n  G1 X4 Y4\n  o500 break\no500 endwhile\n"
      "o100 call [7]\no100 call [5]\no100 call [2]\no<missing> call\n"
      "G1 X[2**3] Y[10 MOD 4]\nG1 X[EXISTS[#<size>]] Y[EXISTS[#<nothing>] + #<_GLOBAL>]\nM2\n",
      "G0 X0 Y0\nG1 X10 Y0\nG1 Y10\nG1 X0\nG1 Y0\nG1 X20 Y0\nG1 Y20\nG1 X0\nG1 Y0\n"
      "G1 X1 Y-5\nG1 X3 Y-5\nG1 X-1 Y-1\nG1 X-2 Y-2\nG1 X-1 Y-1\nG1 X-2 Y-2\n"
      "G1 X6 Y-7\nG1 X3 Y-7\nG1 X0 Y-7\nG1 X4 Y4\n"
      "G1 X7 Y14\nG1 X55 Y55\nG1 X1 Y1\nG1 X8 Y2\nG1 X1 Y2\n");
}

TEST(Parametric, HostileProgramsEndWithThePictureSoFar) {
  const std::string before = "G0 X0 Y0\nG1 X10 Y10\n";
  const std::string after = "G1 X20 Y0\n";
  const std::vector<CanvasCall> drawnBefore = Calls(before);
  const std::vector<CanvasCall> drawnAll = Calls(before + after);
  // Ended by the block budget, the call depth, an alarm or a missing label.
  for (const std::string hostile :
       {"WHILE [1 EQ 1] DO1\nEND1\n", "N5 GOTO 5\n", "DO1\nG1 X10 Y10\nEND1\n",
        "M98 P100\nM30\nO100\nG1 X10\nM98 P100\nM99\n", "o1 sub\no1 call\no1 endsub\no1 call\n",
        "GOTO 77\n", "#3000=1\n"}) {
    EXPECT_EQ(Describe(Calls(before + hostile + after)), Describe(drawnBefore)) << hostile;
  }
  // Nonsense that is skipped: the program goes on.
  const std::string deep = "G1 X" + std::string(10000, '[') + "1" + std::string(10000, ']') + "\n";
  for (const std::string& harmless :
       {deep, std::string("#99999=1\n"), std::string("#1=[[[[1\nG1 X[1+]\n"),
        std::string("END1\nEND2\no9 endwhile\no9 endsub\n")}) {
    EXPECT_EQ(Describe(Calls(before + harmless + after)), Describe(drawnAll)) << harmless.substr(0, 40);
  }
  // A loop that draws until the budget ends it: both passes stop at the same
  // block, so the picture fits its frame.
  RecordingCanvas canvas;
  RunProgram("G0 X0 Y0\n#1=0\nWHILE [1 EQ 1] DO1\nG1 X[#1] Y[#1 MOD 7]\n#1=#1+1\nEND1\n", canvas);
  ASSERT_GT(canvas.Count(CanvasCall::Line), 1000u);
  for (const CanvasCall& call : canvas.calls) {
    if (call.kind != CanvasCall::Line) continue;
    for (int32_t at : {call.a, call.b, call.c, call.d}) {
      EXPECT_GE(at, 2);
      EXPECT_LE(at, 253);
    }
  }
}

// Sinumerik-style programs against plain ISO twins: R parameters, DEF
// variables and words with "=", arcs by CR=, AR=, TURN= and CIP, labels,
// jumps, structured loops, section repeats and MCALL of a drilling cycle.
TEST(Parametric, SinumerikProgramsDrawAsTheirTwins) {
  ExpectTwins(
      "%_N_PLATE_MPF\n;PATH=/_N_WKS_DIR/_N_PLATE_WPD\nDEF REAL LEN, WID=20\nLEN=40\nR1=10 R2=5\n"
      "G0 X0 Y0\nG1 X=LEN Y=R2+5\nX=LEN/2 Y=WID ; comment X99\nG1 X=R1*SIN(30) Y=POT(3)\n"
      "G1 X=ATAN2(1,1) Y=TRUNC(2.7)+ROUND(2.6)\nG1 X=IC(5) Y=AC(1)\nR99999=1\nG1 X=(7 DIV 2)*R0 Y=R1\n"
      "G2 X20 Y0 CR=R1\nG3 X0 Y0 CR=-R1\nG2 X20 Y0 AR=90\nG3 I-10 J0 AR=90\n"
      "CIP X20 Y20 I1=10 J1=20\nG3 X0 Y20 I-10 J0 TURN=2\nM30\nG1 X99 Y99\n",
      "G0 X0 Y0\nG1 X40 Y10\nX20 Y20\nG1 X5 Y9\nG1 X45 Y5\nG1 X50 Y1\nG1 X0 Y10\n"
      "G2 X20 Y0 R10\nG3 X0 Y0 R-10\nG2 X20 Y0 I10 J-10\nG3 X10 Y10 I-10 J0\n"
      "G2 X20 Y20 I5 J5\nG3 X20 Y20 I-10 J0\nG0 X0 Y20\n");
  ExpectTwins(
      "%_N_FLOW_MPF\nDEF INT CNT\nR1=0\nG0 X0 Y0\nLOOP1: G1 X=R1*10 Y10\nR1=R1+1\n"
      "IF R1<3 GOTOB LOOP1\nIF R1==3 GOTOF SKIP\nG1 X99 Y99\nSKIP: G1 Y7\n"
      "IF R1>5\n  G1 X50 Y50\nELSE\n  G1 X1 Y1\nENDIF\n"
      "IF NOT (R1<>3) GOTOF NEXT\nG1 X99 Y99\nNEXT: IF $P_SEARCH GOTOF N50\nGOTOC NOWHERE\n"
      "R2=0\nWHILE R2<2\n  G1 X=R2*5 Y-5\n  R2=R2+1\nENDWHILE\n"
      "FOR CNT=1 TO 3\n  G1 X=CNT Y-8\nENDFOR\nCNT=7/2\nG1 X=CNT Y-8\n"
      "FOR R3=0 TO 1\n  FOR R4=0 TO 1\n    G1 X=R3*5 Y=R4*5+20\n  ENDFOR\nENDFOR\n"
      "R5=0\nREPEAT\n  R5=R5+1\n  G1 X=R5 Y-10\nUNTIL R5>=2\n"
      "R6=0\nLOOP\n  R6=R6+1\n  IF R6>2 GOTOF OUT\n  G1 X=R6 Y-12\nENDLOOP\n"
      "OUT: G1 X0 Y0\nSEC: G1 X3 Y3\nG1 X4 Y3\nREPEAT SEC P=2\nN50 G1 X6 Y6\nGOTOF N70\n"
      "G1 X99 Y99\nN70 G1 X7 Y7\nONE: G1 X8 Y8\nG1 X9 Y9\nREPEATB ONE P=2\n"
      "L100\nBAR_CENTR\nCYCLE81(10,0,2,-5)\nTRANS X50 Y50\nM30\nG1 X99 Y0\n",
      "G0 X0 Y0\nG1 X0 Y10\nG1 X10 Y10\nG1 X20 Y10\nG1 Y7\nG1 X1 Y1\nG1 X0 Y-5\nG1 X5 Y-5\n"
      "G1 X1 Y-8\nG1 X2 Y-8\nG1 X3 Y-8\nG1 X4 Y-8\nG1 X0 Y20\nG1 X0 Y25\nG1 X5 Y20\nG1 X5 Y25\n"
      "G1 X1 Y-10\nG1 X2 Y-10\nG1 X1 Y-12\nG1 X2 Y-12\nG1 X0 Y0\n"
      "G1 X3 Y3\nG1 X4 Y3\nG1 X3 Y3\nG1 X4 Y3\nG1 X3 Y3\nG1 X4 Y3\nG1 X6 Y6\nG1 X7 Y7\n"
      "G1 X8 Y8\nG1 X9 Y9\nG1 X8 Y8\nG1 X8 Y8\n");
  // A turning program: X is a diameter, the arcs lie in Z and X.
  ExpectTwins(
      "%_N_SHAFT_MPF\nDEF REAL D=40\nG18 G90\nG0 X=D+2 Z2\nG1 X=D Z0\nG1 Z-20\nG2 X=D+10 Z-25 CR=5\n"
      "G1 Z-40\nG3 X=D+20 Z-45 AR=90\nCIP X=D+20 Z-65 I1=D+30 K1=-55\nG1 X=D+40\nG0 X100 Z100\n",
      "G18 G90\nG0 X42 Z2\nG1 X40 Z0\nG1 Z-20\nG2 X50 Z-25 R5\nG1 Z-40\nG3 X60 Z-45 I0 K-5\n"
      "G3 X60 Z-65 I-7.5 K-10\nG1 X80\nG0 X100 Z100\n");
  // MCALL makes the following positions drilling points, as G81 does.
  ExpectTwins("G0 X0 Y0\nMCALL CYCLE81(10,0,2,-5)\nX10 Y10\nG0 X20 Y10\nMCALL\nG0 X0 Y0\nG1 X5 Y5\n",
              "G0 X0 Y0\nG81 X10 Y10\nX20 Y10\nG0 X0 Y0\nG1 X5 Y5\n");
  // Plain ISO keeps its radius words: R1=10 only tells the dialect.
  EXPECT_NE(Describe(Calls("G0 X0 Y0\nG2 X20 Y0 R10\n")), Describe(Calls("G0 X0 Y0\nG1 X20 Y0\n")));
}

TEST(Parametric, HostileSinumerikProgramsEndWithThePictureSoFar) {
  const std::string before = "%_N_HOSTILE_MPF\nG0 X0 Y0\nG1 X10 Y10\n";
  const std::string after = "G1 X20 Y0\n";
  const std::string drawnBefore = Describe(Calls(before));
  const std::string drawnAll = Describe(Calls(before + after));
  for (const std::string hostile :
       {"LOOP\nENDLOOP\n", "MARK: GOTOB MARK\n", "WHILE 1\nENDWHILE\n", "GOTOF NOWHERE\n",
        "MARK: G1 X10\nREPEATB MARK P=99999999\n", "WHILE 1\nIF 1\nENDWHILE\n"}) {
    EXPECT_EQ(Describe(Calls(before + hostile + after)), drawnBefore) << hostile;
  }
  const std::string deep = "X=" + std::string(10000, '(') + "1" + std::string(10000, ')') + "\n";
  for (const std::string& harmless :
       {deep, std::string("R99999=1\n"), std::string("ENDWHILE\nENDFOR\nUNTIL 1\nENDLOOP\n")}) {
    EXPECT_EQ(Describe(Calls(before + harmless + after)), drawnAll) << harmless.substr(0, 40);
  }
}

}  // namespace
