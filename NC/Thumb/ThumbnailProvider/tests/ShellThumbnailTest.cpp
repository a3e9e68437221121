// What the Shell does with Vantrel.dll: registration by regsvr32, the ".nc"
// thumbnail-handler key, real activation through InprocServer32, a stream
// over the file, GetThumbnail at the sizes the Shell asks for, and the
// bitmap's pixels read back.
#include <windows.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "VantrelTestSupport.h"

namespace {

// A square plate with a round pocket, and two comments.
const std::string kMillingProgram =
    "%\n"
    "(PLATE 100 X 100)\n"
    "(POCKET D60)\n"
    "G90 G17\n"
    "G0 X0 Y0\n"
    "G1 X100 Y0 F500\n"
    "G1 X100 Y100\n"
    "G1 X0 Y100\n"
    "G1 X0 Y0\n"
    "G0 X50 Y20\n"
    "G3 X50 Y20 I0 J30\n"
    "M30\n";

// The same shape in the TNC dialect.
const std::string kTncProgram =
    "0 BEGIN PGM PLATE MM\n"
    "1 L X+0 Y+0 R0 FMAX\n"
    "2 L X+100 Y+0 R0 F500\n"
    "3 L X+100 Y+50\n"
    "4 CC X+50 Y+50\n"
    "5 C X+0 Y+50 DR+\n"
    "6 L X+0 Y+0\n"
    "7 END PGM PLATE MM\n";

// Where the overlays may draw at 255 pixels.
constexpr Zone kVersionZone{0, 0, 40, 16};
constexpr Zone kTypeZone{46, 0, 100, 16};
constexpr Zone kAxisZone{0, 165, 95, 255};
Zone CommentZone(int lines) { return {0, 10, 255, 15 + 12 * lines + 2}; }

bool IsDark(uint32_t rgb) { return Red(rgb) < 128 && Green(rgb) < 128 && Blue(rgb) < 128; }
bool IsReddish(uint32_t rgb) { return Red(rgb) > 110 && Green(rgb) < 90 && Blue(rgb) < 90; }
bool IsGreenish(uint32_t rgb) { return Green(rgb) > 70 && Red(rgb) < 90 && Blue(rgb) < 90; }

class ShellThumbnailTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RunRegsvr32(false), 0u); }
  static void TearDownTestSuite() { RemoveDisplayOptionFiles(); }

  void TearDown() override {
    for (HBITMAP bitmap : bitmaps_) DeleteObject(bitmap);
  }

  // The class the ".nc" thumbnail-handler key names, created as the Shell does.
  IThumbnailProvider* CreateProviderForNc() {
    wchar_t classText[64] = {};
    DWORD size = sizeof classText;
    EXPECT_EQ(SHGetValueW(HKEY_CLASSES_ROOT, kNcThumbnailKey, nullptr, nullptr, classText, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(classText, kProviderClsidText);
    CLSID classId = {};
    EXPECT_EQ(CLSIDFromString(classText, &classId), S_OK);

    IInitializeWithStream* initialize = nullptr;
    EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&initialize)),
              S_OK);
    if (initialize == nullptr) return nullptr;
    IThumbnailProvider* provider = nullptr;
    EXPECT_EQ(initialize->QueryInterface(IID_PPV_ARGS(&provider)), S_OK);
    initialize->Release();
    return provider;
  }

  // A provider initialised with a stream over `program`, read from a file.
  IThumbnailProvider* ProviderForProgram(const std::string& program) {
    const std::wstring path = WriteTempFile(L"vantrel-shell-test.nc", program);
    IStream* stream = nullptr;
    EXPECT_EQ(SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                     FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream),
              S_OK);
    IThumbnailProvider* provider = CreateProviderForNc();
    if (provider == nullptr || stream == nullptr) return provider;
    IInitializeWithStream* initialize = nullptr;
    provider->QueryInterface(IID_PPV_ARGS(&initialize));
    EXPECT_EQ(initialize->Initialize(stream, STGM_READ), S_OK);
    initialize->Release();
    stream->Release();  // the provider keeps its own reference
    return provider;
  }

  Picture Thumbnail(IThumbnailProvider* provider, UINT size = 96) {
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    WTS_ALPHATYPE alpha = WTSAT_ARGB;
    EXPECT_EQ(provider->GetThumbnail(size, &bitmap, &alpha), S_OK);
    EXPECT_EQ(alpha, WTSAT_UNKNOWN);
    EXPECT_NE(bitmap, nullptr);
    if (bitmap == nullptr) return {};
    bitmaps_.push_back(bitmap);
    return ReadPicture(bitmap);
  }

  Picture ThumbnailOf(const std::string& program) {
    IThumbnailProvider* provider = ProviderForProgram(program);
    if (provider == nullptr) return {};
    Picture picture = Thumbnail(provider);
    provider->Release();
    return picture;
  }

  std::vector<HBITMAP> bitmaps_;
};

