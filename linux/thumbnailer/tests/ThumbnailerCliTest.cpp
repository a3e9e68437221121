// The command-line program as a file manager or a script meets it: real
// files in a scratch folder, the real binary, the PNG read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "RecordingThumbnailCanvas.h"
#include "TestSupport.h"
#include "ThumbnailComposition.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlue = 0xFF0000FF;

// A comment and one straight line, which the fit lays across the middle of
// the picture, clear of every overlay's box.
constexpr const char* kCommentAndLine = "(ONLY A COMMENT)\nG1 X0 Y0\nG1 X100 Y0\nM30\n";
// A 100 x 50 rectangle around the origin's upper right.
constexpr const char* kRectangle =
    "G1 X0 Y0\nG1 X100 Y0\nG1 X100 Y50\nG1 X0 Y50\nG1 X0 Y0\n";

// Boxes of the overlays at 255 pixels (a little room around each).
struct Box {
  int x0, y0, x1, y1;
};
constexpr Box kVersionBox{0, 0, 36, 13};
constexpr Box kTypeBox{50, 0, 90, 13};
constexpr Box kAxisBox{0, 165, 95, 254};
constexpr Box kCommentBox{0, 14, 254, 52};

class ThumbnailerCli : public ::testing::Test {
 protected:
  // Runs the program with no option files unless a test writes them.
  RunResult Run(const std::vector<std::string>& args) {
    return RunThumbnailer(work_, args, ConfigEnvironment(config_.Path()));
  }

  // Renders `program` with `flags`; the picture, or width 0.
  Picture Render(const std::string& program, std::vector<std::string> flags = {}) {
    const std::string input = work_.Write("part.nc", program);
    flags.push_back(input);
    flags.push_back(work_ / "part.png");
    const RunResult result = Run(flags);
    EXPECT_EQ(result.status, 0) << result.err;
    return ReadPng(work_ / "part.png");
  }

  Json Trace(const std::string& input, std::vector<std::string> flags = {}, int status = 0) {
    flags.insert(flags.end(), {"--trace", input, work_ / "trace.png"});
    const RunResult result = Run(flags);
    EXPECT_EQ(result.status, status) << result.err;
    Json json;
    EXPECT_TRUE(ParseJson(result.out, json)) << result.out;
    return json;
  }

  void WriteOption(const char* fileName, const std::string& bytes) {
    mkdir((config_ / "Kestrova").c_str(), 0755);
    config_.Write(std::string("Kestrova/") + fileName, bytes);
  }

  // A failed run: the exit status, one line on standard error, nothing on
  // standard output and no file left in the work folder but the input.
  void ExpectFailure(const RunResult& result, int status, const std::string& inMessage) {
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(inMessage), std::string::npos) << result.err;
    EXPECT_EQ(result.err.rfind("vantrel-thumbnailer: ", 0), 0u) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
  }

  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const std::string& name : work_.Entries()) {
      if (name != "part.nc" && name != "in.nc") names.push_back(name);
    }
    return names;
  }

  ScratchFolder work_;
  ScratchFolder config_;
};

int NonWhite(const Picture& picture, const Box& box) {
  return picture.CountNonWhite(box.x0, box.y0, box.x1, box.y1);
}

// Pixel of a program point at 255 pixels, as the trace's fit places it.
std::pair<int, int> PixelOf(const Json& trace, double h, double v) {
  auto round = [](double value) { return static_cast<int>(value < 0 ? value - 0.5 : value + 0.5); };
  const double scale = trace["scale"].number;
  const int x = round((h + trace["offsetX"].number) * scale) + 2;
  const int y = 251 + 2 - round((v + trace["offsetY"].number) * scale);
  return {x, y};
}

}  // namespace

