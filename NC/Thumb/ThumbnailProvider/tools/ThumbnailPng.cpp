// vantrel-thumbnail-png: writes the thumbnail that Vantrel.dll makes for
// each NC file as a PNG, so that a person can look at it.
//
//   vantrel-thumbnail-png [--dll PATH] OUTPUT_FOLDER FILE...
//
// The DLL is loaded directly (Vantrel.dll beside this program unless --dll
// names another) and asked through its exported DllGetClassObject, as COM
// would; no registration is needed. The overlays follow the option files in
// the settings folder, as in the Shell. Each FILE becomes
// OUTPUT_FOLDER\<file name>.png.
#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ProviderClient.h"
#include "SavePng.h"

using namespace Gdiplus;

namespace {

// The thumbnail of one file, as the Shell would get it. Null on failure.
HBITMAP Thumbnail(DllGetClassObjectFn getClassObject, const std::wstring& file) {
  IThumbnailProvider* thumbnails = OpenThumbnailProvider(getClassObject, file);
  if (thumbnails == nullptr) return nullptr;
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  if (FAILED(thumbnails->GetThumbnail(256, &bitmap, &alpha))) bitmap = nullptr;
  thumbnails->Release();
  return bitmap;
}

std::wstring FileName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

int Usage() {
  std::fprintf(stderr, "usage: vantrel-thumbnail-png [--dll PATH] OUTPUT_FOLDER FILE...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring dllPath = ProgramFolder() + L"\\Vantrel.dll";
  int next = 1;
  if (next + 1 < argc && lstrcmpW(argv[next], L"--dll") == 0) {
    dllPath = argv[next + 1];
    next += 2;
  }
  if (argc - next < 2) return Usage();
  const std::wstring outputFolder = argv[next++];

  HMODULE module = LoadLibraryW(dllPath.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %ls (error %lu)\n", dllPath.c_str(), GetLastError());
    return 1;
  }
  const auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (getClassObject == nullptr) {
    std::fprintf(stderr, "%ls exports no DllGetClassObject\n", dllPath.c_str());
    return 1;
  }

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  GdiplusStartup(&token, &startup, nullptr);
  CreateDirectoryW(outputFolder.c_str(), nullptr);

  int failures = 0;
  for (; next < argc; ++next) {
    const std::wstring file = argv[next];
    const std::wstring png = outputFolder + L"\\" + FileName(file) + L".png";
    HBITMAP bitmap = Thumbnail(getClassObject, file);
    if (bitmap != nullptr && SavePng(bitmap, png)) {
      std::printf("%ls\n", png.c_str());
    } else {
      std::fprintf(stderr, "no thumbnail for %ls\n", file.c_str());
      ++failures;
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
  }

  GdiplusShutdown(token);
  CoUninitialize();
  return failures == 0 ? 0 : 1;
}
