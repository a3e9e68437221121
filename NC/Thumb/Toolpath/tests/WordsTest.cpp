#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "TestSupport.h"

namespace {

double Number(const std::string& text) {
  const uint8_t* at = reinterpret_cast<const uint8_t*>(text.data());
  double value = NAN;
  return ReadNumber(at, at + text.size(), value) ? value : NAN;
}

TEST(ReadNumber, ReadsAsTheControlDoes) {
  EXPECT_EQ(Number("1 0\n"), 10.0);
  EXPECT_EQ(Number("+10\n"), 10.0);
  EXPECT_EQ(Number("1,5\n"), 1.5);
  EXPECT_EQ(Number("-.5\n"), -0.5);
  EXPECT_EQ(Number("10 20\n"), 1020.0);
  EXPECT_EQ(Number("1.2.3\n"), static_cast<double>(1.2f));
  EXPECT_EQ(Number("-\n"), 0.0);
  EXPECT_EQ(Number("1-2\n"), 1.0);
  EXPECT_EQ(Number("123456789012\n"), static_cast<double>(1234567890.0f));  // the first 10
  EXPECT_EQ(Number("0.1\n"), static_cast<double>(0.1f));
  EXPECT_EQ(Number("5"), 5.0);  // ended by the end of the data
  EXPECT_TRUE(std::isnan(Number("Y5\n")));
  EXPECT_TRUE(std::isnan(Number("")));
}

TEST(ReadNumber, AgreesWithAtofOnRandomNumberTexts) {
  std::mt19937 random(7);
  const char alphabet[] = "0123456789-.";
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    const int length = 1 + static_cast<int>(random() % 10);
    for (int i = 0; i < length; ++i) text += alphabet[random() % 12];
    const double expected = static_cast<double>(static_cast<float>(std::atof(text.c_str())));
    ASSERT_EQ(Number(text + "\n"), expected) << text;
  }
}

int Words(NcPathContext& ctx, const std::string& block, bool xyPlane = true) {
  TextReader text(block);
  ScanBlock(ctx, text.reader);
  return ReadAddressWords(ctx, text.reader, xyPlane);
}

NcPathContext FreshContext(RecordingCanvas& canvas) {
  NcPathContext ctx = ThumbnailContext(canvas);
  for (double& word : ctx.words) word = NOT_GIVEN;
  return ctx;
}

// The word reader takes a line's numbers sixteen bytes at a time and its
// letters from the scanner's sweep, or from its own when it reads the line
// anew: either way the values are those ReadNumber reads byte by byte,
// wherever in the line and in its 16-byte groups a number stands.
TEST(ReadAddressWords, ReadsNumbersAsReadNumberWhereverTheyStand) {
  std::mt19937 random(11);
  const char alphabet[] = "0123456789-.,+ ";
  RecordingCanvas canvas;
  for (int n = 0; n < 20000; ++n) {
    std::string number;
    const int length = 1 + static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i) number += alphabet[random() % 15];
    const std::string lead(random() % 40, random() % 2 ? ' ' : 'N');
    const std::string line = lead + "G1 X" + number + (random() % 2 ? "\n" : " (Y3)\r\n");
    const double expected = Number(number + "\n");

    NcPathContext shared = FreshContext(canvas);
    TextReader sharedText(line);
    BlockLine scanned;
    ScanBlock(shared, sharedText.reader, scanned);
    ReadAddressWords(shared, sharedText.reader, scanned, true);
    NcPathContext reread = FreshContext(canvas);
    Words(reread, line);
    ASSERT_EQ(shared.words[SLOT_X], std::isnan(expected) ? NOT_GIVEN : expected) << line;
    ASSERT_EQ(reread.words[SLOT_X], shared.words[SLOT_X]) << line;
  }
}

