// vantrel-preview-shot: shows one NC file in VantrelPreview.dll's pane, as
// the Shell's preview host would, times how long the pane takes to show it
// (and to re-fit it after a resize), and can write what the window shows
// as a PNG.
//
//   vantrel-preview-shot [--size WIDTHxHEIGHT] [--repeat N] [--dark] [--png OUT] FILE
//
// The DLL beside this program is loaded directly and asked through its
// exported DllGetClassObject; no registration is needed. A shown file is
// timed from Initialize to the end of the pane's first paint. The figures
// are the best and the median of N runs (default 5).
#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "DibSection.h"
#include "ProductFacts.h"
#include "ProviderClient.h"
#include "SavePng.h"

namespace {

constexpr CLSID kPreviewClassId = {VANTREL_PREVIEW_HANDLER_CLSID_INITIALIZER};

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void PrintFigures(const char* what, std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  std::printf("%-28s best %.3f s, median %.3f s\n", what, seconds.front(),
              seconds[seconds.size() / 2]);
}

int Usage() {
  std::fprintf(stderr,
               "usage: vantrel-preview-shot [--size WIDTHxHEIGHT] [--repeat N] [--dark] "
               "[--png OUT] FILE\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int width = 800, height = 600, repeat = 5;
  bool dark = false;
  std::wstring png, file;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--size" && i + 1 < argc) {
      if (std::swscanf(argv[++i], L"%dx%d", &width, &height) != 2) return Usage();
    } else if (argument == L"--repeat" && i + 1 < argc) {
      repeat = std::max(1, _wtoi(argv[++i]));
    } else if (argument == L"--dark") {
      dark = true;
    } else if (argument == L"--png" && i + 1 < argc) {
      png = argv[++i];
    } else if (file.empty()) {
      file = argument;
    } else {
      return Usage();
    }
  }
  if (file.empty() || width < 1 || height < 1) return Usage();

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);

  wchar_t folder[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  std::wstring dll = folder;
  dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME);
  HMODULE module = LoadLibraryW(dll.c_str());
  const auto getClassObject = module == nullptr ? nullptr
      : reinterpret_cast<DllGetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IPreviewHandler* handler = nullptr;
  if (getClassObject == nullptr || FAILED(getClassObject(kPreviewClassId, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&handler)))) {
    std::fwprintf(stderr, L"cannot load the preview handler from %ls\n", dll.c_str());
    return 1;
  }
  factory->Release();
  IInitializeWithStream* initialize = nullptr;
  handler->QueryInterface(IID_PPV_ARGS(&initialize));
  if (dark) {
    IPreviewHandlerVisuals* visuals = nullptr;
    if (SUCCEEDED(handler->QueryInterface(IID_PPV_ARGS(&visuals)))) {
      visuals->SetBackgroundColor(RGB(32, 32, 32));
      visuals->SetTextColor(RGB(235, 235, 235));
      visuals->Release();
    }
  }

  HWND host = CreateWindowExW(0, L"STATIC", L"Preview", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const RECT whole = {0, 0, width, height};
  const RECT smaller = {0, 0, width * 3 / 4, height * 3 / 4};
  handler->SetWindow(host, &whole);
  Pump();

  std::vector<double> shown, refitted;
  HRESULT result = S_OK;
  for (int run = 0; run < repeat; ++run) {
    handler->Unload();
    handler->SetRect(&whole);
    const double start = Now();
    IStream* stream = OpenFileStream(file);
    if (stream == nullptr) {
      std::fwprintf(stderr, L"cannot open %ls\n", file.c_str());
      return 1;
    }
    initialize->Initialize(stream, STGM_READ);
    stream->Release();
    result = handler->DoPreview();
    UpdateWindow(GetWindow(host, GW_CHILD));  // the first paint, at once
    shown.push_back(Now() - start);

    const double resize = Now();
    handler->SetRect(&smaller);
    UpdateWindow(GetWindow(host, GW_CHILD));
    refitted.push_back(Now() - resize);
    handler->SetRect(&whole);
    UpdateWindow(GetWindow(host, GW_CHILD));
    Pump();
  }
  std::printf("%dx%d pane, DoPreview result 0x%08lX\n", width, height,
              static_cast<unsigned long>(result));
  PrintFigures("shown (Initialize to paint)", shown);
  PrintFigures("re-fitted after a resize", refitted);

  int status = 0;
  if (!png.empty()) {
    Pump();
    // What the window shows, read from its DC.
    DibSection picture;
    HDC screen = GetDC(host);
    if (picture.Create(width, height)) BitBlt(picture.Dc(), 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(host, screen);
    GdiFlush();
    if (!picture || !SavePng(picture.Bitmap(), png)) {
      std::fwprintf(stderr, L"cannot write %ls\n", png.c_str());
      status = 1;
    }
  }
  handler->Unload();
  initialize->Release();
  handler->Release();
  DestroyWindow(host);
  Gdiplus::GdiplusShutdown(token);
  CoUninitialize();
  return status;
}