// Every bundled sample renders, as the kind of program it is.
TEST_F(ThumbnailerCli, RendersEverySample) {
  struct Expected {
    const char* file;
    int plane, isTnc;
    bool markers;
  } samples[] = {{"iso-milling.nc", 1, 0, false}, {"iso-drilling.nc", 1, 0, true},
                 {"tnc-contour.h", 1, 1, false},  {"turning.nc", 2, 0, false},
                 {"crlf-tnc.h", 1, 1, false},     {"tnc-holes.h", 1, 1, true},
                 {"sinumerik-plate.mpf", 1, 0, true}};
  for (const Expected& sample : samples) {
    SCOPED_TRACE(sample.file);
    const Json trace = Trace(SamplePath(sample.file));
    EXPECT_EQ(trace["plane"].number, sample.plane);
    EXPECT_EQ(trace["isTnc"].number, sample.isTnc);
    EXPECT_EQ(trace["commentCount"].number, 3);
    EXPECT_GT(trace["lines"].number, 0);
    EXPECT_EQ(trace["markers"].number > 0, sample.markers);
    for (const Json& comment : trace["comments"].array) {
      EXPECT_EQ(comment.string.find('\r'), std::string::npos);
    }

    const Picture picture = ReadPng(work_ / "trace.png");
    ASSERT_EQ(picture.width, 255);
    ASSERT_EQ(picture.height, 255);
    EXPECT_EQ(picture.At(254, 254), kWhite);
    EXPECT_GT(picture.Count(0, 0, 254, 254, kBlue), 200);
  }
}

// A TNC program saved with CR-LF line ends is the same picture as with LF.
TEST_F(ThumbnailerCli, CarriageReturnLineEndsDrawTheSamePicture) {
  std::string lf = ReadFile(SamplePath("crlf-tnc.h"));
  ASSERT_NE(lf.find("FMAX\r\n"), std::string::npos);
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  const std::string lfPath = work_.Write("lf.h", lf);

  ASSERT_EQ(Run({SamplePath("crlf-tnc.h"), work_ / "crlf.png"}).status, 0);
  ASSERT_EQ(Run({lfPath, work_ / "lf.png"}).status, 0);
  const Picture crlf = ReadPng(work_ / "crlf.png");
  EXPECT_EQ(crlf.pixels, ReadPng(work_ / "lf.png").pixels);
}

TEST_F(ThumbnailerCli, PathLiesWhereTheFitPutsIt) {
  const std::string input = work_.Write("in.nc", kRectangle);
  const Json trace = Trace(input);
  const Picture picture = ReadPng(work_ / "trace.png");
  ASSERT_EQ(picture.width, 255);
  EXPECT_NEAR(trace["scale"].number, 2.51, 1e-9);
  for (const auto& [h, v] : {std::pair{0.0, 0.0}, {100.0, 0.0}, {100.0, 50.0}, {0.0, 50.0},
                            {50.0, 0.0}, {100.0, 25.0}, {50.0, 50.0}, {0.0, 25.0}}) {
    const auto [x, y] = PixelOf(trace, h, v);
    EXPECT_EQ(picture.At(x, y), kBlue) << h << "," << v << " at " << x << "," << y;
  }
  const auto [cx, cy] = PixelOf(trace, 50, 25);
  EXPECT_EQ(picture.At(cx, cy), kWhite);
  // Blue only on the rectangle's four edges: two rows and two columns.
  const auto [left, bottom] = PixelOf(trace, 0, 0);
  const auto [right, top] = PixelOf(trace, 100, 50);
  EXPECT_EQ(picture.Count(0, 0, 254, 254, kBlue), 2 * (right - left + 1) + 2 * (bottom - top - 1));
}

