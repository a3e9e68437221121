#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace {

TEST(MatchWord, MatchesWholeWordsOnly) {
  EXPECT_TRUE(MatchWord("N10G01X5", "G01"));   // after a block number, before a letter
  EXPECT_FALSE(MatchWord("N10G01X5", "G0"));   // G0 inside G01
  EXPECT_FALSE(MatchWord("N10G01X5", "G1"));
  EXPECT_FALSE(MatchWord("G17 G1 X5", "G1"));  // only the first occurrence counts
  EXPECT_TRUE(MatchWord("G1X5", "G1"));
  EXPECT_TRUE(MatchWord("CC X+0 Y+0", "CC"));
  EXPECT_FALSE(MatchWord("CC X+0 Y+0", "C "));  // its "C " follows a letter
  EXPECT_FALSE(MatchWord("LBL 1", "L "));
  EXPECT_FALSE(MatchWord("CALL LBL 1", "L "));
  EXPECT_TRUE(MatchWord("L X+10 R0 FMAX", "FMAX"));
  EXPECT_FALSE(MatchWord("L X+10 FMAX\r", "FMAX"));  // CR is neither space nor number-like
  EXPECT_TRUE(MatchWord("C X+10 DR+\r", "DR+"));
  EXPECT_FALSE(MatchWord("\tG1 X5", "G1"));  // a tab is no separator
  EXPECT_FALSE(MatchWord("g1 x5", "G1"));
  EXPECT_FALSE(MatchWord("", "G1"));
  EXPECT_FALSE(MatchWord("G1", ""));
}

TEST(ScanBlock, SplitsCommentAndSetsCycle) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  TextReader text("(DRILL) G81 X5 Y5\nnext\n");
  EXPECT_EQ(ScanBlock(ctx, text.reader), 1);
  EXPECT_STREQ(ctx.commentText, "(DRILL)");
  EXPECT_TRUE(ctx.hasComment);
  EXPECT_TRUE(ctx.modeCycle);
  EXPECT_EQ(ctx.isoHits, 1);
  EXPECT_EQ(text.reader.Position(), 0u);  // back at the block's first byte
}

TEST(ScanBlock, LineLengthLimitsAndEmptyLines) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  const std::string ok = "G1" + std::string(252, ' ') + "\n";
  const std::string tooLong = "G1" + std::string(253, ' ') + "\n";
  {
    TextReader text(ok);
    EXPECT_EQ(ScanBlock(ctx, text.reader), 1);
    EXPECT_TRUE(ctx.modeLinear);
  }
  {
    NcPathContext fresh = ThumbnailContext(canvas);
    TextReader text(tooLong);
    EXPECT_EQ(ScanBlock(fresh, text.reader), -2);
    EXPECT_EQ(text.reader.Position(), 255u);
    EXPECT_FALSE(fresh.modeLinear);  // the keywords of an over-long line count for nothing
  }
  {
    TextReader text("\nG1\n");
    ctx.modeLinear = false;
    EXPECT_EQ(ScanBlock(ctx, text.reader), 0);
    EXPECT_FALSE(ctx.hasComment);
    EXPECT_FALSE(ctx.modeLinear);
  }
}

TEST(ScanBlock, KeywordsOverrideInTableOrder) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  {
    TextReader text("L X+10 FMAX\n");  // "L " then FMAX: a rapid move
    EXPECT_EQ(ScanBlock(ctx, text.reader), 2);
    EXPECT_TRUE(ctx.modeRapid);
    EXPECT_FALSE(ctx.modeLinear);
    EXPECT_EQ(ctx.tncHits, 2);
  }
  {
    TextReader text("C X+10 Y+0\n");  // "C " without a direction: straight
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.modeLinear);
    EXPECT_FALSE(ctx.modeArcCw || ctx.modeArcCcw);
  }
  {
    TextReader text("C X+10 Y+0 DR-\n");
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.modeArcCw);
    EXPECT_FALSE(ctx.modeArcCcw);
  }
  {
    TextReader text("CC X+0 Y+0\n");
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.ccBlock);
    EXPECT_FALSE(ctx.centerRelI || ctx.centerRelJ);
  }
  {
    TextReader text("G91 G1 X5\n");
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.incremental[0] && ctx.incremental[1] && ctx.incremental[2]);
    EXPECT_TRUE(ctx.centerRelI && ctx.centerRelJ);
  }
  {
    // The drilling cycle survives TNC keywords and ends with a motion code.
    TextReader text("G82 G83 X1\nL X+5\nG0 X0\n");
    EXPECT_EQ(ScanBlock(ctx, text.reader), 1);  // only the first cycle keyword counts
    EXPECT_TRUE(ctx.modeCycle);
  }
}

TEST(ScanBlock, CommentDelimitersFollowTheDialect) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  {
    // Read as ISO, ";" starts a comment too: its keywords do not count.
    TextReader text("L X+1 ; L FMAX\n");
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.hasComment);
    EXPECT_STREQ(ctx.commentText, "; L FMAX");
    EXPECT_TRUE(ctx.modeLinear);
  }
  {
    ctx.isTnc = 1;
    TextReader text("L X+1 ; L FMAX (x)\n");
    ScanBlock(ctx, text.reader);
    EXPECT_TRUE(ctx.hasComment);
    EXPECT_STREQ(ctx.commentText, "; L FMAX (x)");
    EXPECT_TRUE(ctx.modeLinear);
  }
  {
    ctx.isTnc = 0;
    TextReader text("(A) G1 (B)(C\n");  // joined; an open comment runs to the line end
    ScanBlock(ctx, text.reader);
    EXPECT_STREQ(ctx.commentText, "(A)(B)(C");
  }
  {
    TextReader text("(" + std::string(250, 'x') + ")\n");  // cut to 199 characters
    ScanBlock(ctx, text.reader);
    EXPECT_EQ(std::string(ctx.commentText).size(), 199u);
  }
}

TEST(ScanBlock, CarriageReturnBeforeNewlineEndsTheBlock) {
  RecordingCanvas canvas;
  NcPathContext ctx = ThumbnailContext(canvas);
  ctx.isTnc = 1;
  TextReader text("L X+10 FMAX\r\n;fast\r\n");
  ScanBlock(ctx, text.reader);
  EXPECT_TRUE(ctx.modeRapid);  // FMAX at the line end matches
  EXPECT_EQ(ReadAddressWords(ctx, text.reader, true), 1);
  EXPECT_EQ(text.reader.Position(), 13u);  // after the LF
  EXPECT_EQ(ScanBlock(ctx, text.reader), 0);
  EXPECT_STREQ(ctx.commentText, ";fast");  // without the CR
}

}  // namespace