TEST_F(ShellThumbnailTest, ActivationLoadsThisModuleThroughInprocServer32) {
  wchar_t registered[MAX_PATH] = {};
  DWORD size = sizeof registered;
  ASSERT_EQ(SHGetValueW(HKEY_CLASSES_ROOT,
                        (std::wstring(kClassKey) + L"\\InprocServer32").c_str(), nullptr,
                        nullptr, registered, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(lstrcmpiW(registered, VantrelDllPath().c_str()), 0);

  IThumbnailProvider* provider = CreateProviderForNc();
  ASSERT_NE(provider, nullptr);
  EXPECT_NE(GetModuleHandleW(VantrelDllPath().c_str()), nullptr)
      << "CoCreateInstance should have loaded the registered DLL";
  provider->Release();
}

TEST_F(ShellThumbnailTest, LargeRequestsGetSharpPicturesOfTheirOwnSize) {
  SetDisplayOptions(false, false, false);
  IThumbnailProvider* provider = ProviderForProgram(kMillingProgram);
  ASSERT_NE(provider, nullptr);
  // Up to 255 pixels: the classic picture, whatever the request.
  const Picture reference = Thumbnail(provider, 255);
  ASSERT_EQ(reference.width, 255);
  const Picture small = Thumbnail(provider, 96);
  EXPECT_EQ(small.width, 255);
  EXPECT_TRUE(small.pixels == reference.pixels) << "96 drew another picture";

  // Above 255: the whole layout scaled, the path one pixel wide where the
  // fit of that size puts it; above 2560 the largest picture.
  for (UINT size : {256u, 1024u, 2560u, 4000u}) {
    SCOPED_TRACE(size);
    const int expected = size > 2560 ? 2560 : static_cast<int>(size);
    const Picture picture = Thumbnail(provider, size);
    ASSERT_EQ(picture.width, expected);
    ASSERT_EQ(picture.height, expected);
    NcPathContext ctx{};
    const std::vector<Segment> path = ThumbnailSegments(kMillingProgram, ctx, expected);
    const int k = (expected + 254) / 255;
    const Zone version{0, 0, 40 * k, 16 * k};
    ExpectPathOnWhite(picture, path, {version});
    EXPECT_GT(CountPixels(picture, version, IsDark), 10 * k) << "\"v2.01\" is missing";
    // The bottom edge of the plate is one row of blue across the path area.
    const int margin = ctx.marginY;
    const int bottom = ctx.canvasHeight + margin;
    EXPECT_GE(CountPixels(picture, Zone{margin, bottom, bottom, bottom + 1},
                          [](uint32_t c) { return c == kBlue; }),
              ctx.canvasWidth - 1);
    EXPECT_EQ(CountPixels(picture, Zone{margin, bottom + 1, bottom, bottom + 2},
                          [](uint32_t c) { return c == kBlue; }),
              0);
  }
  provider->Release();
}

TEST_F(ShellThumbnailTest, PathReachesTheTopEdgeWithoutADent) {
  SetDisplayOptions(false, false, false);
  auto blue = [](uint32_t c) { return c == kBlue; };
  // A square fills rows 2 to 253 as it fills columns 2 to 253.
  const Picture square = ThumbnailOf("G1 X0 Y0\nG1 X100\nG1 Y100\nG1 X0\nG1 Y0\n");
  ASSERT_EQ(square.width, 255);
  EXPECT_GE(CountPixels(square, Zone{40, 2, 253, 3}, blue), 212);  // beside the version text
  EXPECT_GE(CountPixels(square, Zone{2, 253, 254, 254}, blue), 250);
  EXPECT_GE(CountPixels(square, Zone{253, 2, 254, 254}, blue), 250);
  EXPECT_EQ(CountPixels(square, Zone{0, 0, 255, 2}, blue), 0);
  EXPECT_EQ(CountPixels(square, Zone{0, 254, 255, 255}, blue), 0);

  // A semicircle on a rectangle: the topmost blue pixel of each column
  // rises to the arc's middle and falls after it.
  const Picture arch = ThumbnailOf("G1 X0 Y0\nG1 X100\nG1 Y60\nG3 X0 Y60 I-50 J0\nG1 Y0\n");
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
  EXPECT_EQ(top[top.size() / 2], 2) << "the flat top of the arc spans the middle";
}

// A parametric program that never ends (an endless loop, a recursion, a
// Sinumerik jump back to itself) ends
// at the interpreter's limits with the picture of what it drew so far.
TEST_F(ShellThumbnailTest, EndlessParametricProgramGetsThePictureDrawnSoFar) {
  SetDisplayOptions(false, false, false);
  const std::string square = "G0 X0 Y0\nG1 X100\nG1 Y100\nG1 X0\nG1 Y0\n";
  const Picture expected = ThumbnailOf(square);
  ASSERT_EQ(expected.width, 255);
  for (const char* endless :
       {"WHILE [1 EQ 1] DO1\nEND1\n", "M98 P1\nO1\nM98 P1\n", "R1=1\nMARK: GOTOB MARK\n"}) {
    const Picture picture = ThumbnailOf(square + "#1=100\n" + endless + "G1 X500 Y500\n");
    EXPECT_TRUE(picture.pixels == expected.pixels) << endless;
  }
  // The same in a TNC program: a jump back for ever, a label calling itself.
  const std::string tncSquare =
      "0 BEGIN PGM SQUARE MM\n1 L X+0 Y+0 R0 FMAX\n2 L X+100 F100\n3 L Y+100\n4 L X+0\n5 L Y+0\n";
  const Picture expectedTnc = ThumbnailOf(tncSquare);
  for (const char* endless : {"7 LBL 1\n8 FN 9: IF +0 EQU +0 GOTO LBL 1\n", "7 LBL 2\n8 CALL LBL 2\n9 LBL 0\n"}) {
    const Picture picture = ThumbnailOf(tncSquare + "6 Q1 = 100\n" + endless + "10 L X+500 Y+Q1\n");
    EXPECT_TRUE(picture.pixels == expectedTnc.pixels) << endless;
  }
}

// A stream that fails part way would give a truncated picture, which the
// Shell would keep as the file's thumbnail: GetThumbnail fails instead.
TEST_F(ShellThumbnailTest, FailingStreamGivesAFailureAndNoBitmap) {
  SetDisplayOptions(true, true, true);
  std::string program = kMillingProgram;
  for (int i = 0; i < 8000; ++i) program += "G1 X" + std::to_string(i % 100) + " Y50\n";
  ASSERT_GT(program.size(), 64u * 1024u);  // more than one chunk per pass
  struct Failure {
    long long readsAfter;
    bool seeks;
  } failures[] = {{0, false}, {1000, false}, {static_cast<long long>(program.size()), false},
                  {-1, true}};
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.readsAfter);
    IStream* memory = MemoryStream(program);
    ObservedStream stream(memory);
    stream.failReadsAfter = failure.readsAfter;
    stream.failSeeks = failure.seeks;
    IThumbnailProvider* provider = CreateProviderForNc();
    ASSERT_NE(provider, nullptr);
    IInitializeWithStream* initialize = nullptr;
    provider->QueryInterface(IID_PPV_ARGS(&initialize));
    ASSERT_EQ(initialize->Initialize(&stream, STGM_READ), S_OK);
    initialize->Release();

    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    WTS_ALPHATYPE alpha = WTSAT_ARGB;
    EXPECT_EQ(provider->GetThumbnail(256, &bitmap, &alpha),
              failure.seeks ? STG_E_SEEKERROR : STG_E_READFAULT);
    EXPECT_EQ(bitmap, nullptr);
    provider->Release();
    EXPECT_EQ(stream.references, 1u) << "the provider released the stream";
    memory->Release();
  }
}

