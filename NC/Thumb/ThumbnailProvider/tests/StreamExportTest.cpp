// GetThumbNailFromStream onto a memory device context with a bitmap selected.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

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

TEST_F(StreamExportTest, ExportedByNameAndAtOrdinalFive) {
  EXPECT_EQ(GetProcAddress(VantrelModule(), MAKEINTRESOURCEA(5)),
            GetProcAddress(VantrelModule(), "GetThumbNailFromStream"));
}

}  // namespace
