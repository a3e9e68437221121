// Programs as machinists and controls write them, through the real
// command-line program: inch units, lower case, comments full of letters,
// "F MAX", blocks in machine coordinates and moves from an unknown position.
// Each case compares the listed canvas calls (--calls) or the trace.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

struct Drawn {
  std::vector<std::string> calls;  // one "L ..." or "C ..." line each
  Json trace;
  int status = -1;
};

// A drilled plate: a 4 x 3 outline and a grid of holes, in the unit the
// program names.
std::string DrilledPlate(const std::string& unitBlock, double size) {
  std::ostringstream p;
  p << unitBlock << "G90 G17\nG0 X0 Y0\nG1 X" << 4 * size << " Y0 F10\nG1 X" << 4 * size << " Y"
    << 3 * size << "\nG1 X0 Y" << 3 * size << "\nG1 X0 Y0\nG0 Z1\n";
  p << "G81 X" << size << " Y" << size << " Z-0.5 R0.1\n";
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 2; ++j) p << "X" << i * size << " Y" << j * size << "\n";
  p << "G80\nG0 Z1\nM30\n";
  return p.str();
}

// The code of an ISO program in lower case; comments as they are.
std::string LowerCaseCode(const std::string& program) {
  std::string out = program;
  bool inParens = false, toLineEnd = false;
  for (char& c : out) {
    if (c == '\n') inParens = toLineEnd = false;
    if (!inParens && !toLineEnd && c == '(') inParens = true;
    if (!inParens && c == ';') toLineEnd = true;
    if (!inParens && !toLineEnd) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == ')') inParens = false;
  }
  return out;
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

class RealPrograms : public ::testing::Test {
 protected:
  Drawn Draw(const std::string& program) {
    return DrawFile(work_.Write("part.nc", program));
  }
  Drawn DrawFile(const std::string& input) {
    const RunResult result =
        RunThumbnailer(work_, {"--trace", "--calls", work_ / "calls.txt", input, work_ / "part.png"},
                       ConfigEnvironment(config_.Path()));
    Drawn drawn;
    drawn.status = result.status;
    EXPECT_TRUE(ParseJson(result.out, drawn.trace)) << result.out << result.err;
    std::istringstream list(ReadFile(work_ / "calls.txt"));
    for (std::string line; std::getline(list, line);) drawn.calls.push_back(line);
    return drawn;
  }

  ScratchFolder work_;
  ScratchFolder config_;
};

// The radii of the drilling markers drawn.
std::vector<int> MarkerRadii(const Drawn& drawn) {
  std::vector<int> radii;
  for (const std::string& call : drawn.calls) {
    int left = 0, top = 0, radius = 0;
    if (std::sscanf(call.c_str(), "C %d %d %d", &left, &top, &radius) == 3) radii.push_back(radius);
  }
  return radii;
}

// Every call stays inside the 255-pixel picture.
bool AllInside(const Drawn& drawn) {
  for (const std::string& call : drawn.calls) {
    int v[4] = {};
    const int n = std::sscanf(call.c_str() + 2, "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
    for (int i = 0; i < n && i < 2 + 2 * (call[0] == 'L'); ++i)
      if (v[i] < 0 || v[i] > 254) return false;
  }
  return true;
}

}  // namespace

// The bundled samples make exactly the calls they made before programs
// from the shop floor were taken into account (count and digest of the
// --calls list); scripts/compare-calls.sh shows where a list differs.
TEST_F(RealPrograms, SamplesKeepEveryCall) {
  const struct {
    const char* file;
    size_t calls;
    uint64_t digest;
  } samples[] = {
      {"iso-milling.nc", 518, 0x076b7a01e1651941ull}, {"iso-drilling.nc", 66, 0xfad7e604f5c91d1full},
      {"turning.nc", 90, 0x2436d3f76b45cf93ull},      {"tnc-contour.h", 791, 0x61148e7336e6fee5ull},
      {"crlf-tnc.h", 321, 0x3d87eb4012f610ddull},     {"tnc-plate.h", 693, 0x4b4396ebc10a9ec7ull},
  };
  for (const auto& sample : samples) {
    const Drawn drawn = DrawFile(SamplePath(sample.file));
    EXPECT_EQ(drawn.calls.size(), sample.calls) << sample.file;
    EXPECT_EQ(Fnv1a(ReadFile(work_ / "calls.txt")), sample.digest) << sample.file;
  }
}