TEST_F(ShellThumbnailTest, PathIsBlueOnWhiteWithOnlyTheVersionText) {
  SetDisplayOptions(false, false, false);
  const Picture picture = ThumbnailOf(kMillingProgram);
  ASSERT_EQ(picture.width, 255);

  NcPathContext ctx{};
  const std::vector<Segment> path = ThumbnailSegments(kMillingProgram, ctx);
  EXPECT_GT(path.size(), 300u) << "four sides and a circle of 360 chords";
  // Every overlay but the version text is off, so only its zone is skipped.
  ExpectPathOnWhite(picture, path, {kVersionZone});
  EXPECT_GT(CountPixels(picture, kVersionZone, IsDark), 10) << "\"v2.01\" is missing";
}

TEST_F(ShellThumbnailTest, AxisSymbolWhenItsOptionIsOn) {
  SetDisplayOptions(true, false, false);
  const Picture picture = ThumbnailOf(kMillingProgram);
  ASSERT_EQ(picture.width, 255);

  NcPathContext ctx{};
  ExpectPathOnWhite(picture, ThumbnailSegments(kMillingProgram, ctx), {kVersionZone, kAxisZone});
  // Horizontal axis in green along row 251, vertical axis in dark red along column 4.
  EXPECT_GE(CountPixels(picture, Zone{6, 250, 84, 253},
                        [](uint32_t c) { return c == kGreen; }),
            70);
  EXPECT_GE(CountPixels(picture, Zone{3, 172, 6, 249},
                        [](uint32_t c) { return c == kDarkRed; }),
            70);
  // The letters: dark red above, green beside.
  EXPECT_GT(CountPixels(picture, Zone{0, 205, 20, 232}, IsReddish), 5);
  EXPECT_GT(CountPixels(picture, Zone{38, 230, 60, 255}, IsGreenish), 5);
}

