// The benchmark's program generator: exact block counts, the same bytes for
// the same seed, every kind of block present, and a program the interpreter
// reads as an ISO milling program that stays inside the part.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "NcPathContext.h"
#include "ProgramGenerator.h"
#include "RecordingCanvas.h"

namespace {

size_t CountLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(ProgramGenerator, WritesExactlyTheBlocksAskedFor) {
  for (uint64_t blocks : {1u, 7u, 10u, 100u, 5000u}) {
    GeneratorStats stats;
    const std::string text = GenerateProgramText(blocks, kDefaultSeed, &stats);
    EXPECT_EQ(CountLines(text), blocks);
    EXPECT_EQ(stats.blocks, blocks);
    EXPECT_EQ(stats.bytes, text.size());
    EXPECT_EQ(text.back(), '\n');
  }
}

TEST(ProgramGenerator, IsDeterministicPerSeed) {
  EXPECT_EQ(GenerateProgramText(3000, 1), GenerateProgramText(3000, 1));
  EXPECT_NE(GenerateProgramText(3000, 1), GenerateProgramText(3000, 2));
}

TEST(ProgramGenerator, MixesEveryKindOfBlockInIsoFormat) {
  GeneratorStats stats;
  const std::string text = GenerateProgramText(20000, kDefaultSeed, &stats);
  EXPECT_GT(stats.lines, stats.blocks / 3);
  EXPECT_GT(stats.arcsIJ, 100u);
  EXPECT_GT(stats.arcsR, 100u);
  EXPECT_GT(stats.arcsNegR, 20u);
  EXPECT_GT(stats.drillPoints, 20u);
  EXPECT_GT(stats.rapids, 50u);
  EXPECT_GT(stats.comments, 5u);
  EXPECT_NE(text.find(" R-"), std::string::npos);
  EXPECT_NE(text.find(" G81 X"), std::string::npos);
  // About 30 bytes a block, so that 10^6 blocks make about 30 MB.
  const double perBlock = static_cast<double>(text.size()) / static_cast<double>(stats.blocks);
  EXPECT_GT(perBlock, 25.0);
  EXPECT_LT(perBlock, 36.0);

  // Every line is a short block: N-numbered, or the % and O lines.
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(end - start, 80u);
    EXPECT_TRUE(text[start] == 'N' || text[start] == '%' || text[start] == 'O')
        << text.substr(start, end - start);
    start = end + 1;
  }
}

class ProgramStyles : public ::testing::TestWithParam<ProgramStyle> {};

TEST_P(ProgramStyles, InterpretAsIsoMillingInsideThePart) {
  GeneratorStats stats;
  const std::string text = GenerateProgramText(20000, kDefaultSeed, &stats, GetParam());
  RecordingCanvas canvas;
  NcPathContext ctx{};
  ctx.graphics = &canvas;
  MemorySource source(text.data(), text.size());
  DrawToolpath(ctx, source);

  EXPECT_EQ(ctx.plane, 1);
  EXPECT_EQ(ctx.isTnc, 0);
  EXPECT_TRUE(ctx.fitValid);
  EXPECT_EQ(ctx.commentCount, 3);
  EXPECT_STREQ(ctx.comments[0], "(BENCH PART)");
  // The tool wanders around the part's middle and never far outside it.
  EXPECT_GT(ctx.minX, -kPartWidth);
  EXPECT_LT(ctx.maxX, 2 * kPartWidth);
  EXPECT_GT(ctx.minY, -kPartHeight);
  EXPECT_LT(ctx.maxY, 2 * kPartHeight);
  EXPECT_GT(ctx.maxX - ctx.minX, kPartWidth / 4);
  EXPECT_GT(canvas.Count(CanvasCall::Line), stats.lines / 4);
  EXPECT_GE(canvas.Count(CanvasCall::Circle), stats.drillPoints);
}

INSTANTIATE_TEST_SUITE_P(Both, ProgramStyles,
                         ::testing::Values(ProgramStyle::Contours, ProgramStyle::Dense));

TEST(ProgramGenerator, DenseProgramsCrossMorePixelsPerBlock) {
  auto linesDrawn = [](ProgramStyle style) {
    const std::string text = GenerateProgramText(5000, kDefaultSeed, nullptr, style);
    CountingCanvas canvas;
    NcPathContext ctx{};
    ctx.graphics = &canvas;
    MemorySource source(text.data(), text.size());
    DrawToolpath(ctx, source);
    return canvas.lines;
  };
  EXPECT_GT(linesDrawn(ProgramStyle::Dense), 2 * linesDrawn(ProgramStyle::Contours));
}

// The parametric spiral's loop runs to its end: the path reaches the outer
// turn, radius 49 around the part's middle.
TEST(ProgramGenerator, ParametricSpiralRunsItsLoopToTheOuterTurn) {
  GeneratorStats stats;
  const std::string text = GenerateProgramText(40000, kDefaultSeed, &stats, ProgramStyle::Parametric);
  EXPECT_LT(stats.blocks, 30u);
  EXPECT_EQ(stats.lines, 40000u);
  CountingCanvas canvas;
  NcPathContext ctx{};
  ctx.graphics = &canvas;
  MemorySource source(text.data(), text.size());
  DrawToolpath(ctx, source);
  EXPECT_TRUE(ctx.fitValid);
  EXPECT_NEAR(ctx.minX, 1.0, 0.5);
  EXPECT_NEAR(ctx.maxX, 99.0, 0.5);
  EXPECT_NEAR(ctx.minY, 1.0, 0.5);
  EXPECT_NEAR(ctx.maxY, 99.0, 0.5);
  EXPECT_GT(canvas.lines, 5000u);
}

}  // namespace