// The fitted path fills rows 2 to 253 as it fills columns 2 to 253, and
// nothing near the top edge folds back down.
TEST_F(ThumbnailerCli, PathReachesTheTopEdgeWithoutADent) {
  const Picture square = Render("G1 X0 Y0\nG1 X100\nG1 Y100\nG1 X0\nG1 Y0\n");
  ASSERT_EQ(square.width, 255);
  // (The version text covers the top left corner.)
  EXPECT_EQ(square.Count(40, 2, 253, 2, kBlue), 214);
  EXPECT_EQ(square.Count(2, 253, 253, 253, kBlue), 252);
  EXPECT_EQ(square.Count(2, 16, 2, 253, kBlue), 238);
  EXPECT_EQ(square.Count(253, 2, 253, 253, kBlue), 252);
  EXPECT_EQ(square.Count(0, 0, 254, 1, kBlue) + square.Count(0, 254, 254, 254, kBlue), 0);

  // A semicircle on a rectangle: the topmost blue pixel of each column
  // rises to the arc's middle and falls after it.
  const Picture arch = Render("G1 X0 Y0\nG1 X100\nG1 Y60\nG3 X0 Y60 I-50 J0\nG1 Y0\n");
  ASSERT_EQ(arch.width, 255);
  std::vector<int> top;
  for (int x = 0; x < 255; ++x) {
    int y = 0;
    while (y < 255 && arch.At(x, y) != kBlue) ++y;
    if (y < 255) top.push_back(y);
  }
  ASSERT_GT(top.size(), 200u);
  const auto peak = std::min_element(top.begin(), top.end());
  EXPECT_EQ(*peak, 2);
  EXPECT_TRUE(std::is_sorted(top.begin(), peak + 1, std::greater<int>()));
  EXPECT_TRUE(std::is_sorted(peak, top.end()));
  // The flat top of the arc spans the middle column.
  const size_t middle = top.size() / 2;
  EXPECT_EQ(top[middle], 2);
}

// Calls counted in the trace are the calls the composition makes.
TEST_F(ThumbnailerCli, TraceCountsTheCanvasCalls) {
  for (const char* sample : {"iso-drilling.nc", "tnc-contour.h"}) {
    const std::string bytes = ReadFile(SamplePath(sample));
    MemorySource source(bytes.data(), bytes.size());
    RecordingThumbnailCanvas recording;
    NcPathContext ctx{};
    ComposeThumbnail(source, recording, ThumbnailOptions{}, ctx);

    const Json trace = Trace(SamplePath(sample));
    EXPECT_EQ(trace["lines"].number, recording.path.Count(CanvasCall::Line)) << sample;
    EXPECT_EQ(trace["markers"].number, recording.path.Count(CanvasCall::Circle)) << sample;
    EXPECT_EQ(trace["scale"].number, ctx.scale) << sample;
    EXPECT_EQ(trace["offsetY"].number, ctx.offsetY) << sample;
    EXPECT_EQ(trace["minX"].number, ctx.minX) << sample;
  }
}

TEST_F(ThumbnailerCli, TraceHasExactlyItsNamedFields) {
  const Json trace = Trace(SamplePath("iso-milling.nc"));
  std::set<std::string> names;
  for (const auto& field : trace.object) names.insert(field.first);
  EXPECT_EQ(names, (std::set<std::string>{"plane", "isTnc", "commentCount", "comments", "minX",
                                          "maxX", "minY", "maxY", "scale", "offsetX", "offsetY",
                                          "lines", "markers"}));
  ASSERT_EQ(trace["comments"].array.size(), 3u);
  EXPECT_EQ(trace["comments"].array[0].string, "(BRACKET PLATE - OP 10)");
  EXPECT_EQ(trace["minX"].number, 0);
  EXPECT_EQ(trace["maxX"].number, 100);
  EXPECT_EQ(trace["minY"].number, -10);
  EXPECT_EQ(trace["maxY"].number, 60);
}

