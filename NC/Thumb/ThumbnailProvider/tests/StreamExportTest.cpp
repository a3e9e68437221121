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

// A stream that notes which pen the device context holds while the program
// is being read, so the test learns the handle of the pen the export made.
class PenWatchingStream final : public IStream {
 public:
  PenWatchingStream(IStream* inner, HDC dc) : inner_(inner), dc_(dc) {}

  IFACEMETHODIMP QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IStream) ||
        IsEqualIID(id, IID_ISequentialStream)) {
      *object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return ++references; }
  IFACEMETHODIMP_(ULONG) Release() override { return --references; }

  IFACEMETHODIMP Read(void* buffer, ULONG size, ULONG* read) override {
    penDuringRun = static_cast<HPEN>(GetCurrentObject(dc_, OBJ_PEN));
    GetObjectW(penDuringRun, sizeof penStyle, &penStyle);
    return inner_->Read(buffer, size, read);
  }
  IFACEMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    return inner_->Seek(move, origin, position);
  }
  IFACEMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  IFACEMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  IFACEMETHODIMP Revert() override { return E_NOTIMPL; }
  IFACEMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  IFACEMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  IFACEMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

  ULONG references = 1;
  HPEN penDuringRun = nullptr;
  LOGPEN penStyle = {};

 private:
  IStream* inner_;
  HDC dc_;
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
  IStream* memory = MemoryStream(kSquareProgram);
  PenWatchingStream stream(memory, dc_);
  int32_t out = 0;
  EXPECT_EQ(export_(dc_, &stream, &out), 0);
  EXPECT_EQ(out, 1);

  const Picture picture = Drawn();
  ExpectPathOnWhite(picture, ExportSegments(kSquareProgram), {});

  // During the run a blue pen of width 1 of its own was selected; afterwards
  // the caller's pen is back and that pen is gone.
  ASSERT_NE(stream.penDuringRun, nullptr);
  EXPECT_NE(stream.penDuringRun, callersPen_);
  EXPECT_EQ(stream.penStyle.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(stream.penStyle.lopnWidth.x, 1);
  EXPECT_EQ(stream.penStyle.lopnColor, RGB(0, 0, 255));
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), callersPen_);
  EXPECT_EQ(GetObjectType(stream.penDuringRun), 0u) << "the created pen was not deleted";
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
