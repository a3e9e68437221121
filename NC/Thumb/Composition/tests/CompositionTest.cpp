#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "RecordingThumbnailCanvas.h"
#include "PreviewComposition.h"
#include "ThumbnailComposition.h"

namespace {

struct Composed {
  RecordingThumbnailCanvas canvas;
  NcPathContext ctx{};
};

void Compose(Composed& out, const std::string& program, ThumbnailOptions options) {
  MemorySource source(program.data(), program.size());
  ComposeThumbnail(source, out.canvas, options, out.ctx);
}

std::string Texts(const RecordingThumbnailCanvas& canvas) {
  std::string all;
  for (const OverlayCall& call : canvas.overlays)
    if (call.kind == OverlayCall::Text) all += call.text + "|";
  return all;
}

const char* kMilling = "(PART 7)\n(OP 1)\nG0 X0 Y0\nG1 X50 Y0\n(OP 2)\nG1 X50 Y20\n(OP 3)\n";

TEST(Composition, PathThenVersionOnlyWhenEveryOptionIsOff) {
  Composed c;
  Compose(c, kMilling, ThumbnailOptions{});
  EXPECT_EQ(c.ctx.canvasWidth, 251);
  EXPECT_EQ(c.ctx.marginX, 2);
  EXPECT_EQ(c.canvas.path.Count(CanvasCall::Line), 2u);
  EXPECT_EQ(c.canvas.path.calls[0].blue, 255);
  ASSERT_EQ(c.canvas.overlays.size(), 2u);
  EXPECT_EQ(c.canvas.overlays[0].kind, OverlayCall::Begin);  // after the path
  EXPECT_EQ(c.canvas.overlays[0].width, 10.0);
  const OverlayCall& version = c.canvas.overlays[1];
  EXPECT_EQ(version.text, "v2.01");
  EXPECT_EQ(version.x1, 0);
  EXPECT_EQ(version.y1, 0);
  EXPECT_EQ(version.argb, COLOUR_TEXT);
}

TEST(Composition, EveryOverlayInItsPlaceAndOrder) {
  Composed c;
  ThumbnailOptions all;
  all.showAxis = all.showComment = all.showType = true;
  Compose(c, kMilling, all);
  EXPECT_EQ(Texts(c.canvas), "v2.01|Y|X|I S O|(PART 7)|(OP 1)|(OP 2)|");
  const auto& o = c.canvas.overlays;
  ASSERT_EQ(o.size(), 13u);
  EXPECT_EQ(o[2].x1, 4);  // "Y" above the vertical axis, dark red
  EXPECT_EQ(o[2].y1, 213);
  EXPECT_EQ(o[2].argb, COLOUR_DARK_RED);
  EXPECT_EQ(o[3].x1, 42);  // "X" beside the horizontal axis, green
  EXPECT_EQ(o[3].y1, 237);
  EXPECT_EQ(o[3].argb, COLOUR_GREEN);
  EXPECT_EQ(o[4].kind, OverlayCall::PenLine);  // horizontal axis first
  EXPECT_EQ(o[4].x2, 85);
  EXPECT_EQ(o[4].y2, 251);
  EXPECT_EQ(o[4].argb, COLOUR_GREEN);
  EXPECT_EQ(o[5].y2, 170);
  EXPECT_EQ(o[5].argb, COLOUR_DARK_RED);
  EXPECT_EQ(o[6].x1, 50);
  EXPECT_EQ(o[6].argb, COLOUR_DARK_RED);
  for (int i = 0; i < 3; ++i) {  // each band, then its text
    const OverlayCall& band = o[7 + 2 * i];
    const OverlayCall& text = o[8 + 2 * i];
    EXPECT_EQ(band.kind, OverlayCall::Rect);
    EXPECT_EQ(band.y1, 15 + 12 * i);
    EXPECT_EQ(band.x2, 255);  // width
    EXPECT_EQ(band.y2, 13);   // height
    EXPECT_EQ(band.argb, COLOUR_COMMENT_BAND);
    EXPECT_EQ(text.x1, 5);
    EXPECT_EQ(text.y1, 12 + 12 * i);
  }
}

TEST(Composition, TurningLettersTncNameAndOneComment) {
  Composed turning;
  ThumbnailOptions axis;
  axis.showAxis = true;
  Compose(turning, "G0 X20 Z2\nG1 Z-20\nG1 X30\nM30\n", axis);
  EXPECT_EQ(Texts(turning.canvas), "v2.01|X|Z|");

  Composed tnc;
  ThumbnailOptions type;
  type.showType = type.showComment = true;
  Compose(tnc, "BEGIN PGM 1 MM\n; ROUGH\nL X+0 Y+0 FMAX\nL X+10 Y+5\nEND PGM 1 MM\n", type);
  EXPECT_EQ(Texts(tnc.canvas), "v2.01|T N C|; ROUGH|");
  EXPECT_EQ(tnc.canvas.overlays[2].argb, COLOUR_GREEN);

  Composed empty;  // an empty program still gets its overlays
  ThumbnailOptions all;
  all.showAxis = all.showType = all.showComment = true;
  Compose(empty, "", all);
  EXPECT_EQ(Texts(empty.canvas), "v2.01|Y|X|I S O|");
  EXPECT_EQ(empty.canvas.path.Count(CanvasCall::Line), 0u);
}

TEST(Composition, OtherSizesScaleTheWholeLayout) {
  Composed c;
  ThumbnailOptions big;
  big.size = 510;
  big.showAxis = true;
  Compose(c, "G1 X0 Y0\nG1 X50 Y20\n", big);
  EXPECT_EQ(c.ctx.marginX, 4);
  EXPECT_EQ(c.ctx.canvasWidth, 502);
  EXPECT_EQ(c.canvas.overlays[0].width, 20.0);
  EXPECT_EQ(c.canvas.overlays[2].y1, 426);
  EXPECT_EQ(c.canvas.overlays[4].x2, 170);
  EXPECT_EQ(c.canvas.overlays[4].width, 2.0);
  // The path spans the whole width of its area.
  int maxX = 0;
  for (const CanvasCall& call : c.canvas.path.calls)
    if (call.kind == CanvasCall::Line) maxX = std::max({maxX, call.a, call.c});
  EXPECT_EQ(maxX, 4 + 502);
}

TEST(Composition, DrillingPointsKeepTheirMarkerAtEverySize) {
  const char* drilling = "G0 X0 Y0\nG81 X10 Y10 Z-5 R1\nX40\nX40 Y30\nG0 X0 Y0\n";
  for (int size : {128, 255, 1024}) {
    Composed c;
    ThumbnailOptions options;
    options.size = size;
    Compose(c, drilling, options);
    EXPECT_EQ(c.ctx.minX, 9) << size;  // framed with a marker of one unit
    ASSERT_GE(c.canvas.path.Count(CanvasCall::Circle), 3u) << size;
    EXPECT_EQ(c.canvas.path.calls[0].c, static_cast<int>(c.ctx.scale + 0.5)) << size;
  }
}

TEST(Composition, CommentsBecomeUtf8) {
  char out[2 * 199 + 1];
  CommentToUtf8("(PLAN \xD8 10)", out, sizeof out);  // Latin-1
  EXPECT_STREQ(out, "(PLAN \xC3\x98 10)");
  CommentToUtf8("(\xC3\x98 10)", out, sizeof out);  // already UTF-8
  EXPECT_STREQ(out, "(\xC3\x98 10)");
  CommentToUtf8("(\xE2\x82)", out, sizeof out);  // a cut sequence: Latin-1 bytes
  EXPECT_STREQ(out, "(\xC3\xA2\xC2\x82)");
  std::string longest(199, '\xE9');
  CommentToUtf8(longest.c_str(), out, sizeof out);
  EXPECT_EQ(std::string(out).size(), 398u);
  char tiny[4];
  CommentToUtf8("(ABCDEF)", tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "(AB");
}

}  // namespace