TEST_F(ThumbnailerCli, TraceEscapesCommentsAndWritesNonFiniteAsNull) {
  // A quote, a backslash, a tab and a Latin-1 u-umlaut; then a path whose
  // framed points all coincide, so the fit has no finite scale. Nothing is
  // drawn, so no picture either, but the trace comes first.
  const std::string input =
      work_.Write("in.nc", "(SAY \"HI\" \\ \t \xFC)\nG1 X5 Y5\nG1 X5 Y5\n");
  const RunResult result = Run({"--trace", input, work_ / "out.png"});
  ASSERT_EQ(result.status, 3) << result.err;
  Json trace;
  ASSERT_TRUE(ParseJson(result.out, trace)) << result.out;
  EXPECT_EQ(trace["comments"].array.at(0).string, "(SAY \"HI\" \\ \t \xC3\xBC)");
  EXPECT_EQ(trace["scale"].kind, Json::Null) << result.out;
  EXPECT_EQ(trace["lines"].number, 0);
  EXPECT_FALSE(FileExists(work_ / "out.png"));

  // An empty program: nothing framed, still a valid object.
  const Json empty = Trace(work_.Write("empty.nc", ""), {}, 3);
  EXPECT_EQ(empty["plane"].number, -1);
  EXPECT_EQ(empty["commentCount"].number, 0);
  EXPECT_TRUE(empty["comments"].array.empty());
  EXPECT_EQ(empty["minX"].number, 999999);
}

TEST_F(ThumbnailerCli, WithoutOverlaysOnlyTheVersionTextIsWritten) {
  const Picture picture = Render(kCommentAndLine);
  ASSERT_EQ(picture.width, 255);
  const int version = NonWhite(picture, kVersionBox);
  EXPECT_GT(version, 10);
  EXPECT_EQ(NonWhite(picture, {0, 0, 254, 100}), version);  // above the path
  EXPECT_EQ(NonWhite(picture, {0, 150, 254, 254}), 0);      // below it
  EXPECT_GT(picture.CountInk(0, 0, 36, 13, COLOUR_TEXT), 10);
}

TEST_F(ThumbnailerCli, EachFlagWritesItsOverlayAndNoOther) {
  const Picture type = Render(kCommentAndLine, {"--type"});
  EXPECT_GT(NonWhite(type, kTypeBox), 10);
  EXPECT_GT(type.CountInk(50, 0, 90, 13, COLOUR_DARK_RED), 10);  // "I S O"
  EXPECT_EQ(NonWhite(type, kAxisBox), 0);
  EXPECT_EQ(NonWhite(type, kCommentBox), 0);

  const Picture axis = Render(kCommentAndLine, {"--axis"});
  EXPECT_EQ(axis.Count(4, 251, 85, 251, COLOUR_GREEN), 81);  // its corner pixel is red
  EXPECT_EQ(axis.Count(4, 170, 4, 251, COLOUR_DARK_RED), 82);
  EXPECT_GT(axis.CountInk(5, 213, 20, 228, COLOUR_DARK_RED), 5);  // "Y"
  EXPECT_GT(axis.CountInk(42, 237, 58, 250, COLOUR_GREEN), 5);   // "X"
  EXPECT_EQ(NonWhite(axis, kTypeBox), 0);
  EXPECT_EQ(NonWhite(axis, kCommentBox), 0);

  const Picture comments = Render(kCommentAndLine, {"--comments"});
  EXPECT_EQ(comments.Count(0, 15, 254, 27, COLOUR_COMMENT_BAND) > 1000, true);
  EXPECT_GT(comments.CountInk(5, 15, 120, 27, COLOUR_TEXT, COLOUR_COMMENT_BAND), 10);  // the comment's letters
  EXPECT_EQ(comments.Count(0, 28, 254, 40, COLOUR_COMMENT_BAND), 0);  // one comment, one band
  EXPECT_EQ(NonWhite(comments, kTypeBox), 0);
  EXPECT_EQ(NonWhite(comments, kAxisBox), 0);
}

TEST_F(ThumbnailerCli, TncProgramsAreNamedInGreen) {
  const Picture picture = Render("; only a comment\nL X+0 Y+0 F500\nL X+100 F500\n", {"--type"});
  EXPECT_GT(picture.CountInk(50, 0, 90, 13, COLOUR_GREEN), 10);
  EXPECT_EQ(picture.CountInk(50, 0, 90, 13, COLOUR_DARK_RED), 0);
}