TEST(ReadAddressWords, StoresChangedWordsOnly) {
  RecordingCanvas canvas;
  NcPathContext ctx = FreshContext(canvas);
  EXPECT_EQ(Words(ctx, "G1 X10 Y5\n"), 2);
  EXPECT_EQ(Words(ctx, "G1 X10 Y7\n"), 1);
  EXPECT_FALSE(ctx.wordGiven[SLOT_X]);
  EXPECT_TRUE(ctx.wordGiven[SLOT_Y]);

  EXPECT_EQ(Words(ctx, "G91 G1 X0 Y5\n"), 2);  // incremental: even 0 is a move
  EXPECT_EQ(ctx.words[SLOT_X], 10.0);
  EXPECT_EQ(ctx.words[SLOT_Y], 12.0);
  EXPECT_EQ(Words(ctx, "G91 Z2\n"), 1);  // a missing Z starts from 0
  EXPECT_EQ(ctx.words[SLOT_Z], 2.0);

  // X10 is unchanged, Y5 follows the number directly, the second X finds no number.
  EXPECT_EQ(Words(ctx, "G90 X10Y5 XY6\n"), 2);
  EXPECT_FALSE(ctx.wordGiven[SLOT_X]);
  EXPECT_EQ(ctx.words[SLOT_Y], 6.0);
  EXPECT_EQ(Words(ctx, "G90 (MAX 11)\n"), 0);  // letters in comments are no words
  EXPECT_EQ(ctx.words[SLOT_X], 10.0);
}

TEST(ReadAddressWords, RadiusCentreBlocksAndLatheAxes) {
  RecordingCanvas canvas;
  NcPathContext ctx = FreshContext(canvas);
  Words(ctx, "G1 X10 R5\n");
  EXPECT_EQ(Words(ctx, "G1 X10 R5\n"), 0);
  EXPECT_TRUE(ctx.wordGiven[SLOT_R]);  // an ISO radius is always given
  // In an arc the end point and ISO centre offsets count even unchanged.
  EXPECT_EQ(Words(ctx, "G2 X10 I5 J0\n"), 3);
  EXPECT_EQ(Words(ctx, "G2 X10 I5 J0\n"), 3);
  EXPECT_EQ(Words(ctx, "G1 X10 I5 J0\n"), 2);

  ctx.isTnc = 1;
  Words(ctx, "C X+1 DR+ R5\n");
  EXPECT_FALSE(ctx.wordGiven[SLOT_R]);  // TNC: only when it changes
  EXPECT_EQ(Words(ctx, "CC X+25 Y+25\n"), 2);
  EXPECT_EQ(ctx.words[SLOT_I], 25.0);
  EXPECT_EQ(ctx.words[SLOT_J], 25.0);
  EXPECT_EQ(ctx.words[SLOT_X], 1.0);
  EXPECT_FALSE(ctx.ccBlock);  // consumed

  NcPathContext lathe = FreshContext(canvas);
  EXPECT_EQ(Words(lathe, "G1 X40 Z-10\n", false), 2);
  EXPECT_EQ(lathe.words[SLOT_X], -10.0);
  EXPECT_EQ(lathe.words[SLOT_Y], 20.0);
  Words(lathe, "G2 I5 K2\n", false);
  EXPECT_EQ(lathe.words[SLOT_J], 5.0);
  EXPECT_EQ(lathe.words[SLOT_I], 2.0);
  EXPECT_EQ(lathe.countZ, 1.0);
}

TEST(ReadAddressWords, ReadsTheWholeBlockWhateverItsComment) {
  RecordingCanvas canvas;
  NcPathContext ctx = FreshContext(canvas);
  TextReader text("G1 X1 (" + std::string(150, 'c') + ") Y2\nG1 X5\n");
  ScanBlock(ctx, text.reader);
  EXPECT_EQ(ReadAddressWords(ctx, text.reader, true), 2);
  EXPECT_EQ(ctx.words[SLOT_Y], 2.0);
  EXPECT_EQ(text.reader.Next(), 'G');  // the next block starts after the newline
  EXPECT_EQ(Words(ctx, "X7"), 1);      // the last line needs no newline
  EXPECT_EQ(Words(ctx, "X"), 0);
  EXPECT_EQ(Words(ctx, ""), -1);
}