// The preview pane: a wide part in a wide pane fills the pane's width, not
// a square; the facts line names what the run found; a file with nothing
// to draw gets no overlays, so the caller shows its message.
TEST(PreviewComposition, FitsThePathInsideThePaneAndStatesItsFacts) {
  const std::string plate = "%\nG21 G90\nG0 X0 Y0\nG1 X100 Y0\nG1 X100 Y20\nG1 X0 Y20\nG1 X0 Y0\nM30\n";
  PreviewOptions options;
  options.width = 600;
  options.height = 300;
  options.overlays.showType = true;
  RecordingThumbnailCanvas canvas;
  NcPathContext ctx{};
  MemorySource source(plate.data(), plate.size());
  ASSERT_TRUE(ComposePreview(source, canvas, options, ProgramUnit::Millimetre, ctx));

  const PreviewLayout layout = LayOutPreview(options);
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  for (const CanvasCall& call : canvas.path.calls) {
    if (call.kind != CanvasCall::Line) continue;
    left = std::min({left, call.a, call.c});
    right = std::max({right, call.a, call.c});
    top = std::min({top, call.b, call.d});
    bottom = std::max({bottom, call.b, call.d});
  }
  EXPECT_EQ(left, layout.margin);
  EXPECT_EQ(right, options.width - layout.margin);
  EXPECT_NEAR((right - left) / 5.0, bottom - top, 1.0);  // the aspect kept
  EXPECT_NEAR((top + bottom) / 2.0, layout.pictureHeight / 2.0, 1.0);

  const std::string texts = Texts(canvas);
  EXPECT_NE(texts.find("I S O|"), std::string::npos);
  EXPECT_NE(texts.find("ISO \xC2\xB7 XY (milling) \xC2\xB7 100 \xC3\x97 20 mm \xC2\xB7 8 blocks|"),
            std::string::npos)
      << texts;

  RecordingThumbnailCanvas empty;
  const std::string words = "just some words\nno moves\n";
  MemorySource nothing(words.data(), words.size());
  EXPECT_FALSE(ComposePreview(nothing, empty, options, ProgramUnit::Unknown, ctx));
  EXPECT_TRUE(empty.overlays.empty());
}

TEST(PreviewComposition, UnitComesFromTheProgramsHead) {
  const auto unit = [](const std::string& text) {
    return FindProgramUnit(text.data(), static_cast<uint32_t>(text.size()));
  };
  EXPECT_EQ(unit("0 BEGIN PGM PLATE INCH\n1 L X+0\n"), ProgramUnit::Inch);
  EXPECT_EQ(unit("0 BEGIN PGM PLATE MM\n"), ProgramUnit::Millimetre);
  EXPECT_EQ(unit("(SET G20 FIRST)\nN10 G90 G021\n"), ProgramUnit::Millimetre);
  EXPECT_EQ(unit("N10 g20 G90\n"), ProgramUnit::Inch);
  EXPECT_EQ(unit("G200 X1\nG2 X1 Y1 I0 J1 ; G21\nXG21\n"), ProgramUnit::Unknown);

  std::string binary = "G21\n";
  binary += '\0';
  MemorySource source(binary.data(), binary.size());
  ProgramHead head;
  ASSERT_TRUE(ReadProgramHead(source, head));
  EXPECT_TRUE(head.binary);
}