TEST_F(ThumbnailerCli, OptionFilesSetTheDefaults) {
  WriteOption("Vantrel_ShowType.txt", "1");
  EXPECT_GT(NonWhite(Render(kCommentAndLine), kTypeBox), 10);

  WriteOption("Vantrel_ShowType.txt", "1 and anything after");
  EXPECT_GT(NonWhite(Render(kCommentAndLine), kTypeBox), 10);

  for (const char* off : {"0", " 1", "", "yes"}) {
    WriteOption("Vantrel_ShowType.txt", off);
    EXPECT_EQ(NonWhite(Render(kCommentAndLine), kTypeBox), 0) << "'" << off << "'";
  }
  // A flag switches its overlay on whatever the file says.
  EXPECT_GT(NonWhite(Render(kCommentAndLine, {"--type"}), kTypeBox), 10);

  WriteOption("Vantrel_ShowAxis.txt", "1");
  WriteOption("Vantrel_ShowComment.txt", "1");
  const Picture both = Render(kCommentAndLine);
  EXPECT_GT(NonWhite(both, kAxisBox), 100);
  EXPECT_GT(NonWhite(both, kCommentBox), 1000);
  EXPECT_EQ(NonWhite(both, kTypeBox), 0);
}

TEST_F(ThumbnailerCli, OptionFilesFallBackToTheHomeConfigFolder) {
  ScratchFolder home;
  mkdir((home / ".config").c_str(), 0755);
  mkdir((home / ".config/Kestrova").c_str(), 0755);
  home.Write(".config/Kestrova/Vantrel_ShowType.txt", "1");
  const std::string input = work_.Write("in.nc", kCommentAndLine);

  // No XDG_CONFIG_HOME, and a relative one (which does not count): ~/.config.
  for (const char* xdg : {"", "relative/config"}) {
    const RunResult result =
        RunThumbnailer(work_, {input, "out.png"}, {{"XDG_CONFIG_HOME", xdg}, {"HOME", home.Path()}});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_GT(NonWhite(ReadPng(work_ / "out.png"), kTypeBox), 10) << "'" << xdg << "'";
  }
  // An absolute XDG_CONFIG_HOME wins over the home folder.
  const RunResult result = RunThumbnailer(
      work_, {input, "out.png"}, {{"XDG_CONFIG_HOME", config_.Path()}, {"HOME", home.Path()}});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(NonWhite(ReadPng(work_ / "out.png"), kTypeBox), 0);
}

TEST_F(ThumbnailerCli, SizeScalesTheWholePicture) {
  const std::string input = work_.Write("in.nc", kRectangle);
  for (const char* size : {"128", "512", "1024"}) {
    ASSERT_EQ(Run({"-s", size, "--axis", input, "big.png"}).status, 0) << size;
    const Picture picture = ReadPng(work_ / "big.png");
    const int n = std::atoi(size);
    EXPECT_EQ(picture.width, n);
    EXPECT_EQ(picture.height, n);
    EXPECT_EQ(picture.At(n - 1, 0), kWhite);
    EXPECT_GT(picture.Count(0, 0, n - 1, n - 1, kBlue), n);
    // The axis line stands at 251/255 of the height, scaled.
    const int row = static_cast<int>(std::lround(251.0 * n / 255));
    EXPECT_EQ(picture.At(static_cast<int>(40.0 * n / 255), row), COLOUR_GREEN) << size;
  }
  // The version text grows with the picture.
  ASSERT_EQ(Run({"-s512", input, "big.png"}).status, 0);
  const Picture big = ReadPng(work_ / "big.png");
  EXPECT_EQ(big.width, 512);
  EXPECT_GT(big.CountNonWhite(0, 14, 80, 26), 10);
}

TEST_F(ThumbnailerCli, NonsenseSizesAreUsageErrors) {
  const std::string input = work_.Write("in.nc", kRectangle);
  for (const char* size : {"0", "abc", "-5", "99999", "12x", "", "+255", "0x100", "15", "2049"}) {
    SCOPED_TRACE(size);
    ExpectFailure(Run({"-s", size, input, "out.png"}), 2, "size");
  }
  ExpectFailure(Run({input, "out.png", "-s"}), 2, "-s");
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ThumbnailerCli, BadCommandLinesAreUsageErrors) {
  const std::string input = work_.Write("in.nc", kRectangle);
  ExpectFailure(Run({"--colour", input, "out.png"}), 2, "'--colour'");
  ExpectFailure(Run({input}), 2, "usage:");
  ExpectFailure(Run({}), 2, "usage:");
  ExpectFailure(Run({input, "out.png", "third.png"}), 2, "too many");
  EXPECT_TRUE(OutputFiles().empty());

  const RunResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: vantrel-thumbnailer", 0), 0u);
}