// The state a block leaves for the driver.
bool SameBlockState(const NcPathContext& a, const NcPathContext& b) {
  return std::memcmp(a.words, b.words, sizeof a.words) == 0 &&
         std::memcmp(a.wordGiven, b.wordGiven, sizeof a.wordGiven) == 0 &&
         a.modeRapid == b.modeRapid && a.modeLinear == b.modeLinear && a.modeArcCw == b.modeArcCw &&
         a.modeArcCcw == b.modeArcCcw && a.modeCycle == b.modeCycle && a.tncBlock == b.tncBlock &&
         a.ccBlock == b.ccBlock && a.centerRelI == b.centerRelI && a.hasComment == b.hasComment &&
         a.isoHits == b.isoHits && a.tncHits == b.tncHits && a.countY == b.countY &&
         a.countZ == b.countZ;
}

// A line the reader's buffer already holds (every line but a source's
// first) and the commonest shape, N, one motion and address words with
// plain numbers, is read in one sweep; any other line, and the first, the
// general way. Blocks of that shape and its near misses read the same both
// ways, in either dialect and either plane.
TEST(ScanBlock, ReadsABlockAlikeWhereverItStands) {
  std::mt19937 random(5);
  const char* const pieces[] = {"N12", "N", "N1.5", "G0", "G1", "G2", "G3", "G00", "G01", "G02",
                                "G03", "G04", "G10", "G1.5", "G017", "F1000", "F9999", "IX5",
                                "DR-", "(C)", ";c", "x5", "\t", "CC X5", "L ", "RND R2", " "};
  const char* const numbers[] = {"5", "-0", "-.5", "5.", "12.345", "-123.4567", "1234567890",
                                 "123456789012", "1 2", "1,5", "+3", "-", ".", "7      ",
                                 "1.2.3", "12345678.9", ""};
  constexpr int kPieces = sizeof pieces / sizeof pieces[0];
  constexpr int kNumbers = sizeof numbers / sizeof numbers[0];
  RecordingCanvas canvas;
  for (int n = 0; n < 20000; ++n) {
    std::string block;
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
      if (random() % 2) {
        block += "XYZIJKR"[random() % 7];
        block += numbers[random() % kNumbers];
      } else {
        block += pieces[random() % kPieces];
      }
      if (random() % 3 != 0) block += ' ';
    }
    block += random() % 4 != 0 ? "\n" : "\r\n";
    const bool xyPlane = random() % 4 != 0;
    NcPathContext first = FreshContext(canvas);
    first.isTnc = static_cast<int32_t>(random() % 2);
    first.modeArcCw = random() % 2 != 0;
    first.incremental[0] = first.incremental[1] = random() % 2 != 0;
    Words(first, "G1 X1 Y2 I3 J4 R5\n", xyPlane);
    NcPathContext later = first;

    TextReader firstText(block);
    TextReader laterText("\n" + block);
    ScanBlock(later, laterText.reader);
    ReadAddressWords(later, laterText.reader, xyPlane);  // the empty line, for the buffer
    later.hasComment = first.hasComment;
    later.tncBlock = first.tncBlock;
    BlockLine firstLine, laterLine;
    const int firstScan = ScanBlock(first, firstText.reader, firstLine);
    const int laterScan = ScanBlock(later, laterText.reader, laterLine);
    ASSERT_EQ(firstScan, laterScan) << block;
    ASSERT_EQ(ReadAddressWords(first, firstText.reader, firstLine, xyPlane),
              ReadAddressWords(later, laterText.reader, laterLine, xyPlane))
        << block;
    ASSERT_TRUE(SameBlockState(first, later)) << block;
    ASSERT_EQ(firstText.reader.Position() + 1, laterText.reader.Position()) << block;
  }
}

TEST(DecidePlane, FromTheShareOfYLetters) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  ctx.countY = 20, ctx.countZ = 20;
  EXPECT_EQ(DecidePlane(ctx, false), -1);
  ctx.countY = 6, ctx.countZ = 24;
  EXPECT_EQ(DecidePlane(ctx, false), 1);  // exactly 20 %
  ctx.countY = 5, ctx.countZ = 21;
  EXPECT_EQ(DecidePlane(ctx, false), 2);
  ctx.countY = 0, ctx.countZ = 0;
  EXPECT_EQ(DecidePlane(ctx, true), 1);  // no evidence of turning
  ctx.countY = 0, ctx.countZ = 1;
  EXPECT_EQ(DecidePlane(ctx, true), 2);
}

}  // namespace