TEST_F(ShellThumbnailTest, IsoNameInDarkRedWhenTypeOptionIsOn) {
  SetDisplayOptions(false, false, true);
  const Picture picture = ThumbnailOf(kMillingProgram);
  ASSERT_EQ(picture.width, 255);
  NcPathContext ctx{};
  ExpectPathOnWhite(picture, ThumbnailSegments(kMillingProgram, ctx), {kVersionZone, kTypeZone});
  EXPECT_GT(CountPixels(picture, kTypeZone, IsReddish), 10);
  EXPECT_EQ(CountPixels(picture, kTypeZone, IsGreenish), 0);
}

TEST_F(ShellThumbnailTest, TncNameInGreenForATncProgram) {
  SetDisplayOptions(false, false, true);
  NcPathContext ctx{};
  const std::vector<Segment> path = ThumbnailSegments(kTncProgram, ctx);
  ASSERT_EQ(ctx.isTnc, 1);

  const Picture picture = ThumbnailOf(kTncProgram);
  ASSERT_EQ(picture.width, 255);
  ExpectPathOnWhite(picture, path, {kVersionZone, kTypeZone});
  EXPECT_GT(CountPixels(picture, kTypeZone, IsGreenish), 10);
  EXPECT_EQ(CountPixels(picture, kTypeZone, IsReddish), 0);
}

TEST_F(ShellThumbnailTest, CommentsOnGreyBandsWhenTheirOptionIsOn) {
  SetDisplayOptions(false, true, false);
  const Picture picture = ThumbnailOf(kMillingProgram);
  ASSERT_EQ(picture.width, 255);

  NcPathContext ctx{};
  const std::vector<Segment> path = ThumbnailSegments(kMillingProgram, ctx);
  ASSERT_EQ(ctx.commentCount, 2);
  ExpectPathOnWhite(picture, path, {kVersionZone, CommentZone(2)});
  auto grey = [](uint32_t c) { return c == kLightGrey; };
  // Two bands with text on them; no third band.
  for (int band = 0; band < 2; ++band) {
    const Zone zone{0, 15 + 12 * band, 255, 15 + 12 * band + 12};
    EXPECT_GT(CountPixels(picture, zone, grey), 1000) << "band " << band;
    EXPECT_GT(CountPixels(picture, zone, IsDark), 10) << "text of comment " << band;
  }
  EXPECT_EQ(CountPixels(picture, Zone{0, 41, 255, 52}, grey), 0);
}