TEST_F(ThumbnailerCli, UnreadableInputsFailWithoutOutput) {
  ExpectFailure(Run({"missing.nc", "out.png"}), 1, "cannot read missing.nc: No such file");
  ExpectFailure(Run({work_.Path(), "out.png"}), 1, "Is a directory");
  ExpectFailure(Run({"/dev/null", "out.png"}), 1, "not a regular file");
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ThumbnailerCli, UnwritableOutputsFailWithoutLeftovers) {
  const std::string input = work_.Write("in.nc", kRectangle);
  ExpectFailure(Run({input, "no/such/folder/out.png"}), 1,
                "cannot write no/such/folder/out.png: No such file");

  // A folder where the picture should go is not replaced, and nothing is
  // left beside it.
  mkdir((work_ / "taken.png").c_str(), 0755);
  ExpectFailure(Run({input, "taken.png"}), 1, "cannot write taken.png");
  EXPECT_EQ(OutputFiles(), std::vector<std::string>{"taken.png"});
}

TEST_F(ThumbnailerCli, AFailedRunLeavesAnEarlierPictureAlone) {
  work_.Write("out.png", "earlier");
  ExpectFailure(Run({"missing.nc", "out.png"}), 1, "missing.nc");
  EXPECT_EQ(ReadFile(work_ / "out.png"), "earlier");

  // A run that succeeds fills that file with the picture, and leaves
  // nothing else.
  const std::string input = work_.Write("in.nc", kRectangle);
  ASSERT_EQ(Run({input, "out.png"}).status, 0);
  EXPECT_EQ(ReadPng(work_ / "out.png").width, 255);
  EXPECT_EQ(OutputFiles(), std::vector<std::string>{"out.png"});
}

// Binary data and programs with nothing to draw get no picture at all (a
// file manager would cache a blank one), and say why in one line.
TEST_F(ThumbnailerCli, WhatIsNoProgramGetsNoPicture) {
  std::string nulLate(60000, '\n');
  nulLate.replace(0, 20, "G1 X0 Y0\nG1 X10 Y10\n");
  nulLate += '\0';
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } refused[] = {
      {"empty.nc", "", "no path to draw"},
      {"comment.nc", "(ONLY A COMMENT)\nM30\n", "no path to draw"},
      {"photo.nc", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 12) + "G1 X5\n", "binary data"},
      {"nul-late.nc", nulLate, "binary data"},
  };
  for (const auto& input : refused) {
    SCOPED_TRACE(input.name);
    const std::string path = work_.Write(input.name, input.bytes);
    ExpectFailure(Run({path, "new.png"}), 3, input.reason);
    EXPECT_FALSE(FileExists(work_ / "new.png"));

    // An output the caller made already stays as it was.
    work_.Write("given.png", "");
    const RunResult traced = Run({"--trace", "--type", path, "given.png"});
    EXPECT_EQ(traced.status, 3);
    Json trace;
    EXPECT_TRUE(ParseJson(traced.out, trace)) << traced.out;
    EXPECT_NE(traced.err.find(input.name + std::string(" is not an NC program")),
              std::string::npos) << traced.err;
    EXPECT_EQ(ReadFile(work_ / "given.png"), "");
    unlink((work_ / "given.png").c_str());
  }

  // A NUL past the first 64 KiB is the program's own business.
  std::string nulBeyond(70000, '\n');
  nulBeyond.replace(0, 20, "G1 X0 Y0\nG1 X10 Y10\n");
  nulBeyond[68000] = '\0';
  EXPECT_EQ(Run({work_.Write("long.nc", nulBeyond), "long.png"}).status, 0);
}

