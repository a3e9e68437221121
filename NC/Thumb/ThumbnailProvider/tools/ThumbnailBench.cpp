// vantrel-thumbnail-bench: times Vantrel.dll's GetThumbnail on one NC file
// read through a real file stream (SHCreateStreamOnFileEx), and, through the
// same stream adapter, the parts of it: the interpreter alone on a canvas
// that only counts, and the interpreter drawing the path with GDI+ and with
// the shared pixel writer (as GetThumbnail does).
//
//   vantrel-thumbnail-bench [--repeat N] [--dll PATH] FILE
//
// Each figure is the best and the median of N runs (default 5).
#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

#include "ComStreamSource.h"
#include "ProviderClient.h"
#include "GdiplusThumbnailCanvas.h"
#include "NcPathContext.h"
#include "RecordingCanvas.h"

using namespace Gdiplus;

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Counts the calls that cross into the stream.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(ByteSource& inner) : inner_(inner) {}
  bool Read(void* buffer, uint32_t size, uint32_t* got) override {
    ++reads;
    return inner_.Read(buffer, size, got);
  }
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    ++seeks;
    return inner_.Seek(offset, origin, position);
  }
  uint64_t reads = 0, seeks = 0;

 private:
  ByteSource& inner_;
};

struct Figures {
  std::vector<double> seconds;
  void Add(double s) { seconds.push_back(s); }
  double Best() const { return *std::min_element(seconds.begin(), seconds.end()); }
  double Median() const {
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

void Print(const char* what, const Figures& figures) {
  std::printf("%-44s best %9.1f ms   median %9.1f ms\n", what, figures.Best() * 1000,
              figures.Median() * 1000);
}

// GetThumbnail through the DLL's class object, as the Shell calls it. The
// provider is made before and the bitmap deleted after the timed call.
double TimeGetThumbnail(DllGetClassObjectFn getClassObject, const std::wstring& file,
                        bool* ok) {
  *ok = false;
  IThumbnailProvider* thumbnails = OpenThumbnailProvider(getClassObject, file);
  if (thumbnails == nullptr) return 0;
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  const double start = Now();
  const HRESULT result = thumbnails->GetThumbnail(256, &bitmap, &alpha);
  const double seconds = Now() - start;
  *ok = result == S_OK && bitmap != nullptr;
  if (bitmap != nullptr) DeleteObject(bitmap);
  thumbnails->Release();
  return seconds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int repeat = 5;
  std::wstring dllPath;
  std::wstring file;
  for (int i = 1; i < argc; ++i) {
    if (lstrcmpW(argv[i], L"--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, _wtoi(argv[++i]));
    } else if (lstrcmpW(argv[i], L"--dll") == 0 && i + 1 < argc) {
      dllPath = argv[++i];
    } else {
      file = argv[i];
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: vantrel-thumbnail-bench [--repeat N] [--dll PATH] FILE\n");
    return 2;
  }
  if (dllPath.empty()) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    dllPath = path;
    dllPath = dllPath.substr(0, dllPath.find_last_of(L'\\')) + L"\\Vantrel.dll";
  }
  HMODULE module = LoadLibraryW(dllPath.c_str());
  const auto getClassObject = module == nullptr ? nullptr
      : reinterpret_cast<DllGetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (getClassObject == nullptr) {
    std::fprintf(stderr, "cannot use %ls\n", dllPath.c_str());
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  IStream* probe = OpenFileStream(file);
  if (probe == nullptr) {
    std::fprintf(stderr, "cannot open %ls\n", file.c_str());
    return 1;
  }
  STATSTG stat = {};
  probe->Stat(&stat, STATFLAG_NONAME);
  probe->Release();
  std::printf("%ls: %.1f MB, %d runs each\n", file.c_str(),
              static_cast<double>(stat.cbSize.QuadPart) / 1e6, repeat);

  // The interpreter's share: both passes through the COM stream adapter,
  // onto a canvas that only counts.
  Figures interpreter;
  uint64_t lines = 0, markers = 0, reads = 0, seeks = 0;
  for (int i = 0; i < repeat; ++i) {
    IStream* stream = OpenFileStream(file);
    ComStreamSource adapter(stream);
    CountingSource source(adapter);
    CountingCanvas canvas;
    NcPathContext ctx{};
    ctx.graphics = &canvas;
    const double start = Now();
    DrawToolpath(ctx, source);
    interpreter.Add(Now() - start);
    lines = canvas.lines, markers = canvas.markers, reads = source.reads, seeks = source.seeks;
    stream->Release();
  }

  // The path on the thumbnail's bitmap, without overlays: drawn with GDI+
  // itself, and written by the shared pixel writer into the locked bits.
  Figures gdiplusPath, rasterPath;
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  GdiplusStartup(&token, &startup, nullptr);
  for (Figures* figures : {&gdiplusPath, &rasterPath}) {
    for (int i = 0; i < repeat; ++i) {
      IStream* stream = OpenFileStream(file);
      ComStreamSource source(stream);
      GpBitmap* image = nullptr;
      DllExports::GdipCreateBitmapFromScan0(255, 255, 0, PixelFormat32bppARGB, nullptr, &image);
      GpGraphics* graphics = nullptr;
      DllExports::GdipGetImageGraphicsContext(image, &graphics);
      const double start = Now();
      {
        GdiplusThumbnailCanvas canvas(graphics, figures == &rasterPath ? image : nullptr);
        NcPathContext ctx{};
        ctx.graphics = &canvas;
        DrawToolpath(ctx, source);
      }
      figures->Add(Now() - start);
      DllExports::GdipDeleteGraphics(graphics);
      DllExports::GdipDisposeImage(image);
      stream->Release();
    }
  }
  GdiplusShutdown(token);

  Figures thumbnail;
  for (int i = 0; i < repeat; ++i) {
    bool ok = false;
    thumbnail.Add(TimeGetThumbnail(getClassObject, file, &ok));
    if (!ok) {
      std::fprintf(stderr, "GetThumbnail failed\n");
      return 1;
    }
  }

  std::printf("path: %llu lines, %llu markers; stream calls per run: %llu Read, %llu Seek\n",
              static_cast<unsigned long long>(lines), static_cast<unsigned long long>(markers),
              static_cast<unsigned long long>(reads), static_cast<unsigned long long>(seeks));
  Print("interpreter alone (counting canvas)", interpreter);
  Print("interpreter + GDI+ path drawing", gdiplusPath);
  Print("interpreter + shared pixel writer", rasterPath);
  Print("GetThumbnail (whole, through COM)", thumbnail);
  std::printf("interpreter share of GetThumbnail: %.0f %%\n",
              100.0 * interpreter.Median() / thumbnail.Median());
  CoUninitialize();
  return 0;
}