// A drilling point is 1 mm in radius whatever the unit, and never vanishes.
TEST_F(RealPrograms, DrillingPointsAreOneMillimetreInEveryUnit) {
  // 4 x 3 inches at 251 pixels: 62.75 pixels an inch, so 1 mm is 2.47 pixels.
  const Drawn inch = Draw(DrilledPlate("G20\n", 1.0));
  ASSERT_FALSE(MarkerRadii(inch).empty());
  for (int radius : MarkerRadii(inch)) EXPECT_EQ(radius, 2);
  EXPECT_EQ(inch.trace["minX"].number, 0.0);  // the outline, not an inch of padding
  EXPECT_EQ(inch.trace["maxX"].number, 4.0);

  // The same plate in a TNC program whose BEGIN PGM line names INCH.
  const Drawn tnc = Draw(
      "0 BEGIN PGM PLATE INCH\n1 L X+0 Y+0 R0 FMAX\n2 L X+4 Y+0 R0 F10\n3 L X+4 Y+3\n"
      "4 L X+0 Y+3\n5 L X+0 Y+0\n6 CYCL DEF 200 DRILLING\n7 G81 X1 Y1\n8 X3 Y2\n"
      "9 END PGM PLATE INCH\n");
  EXPECT_EQ(tnc.trace["isTnc"].number, 1);
  ASSERT_FALSE(MarkerRadii(tnc).empty());
  for (int radius : MarkerRadii(tnc)) EXPECT_EQ(radius, 2);

  // G21 switches back to millimetres: 1 mm on a 4 x 3 mm plate is 63 pixels.
  const Drawn back = Draw("G20\nG21\n" + DrilledPlate("", 1.0));
  for (int radius : MarkerRadii(back)) EXPECT_EQ(radius, 63);

  // A 1000 mm plate drilled only: markers of 0.25 pixels become dots of
  // radius 1 instead of nothing.
  const Drawn plate = Draw("G21\nG0 X0 Y0\nG81 X0 Y0 Z-5 R2\nX1000 Y0\nX1000 Y600\nX0 Y600\nG80\nM30\n");
  EXPECT_EQ(plate.status, 0);
  ASSERT_FALSE(MarkerRadii(plate).empty());
  for (int radius : MarkerRadii(plate)) EXPECT_EQ(radius, 1);
}

// A lower-case copy of each ISO sample (comments as written) draws what
// the sample draws, and is read as ISO.
TEST_F(RealPrograms, LowerCaseIsoProgramsDrawAsWritten) {
  for (const char* sample : {"iso-milling.nc", "iso-drilling.nc", "turning.nc"}) {
    const std::string program = ReadFile(SamplePath(sample));
    const Drawn capitals = Draw(program);
    const Drawn lower = Draw(LowerCaseCode(program));
    EXPECT_EQ(lower.status, 0) << sample;
    EXPECT_GT(lower.calls.size(), 50u) << sample;
    EXPECT_EQ(lower.calls, capitals.calls) << sample;
    EXPECT_EQ(lower.trace["isTnc"].number, 0) << sample;
    EXPECT_EQ(lower.trace["plane"].number, capitals.trace["plane"].number) << sample;
    ASSERT_EQ(lower.trace["comments"].array.size(), capitals.trace["comments"].array.size());
    for (size_t i = 0; i < lower.trace["comments"].array.size(); ++i)
      EXPECT_EQ(lower.trace["comments"].array[i].string, capitals.trace["comments"].array[i].string);
  }
}

// "F MAX" is a rapid move exactly like "FMAX".
TEST_F(RealPrograms, FMaxWithASpaceIsARapidMove) {
  const std::string program =
      "0 BEGIN PGM P MM\n1 L X+0 Y+0 R0 F MAX\n2 L X+100 Y+0 R0 F500\n3 L X+100 Y+50\n"
      "4 L X+300 Y+500 R0 F MAX\n5 L X+0 Y+50 R0 F MAX\n6 L X+0 Y+0 F500\n7 END PGM P MM\n";
  std::string joined = program;
  for (size_t at; (at = joined.find("F MAX")) != std::string::npos;) joined.replace(at, 5, "FMAX");
  const Drawn spaced = Draw(program);
  EXPECT_EQ(spaced.calls.size(), 3u);
  EXPECT_EQ(spaced.calls, Draw(joined).calls);
  EXPECT_EQ(spaced.trace["maxX"].number, 100.0);
}

