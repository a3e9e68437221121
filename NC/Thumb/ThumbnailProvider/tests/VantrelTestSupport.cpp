#include "VantrelTestSupport.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "RecordingThumbnailCanvas.h"

namespace {

// COM in a single-threaded apartment for the whole run, as in the Shell.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }
};

::testing::Environment* const comEnvironment =
    ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::vector<Segment> Lines(const RecordingCanvas& canvas) {
  std::vector<Segment> segments;
  for (const CanvasCall& call : canvas.calls) {
    if (call.kind == CanvasCall::Line) segments.push_back({call.a, call.b, call.c, call.d});
  }
  return segments;
}

}  // namespace

std::string ReadSample(const char* name) {
  std::ifstream file(std::string(VANTREL_SAMPLES_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::wstring BesideTestProgram(const wchar_t* name) { return ProgramFolder() + L"\\" + name; }

std::wstring VantrelDllPath() { return BesideTestProgram(L"Vantrel.dll"); }

HMODULE VantrelModule() {
  static const HMODULE module = LoadLibraryW(VantrelDllPath().c_str());
  return module;
}

FARPROC VantrelExport(const char* name) {
  const FARPROC function = GetProcAddress(VantrelModule(), name);
  EXPECT_NE(function, nullptr) << name;
  return function;
}

DWORD RunRegsvr32(bool unregister, const std::wstring& dll) {
  std::wstring command = L"regsvr32.exe /s ";
  if (unregister) command += L"/u ";
  command += L"\"" + dll + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return GetLastError() | 0x10000;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

IStream* MemoryStream(const std::string& bytes) {
  return SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<UINT>(bytes.size()));
}

IFACEMETHODIMP ObservedStream::QueryInterface(REFIID id, void** object) {
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IStream) ||
      IsEqualIID(id, IID_ISequentialStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

IFACEMETHODIMP ObservedStream::Read(void* buffer, ULONG size, ULONG* read) {
  ++reads;
  if (size < smallestRead) smallestRead = size;
  if (onRead) onRead();
  if (failReadsAfter >= 0 && bytesRead >= static_cast<ULONGLONG>(failReadsAfter)) {
    return STG_E_READFAULT;
  }
  ULONG got = 0;
  const HRESULT result = inner_->Read(buffer, size, &got);
  bytesRead += got;
  if (read != nullptr) *read = got;
  return result;
}

IFACEMETHODIMP ObservedStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  ++seeks;
  if (failSeeks) return STG_E_SEEKERROR;
  return inner_->Seek(move, origin, position);
}

std::wstring WriteTempFile(const wchar_t* name, const std::string& bytes) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + name;
  FILE* file = _wfopen(path.c_str(), L"wb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

void SetDisplayOptions(bool axis, bool comment, bool type) {
  RemoveDisplayOptionFiles();
  // An option that is off is written as "0", which reads as off just as a
  // missing file does; both occur in use.
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowAxis, axis));
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowComment, comment));
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowType, type));
}

void RemoveDisplayOptionFiles() {
  for (DisplayOption option :
       {DisplayOption::ShowAxis, DisplayOption::ShowComment, DisplayOption::ShowType}) {
    char path[272];
    if (GetSettingsFilePath(DisplayOptionFileName(option), path, sizeof path)) DeleteFileA(path);
  }
}

Picture ReadPicture(HBITMAP bitmap) {
  Picture picture;
  BITMAP info = {};
  if (GetObjectW(bitmap, sizeof info, &info) == 0) return picture;
  picture.width = info.bmWidth;
  picture.height = info.bmHeight;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);

  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = picture.width;
  format.bmiHeader.biHeight = -picture.height;  // top-down rows
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(picture.height),
                             picture.pixels.data(), &format, DIB_RGB_COLORS);
  DeleteDC(dc);
  EXPECT_EQ(rows, picture.height);
  for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

std::vector<Segment> ThumbnailSegments(const std::string& program, NcPathContext& ctx,
                                       int size) {
  MemorySource source(program.data(), program.size());
  RecordingThumbnailCanvas canvas;
  ThumbnailOptions options;
  options.size = size;
  ComposeThumbnail(source, canvas, options, ctx);
  return Lines(canvas.path);
}

std::vector<Segment> ExportSegments(const std::string& program) {
  MemorySource source(program.data(), program.size());
  RecordingCanvas canvas;
  NcPathContext ctx{};
  ctx.canvasWidth = ctx.canvasHeight = 255;
  ctx.marginX = ctx.marginY = 0;
  ctx.gdi = &canvas;
  ctx.gdiPenSelected = true;
  DrawToolpath(ctx, source);
  return Lines(canvas);
}

void ExpectPathOnWhite(const Picture& picture, const std::vector<Segment>& path,
                       const std::vector<Zone>& skip) {
  ASSERT_FALSE(path.empty());
  auto skipped = [&](int x, int y) {
    for (const Zone& zone : skip) {
      if (zone.Contains(x, y)) return true;
    }
    return false;
  };
  auto blueNear = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int px = x + dx, py = y + dy;
        if (px >= 0 && py >= 0 && px < picture.width && py < picture.height &&
            picture.At(px, py) == kBlue) {
          return true;
        }
      }
    }
    return false;
  };

  // Pixels within two of the path may hold line pixels; all others are background.
  std::vector<bool> nearPath(picture.pixels.size(), false);
  int missing = 0;
  for (const Segment& s : path) {
    const double length = std::hypot(s.x2 - s.x1, s.y2 - s.y1);
    const int steps = static_cast<int>(length * 2) + 1;
    for (int i = 0; i <= steps; ++i) {
      const double t = static_cast<double>(i) / steps;
      const int x = static_cast<int>(std::lround(s.x1 + t * (s.x2 - s.x1)));
      const int y = static_cast<int>(std::lround(s.y1 + t * (s.y2 - s.y1)));
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
          const int px = x + dx, py = y + dy;
          if (px >= 0 && py >= 0 && px < picture.width && py < picture.height) {
            nearPath[static_cast<size_t>(py) * picture.width + px] = true;
          }
        }
      }
      const bool inside = x >= 0 && y >= 0 && x < picture.width && y < picture.height;
      if (inside && !skipped(x, y) && !blueNear(x, y) && ++missing <= 5) {
        ADD_FAILURE() << "no blue pixel near (" << x << ", " << y << ")";
      }
    }
  }
  EXPECT_EQ(missing, 0) << "path points without blue pixels";

  int notWhite = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (nearPath[static_cast<size_t>(y) * picture.width + x] || skipped(x, y)) continue;
      if (picture.At(x, y) != kWhite && ++notWhite <= 5) {
        ADD_FAILURE() << "background pixel (" << x << ", " << y << ") is " << std::hex
                      << picture.At(x, y);
      }
    }
  }
  EXPECT_EQ(notWhite, 0) << "background pixels that are not white";
}