// A consumer that made the output file reads the picture back through its
// own descriptor: the PNG goes into that very file.
TEST_F(ThumbnailerCli, AnExistingOutputIsWrittenInPlace) {
  const std::string input = work_.Write("in.nc", kRectangle);
  work_.Write("given.png", "");
  ASSERT_EQ(link((work_ / "given.png").c_str(), (work_ / "held.png").c_str()), 0);
  struct stat before {};
  ASSERT_EQ(stat((work_ / "given.png").c_str(), &before), 0);

  ASSERT_EQ(Run({input, "given.png"}).status, 0);
  struct stat after {};
  ASSERT_EQ(stat((work_ / "given.png").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadPng(work_ / "held.png").width, 255);  // the same file under its other name
  std::vector<std::string> files = OutputFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"given.png", "held.png"}));
}

// A write cut short (here by a file size limit, as by a full disk) leaves
// no half picture: an existing output is emptied, a new one never appears.
TEST_F(ThumbnailerCli, AWriteCutShortLeavesNoHalfPicture) {
  const std::string input = work_.Write("in.nc", kRectangle);
  ASSERT_EQ(Run({"-s", "1024", "--comments", "--axis", input, "full.png"}).status, 0);
  ASSERT_GT(ReadFile(work_ / "full.png").size(), 8192u);
  unlink((work_ / "full.png").c_str());

  work_.Write("given.png", "an earlier picture");
  const RunResult inPlace = RunThumbnailer(
      work_, {"-s", "1024", "--comments", "--axis", input, "given.png"},
      ConfigEnvironment(config_.Path()), 4096);
  ExpectFailure(inPlace, 1, "cannot write given.png");
  EXPECT_EQ(ReadFile(work_ / "given.png"), "");

  const RunResult fresh = RunThumbnailer(
      work_, {"-s", "1024", "--comments", "--axis", input, "new.png"},
      ConfigEnvironment(config_.Path()), 4096);
  ExpectFailure(fresh, 1, "cannot write new.png");
  EXPECT_EQ(OutputFiles(), std::vector<std::string>{"given.png"});
}

// --calls lists the path's canvas calls in order, as the interpreter makes
// them on the thumbnail's canvas, and --trace counts the same calls.
TEST_F(ThumbnailerCli, CallsListsEveryPathCallInOrder) {
  const std::string program = ReadFile(SamplePath("iso-drilling.nc"));
  const Json trace = Trace(SamplePath("iso-drilling.nc"), {"--calls", work_ / "calls.txt"});

  RecordingThumbnailCanvas expected;
  NcPathContext ctx{};
  MemorySource source(program.data(), program.size());
  ComposeThumbnail(source, expected, ThumbnailOptions{}, ctx);
  std::string listed;
  size_t lines = 0, circles = 0;
  for (const CanvasCall& call : expected.path.calls) {
    if (call.kind == CanvasCall::Line) {
      listed += "L " + std::to_string(call.a) + ' ' + std::to_string(call.b) + ' ' +
                std::to_string(call.c) + ' ' + std::to_string(call.d) + '\n';
      ++lines;
    } else if (call.kind == CanvasCall::Circle) {
      listed += "C " + std::to_string(call.a) + ' ' + std::to_string(call.b) + ' ' +
                std::to_string(call.c) + '\n';
      ++circles;
    }
  }
  EXPECT_GT(lines, 3u);
  EXPECT_GT(circles, 3u);
  EXPECT_EQ(ReadFile(work_ / "calls.txt"), listed);
  EXPECT_EQ(trace["lines"].number, lines);
  EXPECT_EQ(trace["markers"].number, circles);

  // A list that cannot be written fails the run and leaves no picture.
  const RunResult result =
      Run({"--calls", work_ / "no-such-folder/calls.txt", SamplePath("iso-drilling.nc"),
           work_ / "part.png"});
  ExpectFailure(result, 1, "cannot write");
  EXPECT_FALSE(ReadPng(work_ / "part.png").width > 0);
}
