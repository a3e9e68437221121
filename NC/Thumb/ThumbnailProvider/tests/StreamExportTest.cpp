// GetThumbNailFromStream onto a memory device context with a bitmap selected.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <utility>

#include "VantrelTestSupport.h"

namespace {

const std::string kSquareProgram =
    "%\n"
    "G90 G17\n"
    "G0 X0 Y0\n"
    "G1 X100 Y0 F500\n"
    "G1 X100 Y50\n"
    "G2 X50 Y100 I-50 J0\n"
    "G1 X0 Y100\n"
    "G1 X0 Y0\n"
    "M30\n";

// A connected path of `moves` short moves and arcs: a spiral whose runs are
// far longer than the export holds before it draws.
std::string SpiralProgram(int moves) {
  std::string program = "(SPIRAL)\nG90 G17\nG0 X0 Y0\n";
  char line[96];
  for (int i = 0; i < moves; ++i) {
    const double angle = i * 0.05, r = 1.0 + i * 0.03;
    const double x = r * std::cos(angle), y = r * std::sin(angle);
    if (i % 9 == 8) {
      std::snprintf(line, sizeof line, "G3 X%.4f Y%.4f R%.4f\n", x, y, r);
    } else {
      std::snprintf(line, sizeof line, "G1 X%.4f Y%.4f\n", x, y);
    }
    program += line;
  }
  // A rapid far away and back: a run that leaves the picture.
  return program + "G0 X5000 Y-2\nG0 X0 Y0\nG1 X10 Y10\nM30\n";
}

// A white 255 x 255 32-bit DIB section selected into a memory device context.
struct MemoryPicture {
  MemoryPicture() {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = 255;
    format.bmiHeader.biHeight = -255;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    oldBitmap = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, 255, 255, WHITENESS);
  }
  ~MemoryPicture() {
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  MemoryPicture(const MemoryPicture&) = delete;
  MemoryPicture& operator=(const MemoryPicture&) = delete;

  Picture Drawn() const {
    GdiFlush();
    return ReadPicture(bitmap);
  }

  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
};

// A memory device context with a white 255 x 255 DIB section selected and
// a pen of the test's own.
class StreamExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    export_ = VantrelFunction<GetThumbNailFromStreamFn>("GetThumbNailFromStream");
    ASSERT_NE(export_, nullptr);
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = 255;
    format.bmiHeader.biHeight = -255;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    PatBlt(dc_, 0, 0, 255, 255, WHITENESS);
    callersPen_ = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    originalPen_ = SelectObject(dc_, callersPen_);
  }
  void TearDown() override {
    SelectObject(dc_, originalPen_);
    DeleteObject(callersPen_);
    SelectObject(dc_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  Picture Drawn() {
    GdiFlush();
    return ReadPicture(bitmap_);
  }

  GetThumbNailFromStreamFn export_ = nullptr;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HPEN callersPen_ = nullptr;
  HGDIOBJ originalPen_ = nullptr;
};

TEST_F(StreamExportTest, DrawsThePathInBlueAndRestoresThePen) {
  // The pen the device context holds while the program is read is the one
  // the export made.
  IStream* memory = MemoryStream(kSquareProgram);
  ObservedStream stream(memory);
  HPEN penDuringRun = nullptr;
  LOGPEN penStyle = {};
  stream.onRead = [&] {
    penDuringRun = static_cast<HPEN>(GetCurrentObject(dc_, OBJ_PEN));
    GetObjectW(penDuringRun, sizeof penStyle, &penStyle);
  };
  int32_t out = 0;
  EXPECT_EQ(export_(dc_, &stream, &out), 0);
  EXPECT_EQ(out, 1);

  const Picture picture = Drawn();
  ExpectPathOnWhite(picture, ExportSegments(kSquareProgram), {});

  // During the run a blue pen of width 1 of its own was selected; afterwards
  // the caller's pen is back and that pen is gone.
  ASSERT_NE(penDuringRun, nullptr);
  EXPECT_NE(penDuringRun, callersPen_);
  EXPECT_EQ(penStyle.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(penStyle.lopnWidth.x, 1);
  EXPECT_EQ(penStyle.lopnColor, RGB(0, 0, 255));
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  EXPECT_EQ(GetObjectType(penDuringRun), 0u) << "the created pen was not deleted";
  EXPECT_EQ(stream.references, 1u) << "the stream's references are the caller's alone";
  memory->Release();
}

TEST_F(StreamExportTest, DrillingPointsDrawNothing) {
  IStream* stream = MemoryStream(
      "G90 G17\nG0 X0 Y0\nG81 X10 Y10 Z-5 R2 F100\nX20 Y10\nX20 Y20\nX10 Y20\nG80\nM30\n");
  int32_t out = 0;
  EXPECT_EQ(export_(dc_, stream, &out), 0);
  const Picture picture = Drawn();
  EXPECT_EQ(CountPixels(picture, Zone{0, 0, 255, 255}, [](uint32_t c) { return c != kWhite; }), 0);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  stream->Release();
}

TEST_F(StreamExportTest, EmptyStreamDrawsNothingAndRestoresThePen) {
  IStream* stream = MemoryStream("");
  int32_t out = 0;
  EXPECT_EQ(export_(dc_, stream, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  const Picture picture = Drawn();
  EXPECT_EQ(CountPixels(picture, Zone{0, 0, 255, 255}, [](uint32_t c) { return c != kWhite; }), 0);
  stream->Release();
}

TEST_F(StreamExportTest, NullArgumentsDrawNothing) {
  IStream* stream = MemoryStream(kSquareProgram);
  int32_t out = 0;
  EXPECT_EQ(export_(nullptr, stream, &out), 0);
  EXPECT_EQ(out, 1);
  out = 0;
  EXPECT_EQ(export_(dc_, nullptr, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  EXPECT_EQ(CountPixels(Drawn(), Zone{0, 0, 255, 255}, [](uint32_t c) { return c != kWhite; }), 0);

  // Without an out pointer the drawing still happens.
  EXPECT_EQ(export_(dc_, stream, nullptr), 0);
  EXPECT_GT(CountPixels(Drawn(), Zone{0, 0, 255, 255}, [](uint32_t c) { return c == kBlue; }), 200);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  stream->Release();
}

// The export draws each run of joined lines with one PolylineTo. GDI defines
// it as LineTo to each point in turn, so the picture must be the one drawn
// with a MoveToEx and LineTo pair per line.
TEST_F(StreamExportTest, RunsDrawWhatOneCallPerLineDraws) {
  const std::pair<const char*, std::string> programs[] = {
      {"square", kSquareProgram},
      {"spiral", SpiralProgram(3000)},
      {"iso-milling.nc", ReadSample("iso-milling.nc")},
      {"iso-drilling.nc", ReadSample("iso-drilling.nc")},
      {"turning.nc", ReadSample("turning.nc")},
      {"tnc-contour.h", ReadSample("tnc-contour.h")},
  };
  for (const auto& [name, program] : programs) {
    ASSERT_GT(program.size(), 50u) << name;
    MemoryPicture inRuns;
    IStream* stream = MemoryStream(program);
    export_(inRuns.dc, stream, nullptr);
    stream->Release();

    MemoryPicture lineByLine;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(lineByLine.dc, pen);
    const std::vector<Segment> segments = ExportSegments(program);
    for (const Segment& s : segments) {
      MoveToEx(lineByLine.dc, s.x1, s.y1, nullptr);
      LineTo(lineByLine.dc, s.x2, s.y2);
    }
    SelectObject(lineByLine.dc, oldPen);
    DeleteObject(pen);

    const Picture expected = lineByLine.Drawn();
    const Picture drawn = inRuns.Drawn();
    int differing = 0;
    for (size_t i = 0; i < drawn.pixels.size(); ++i) {
      differing += drawn.pixels[i] != expected.pixels[i];
    }
    EXPECT_EQ(differing, 0) << name;
    EXPECT_GT(CountPixels(drawn, Zone{0, 0, 255, 255}, [](uint32_t c) { return c == kBlue; }),
              100)
        << name << " (" << segments.size() << " lines)";
  }
}

TEST_F(StreamExportTest, ExportedByNameAndAtOrdinalFive) {
  EXPECT_EQ(GetProcAddress(VantrelModule(), MAKEINTRESOURCEA(5)),
            GetProcAddress(VantrelModule(), "GetThumbNailFromStream"));
}

}  // namespace