TEST_F(ShellThumbnailTest, EmptyFileGivesOverlaysOnly) {
  SetDisplayOptions(true, false, true);
  const Picture picture = ThumbnailOf("");
  ASSERT_EQ(picture.width, 255);
  const Zone middle{0, 16, 255, 165};
  EXPECT_EQ(CountPixels(picture, middle, [](uint32_t c) { return c != kWhite; }), 0);
  EXPECT_GT(CountPixels(picture, kTypeZone, IsReddish), 10) << "an empty program counts as ISO";
  EXPECT_GE(CountPixels(picture, Zone{6, 250, 84, 253}, [](uint32_t c) { return c == kGreen; }),
            70);
}

TEST_F(ShellThumbnailTest, OptionsAreReadOncePerProvider) {
  SetDisplayOptions(false, false, false);
  IThumbnailProvider* before = ProviderForProgram(kMillingProgram);
  ASSERT_NE(before, nullptr);
  const Picture first = Thumbnail(before);

  // The user switches the axis on: the old provider keeps drawing without it,
  // a provider made afterwards draws it.
  SetDisplayOptions(true, false, false);
  const Picture again = Thumbnail(before);
  EXPECT_TRUE(again.pixels == first.pixels);
  before->Release();

  const Picture after = ThumbnailOf(kMillingProgram);
  auto green = [](uint32_t c) { return c == kGreen; };
  EXPECT_EQ(CountPixels(first, Zone{6, 250, 84, 253}, green), 0);
  EXPECT_GE(CountPixels(after, Zone{6, 250, 84, 253}, green), 70);
}

// Drilling points are 1 mm in radius in every unit and never vanish: the
// DLL shares the interpreter with the Linux thumbnailer.
TEST_F(ShellThumbnailTest, DrillingPointsAreSmallDotsInInchAndOnLargePlates) {
  SetDisplayOptions(false, false, false);
  auto marker = [](uint32_t c) { return c == 0x304A80; };
  const Zone whole{0, 0, 255, 255};
  // Six holes in a 4 x 3 inch plate: dots of radius 2 pixels, where one
  // inch each would cover most of the part.
  const Picture inch = ThumbnailOf(
      "G20 G90 G17\nG0 X0 Y0\nG1 X4 Y0 F10\nG1 X4 Y3\nG1 X0 Y3\nG1 X0 Y0\nG0 Z0.1\n"
      "G81 X1 Y1 Z-0.5 R0.1\nX2 Y1\nX3 Y1\nX1 Y2\nX2 Y2\nX3 Y2\nG80\nM30\n");
  ASSERT_EQ(inch.width, 255);
  EXPECT_GE(CountPixels(inch, whole, marker), 6 * 4);
  EXPECT_LE(CountPixels(inch, whole, marker), 6 * 30);
  // A metre-long plate drilled only: markers below a pixel are still dots.
  const Picture plate =
      ThumbnailOf("G21\nG0 X0 Y0\nG81 X0 Y0 Z-5 R2\nX1000 Y0\nX1000 Y600\nX0 Y600\nG80\nM30\n");
  EXPECT_GE(CountPixels(plate, whole, marker), 4);
}

TEST_F(ShellThumbnailTest, ProviderWithoutStreamDrawsNothing) {
  IThumbnailProvider* provider = CreateProviderForNc();
  ASSERT_NE(provider, nullptr);
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
  WTS_ALPHATYPE alpha = WTSAT_RGB;
  EXPECT_EQ(provider->GetThumbnail(96, &bitmap, &alpha), E_UNEXPECTED);
  EXPECT_EQ(bitmap, nullptr);
  EXPECT_EQ(alpha, WTSAT_UNKNOWN);
  provider->Release();
}

}  // namespace