// Blocks in machine coordinates frame and draw nothing; the move after one
// starts from an unknown position; its modes and its place in the plane
// decision stay.
TEST_F(RealPrograms, BlocksInMachineCoordinatesAreSkipped) {
  const std::string square = "G0 X0 Y0\nG1 X100 Y0\nG1 X100 Y50\n";
  const std::string closing = "G1 X0 Y50\nG1 X0 Y0\nM30\n";
  const Drawn plain = Draw(square + "G0 X0 Y50\n" + closing);
  // A rapid G53 block, then the rapid mode it set: the same picture.
  for (const char* block : {"G0 G53 X-1490 Y-800\nX0 Y50\n", "G91 G28 X0 Y0\nG90 G0 X0 Y50\n",
                            "G30 X-1490\nG0 X0 Y50\n"}) {
    const Drawn machine = Draw(square + block + closing);
    EXPECT_EQ(machine.calls, plain.calls) << block;
    EXPECT_EQ(machine.trace["minX"].number, 0.0) << block;
  }
  // A feed move right after it comes from nowhere: nothing drawn.
  const Drawn feed = Draw(square + "G53 X-1490 Y-800\n" + closing);
  const Drawn straight = Draw(square + closing);
  ASSERT_EQ(straight.calls.size(), 4u);
  EXPECT_EQ(feed.calls, std::vector<std::string>({straight.calls[0], straight.calls[1], straight.calls[3]}));
  EXPECT_TRUE(AllInside(feed));

  // TNC: M91 and M92 in a straight block, "F MAX" as the control writes it.
  const Drawn tnc = Draw(
      "0 BEGIN PGM P MM\n1 L X+0 Y+0 R0 FMAX\n2 L X+100 Y+0 R0 F500\n3 L Z+1000 R0 F MAX M91\n"
      "4 L X-1490 Y-800 R0 FMAX M92\n5 L X+100 Y+50 R0 F500\n6 L X+0 Y+50\n7 END PGM P MM\n");
  EXPECT_EQ(tnc.calls.size(), 2u);
  EXPECT_TRUE(AllInside(tnc));
  EXPECT_EQ(tnc.trace["minY"].number, 0.0);

  // A lathe program that ends in machine coordinates is still a turning
  // program: the plane is decided on that block.
  const Drawn lathe =
      Draw("G0 X40 Z2\nG1 X40 Z-20 F0.2\nG1 X50 Z-30\nG1 X60 Z-40\nG00 G53 X0 Z0\nM30\n");
  EXPECT_EQ(lathe.trace["plane"].number, 2);
  EXPECT_EQ(lathe.calls.size(), 3u);
}

// Letters in comments are no words; a ";" comment is shown like a
// parenthesised one, and a bare ";" only ends its block.
TEST_F(RealPrograms, CommentsHoldNoWords) {
  const std::string code = "G0 X0 Y0\nG1 X10 Y0\nG1 X10 Y10\nG1 X0 Y10\nG1 X0 Y0\nM30\n";
  const Drawn plain = Draw(code);
  const Drawn commented = Draw(
      "(FACE TOP OF 3X3 BLOCK)\n(STOCK DX 3.50IN DY 2.50IN\nG0 X0 Y0\nG1 X10 Y0 (GO Y70)\n"
      "G1 X10 Y10 ; X500 Y-20\nG1 X0 Y10;\nG1 X0 Y0\nM30\n");
  EXPECT_EQ(commented.calls, plain.calls);
  const Json& comments = commented.trace["comments"];
  ASSERT_EQ(comments.array.size(), 3u);
  EXPECT_EQ(comments.array[1].string, "(STOCK DX 3.50IN DY 2.50IN");
  EXPECT_EQ(comments.array[2].string, "(GO Y70)");
  EXPECT_EQ(Draw("G1 X0 Y0 ; X500 Y-20\n" + code).trace["comments"].array[0].string,
            "; X500 Y-20");

  // TNC: the text after ";" and structure lines.
  const std::string tnc =
      "0 BEGIN PGM P MM\n1 L X+0 Y+0 R0 FMAX\n2 L X+10 Y+0 R0 F500\n3 L X+10 Y+10\n"
      "4 L X+0 Y+10\n5 END PGM P MM\n";
  const Drawn tncPlain = Draw(tnc);
  const Drawn tncCommented = Draw(
      "0 BEGIN PGM P MM\n1 * - X+900 Y-900 ROUGHING\n2 L X+0 Y+0 R0 FMAX ; X+500\n"
      "3 L X+10 Y+0 R0 F500\n4 L X+10 Y+10 ;Y+70\n5 L X+0 Y+10\n6 END PGM P MM\n");
  EXPECT_EQ(tncCommented.trace["isTnc"].number, 1);
  EXPECT_EQ(tncCommented.calls, tncPlain.calls);
}

// A feed move from an unknown position draws nothing and frames its end.
TEST_F(RealPrograms, AMoveFromNowhereDrawsNothing) {
  const Drawn drawn = Draw("G1 X50 Y50 F100\nG1 X100 Y50\nG1 X100 Y80\nM30\n");
  EXPECT_EQ(drawn.calls.size(), 2u);
  EXPECT_TRUE(AllInside(drawn));
  EXPECT_EQ(drawn.trace["minX"].number, 50.0);
  // An arc from nowhere likewise.
  const Drawn arc = Draw("G2 X50 Y50 R30 F100\nG1 X100 Y50\nG1 X100 Y80\nM30\n");
  EXPECT_EQ(arc.calls, drawn.calls);
  EXPECT_EQ(arc.trace["minX"].number, 50.0);
  // Only X and then only Y known: still no start.
  EXPECT_EQ(Draw("G1 X50\nG1 Y50\nG1 X100 Y50\nM30\n").calls.size(), 1u);
}

// Without any Y or Z letter a program is no turning program.
TEST_F(RealPrograms, NoYAndNoZIsMilling) {
  EXPECT_EQ(Draw("G0 X0\nG1 X10 F100\nG1 X50\nM30\n").trace["plane"].number, 1);
  // One Z letter is evidence enough, as before.
  EXPECT_EQ(Draw("G0 X0 Z0\nG1 X10 F100\nG1 X50\nM30\n").trace["plane"].number, 2);
}
