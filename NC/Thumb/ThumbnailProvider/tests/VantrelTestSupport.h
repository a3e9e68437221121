#pragma once
// Helpers for the tests of Vantrel.dll: the DLL beside the test program,
// COM set up for the whole run, streams, option files and pictures.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DisplayOptions.h"
#include "ProductFacts.h"
#include "ThumbnailComposition.h"

// The class identifier as the registry spells it.
constexpr const wchar_t* kProviderClsidText = VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
constexpr const wchar_t* kClassKey = L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
constexpr const wchar_t* kNcThumbnailKey =
    VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) L"\\shellex\\" VANTREL_WIDE(VANTREL_THUMBNAIL_HANDLER_KEY);

// Full path of the Vantrel.dll that was built beside the test program.
std::wstring VantrelDllPath();
// The DLL, loaded once for the test run (the same module COM activates).
HMODULE VantrelModule();
// An export of the DLL; the test fails when it is missing.
FARPROC VantrelExport(const char* name);

// The export as a typed function pointer.
template <typename Function>
Function VantrelFunction(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(VantrelExport(name)));
}

using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using DllFunctionFn = HRESULT(STDAPICALLTYPE*)();
using GetThumbNailFromStreamFn = int(WINAPI*)(HDC, IStream*, int32_t*);

// Registers or unregisters a DLL (Vantrel.dll unless another is named) the
// way an installer does.
DWORD RunRegsvr32(bool unregister, const std::wstring& dll = VantrelDllPath());
// Full path of a file beside the test program.
std::wstring BesideTestProgram(const wchar_t* name);

// A stream over a copy of `bytes` (SHCreateMemStream). The caller releases it.
IStream* MemoryStream(const std::string& bytes);
// An IStream over another that counts the calls reaching it, can make them
// fail, and runs `onRead` at every Read. It lives on the test's stack and
// counts its references for the test to check.
class ObservedStream final : public IStream {
 public:
  explicit ObservedStream(IStream* inner) : inner_(inner) {}

  IFACEMETHODIMP QueryInterface(REFIID id, void** object) override;
  IFACEMETHODIMP_(ULONG) AddRef() override { return ++references; }
  IFACEMETHODIMP_(ULONG) Release() override { return --references; }
  IFACEMETHODIMP Read(void* buffer, ULONG size, ULONG* read) override;
  IFACEMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
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
  int reads = 0;
  int seeks = 0;
  ULONG smallestRead = 0xFFFFFFFF;
  ULONGLONG bytesRead = 0;
  long long failReadsAfter = -1;  // every Read fails once this many bytes were read
  bool failSeeks = false;
  std::function<void()> onRead;

 private:
  IStream* inner_;
};

// The bytes of a bundled program in samples/ ("iso-milling.nc"); empty when missing.
std::string ReadSample(const char* name);

// Writes `bytes` to a file in the prefix's temporary folder; returns its path.
std::wstring WriteTempFile(const wchar_t* name, const std::string& bytes);

// Option files in C:\ProgramData\Kestrova: written with the store's own
// writer, removed so that the option reads as off.
void SetDisplayOptions(bool axis, bool comment, bool type);
void RemoveDisplayOptionFiles();

// A 32-bit picture read back from a bitmap handle with GetDIBits, top-down.
// Pixels are 0x00RRGGBB (the alpha byte is dropped).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Picture ReadPicture(HBITMAP bitmap);

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x008000;
constexpr uint32_t kDarkRed = 0xA31515;
constexpr uint32_t kLightGrey = 0xF0F0F0;

inline int Red(uint32_t rgb) { return (rgb >> 16) & 0xFF; }
inline int Green(uint32_t rgb) { return (rgb >> 8) & 0xFF; }
inline int Blue(uint32_t rgb) { return rgb & 0xFF; }

// A rectangle of pixels, right and bottom excluded.
struct Zone {
  int left, top, right, bottom;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Counts the pixels of `zone` for which `test` holds.
template <typename Test>
int CountPixels(const Picture& picture, Zone zone, Test test) {
  int count = 0;
  for (int y = zone.top; y < zone.bottom && y < picture.height; ++y) {
    for (int x = zone.left; x < zone.right && x < picture.width; ++x) count += test(picture.At(x, y));
  }
  return count;
}

// Where the interpreter draws: the segments of a recorded run in pixels.
struct Segment {
  int x1, y1, x2, y2;
};
// The path of `program` as the thumbnail of `size` pixels draws it (at 255:
// margins 2), with the run's results in `ctx`.
std::vector<Segment> ThumbnailSegments(const std::string& program, NcPathContext& ctx,
                                       int size = THUMBNAIL_SIZE);
// The path as GetThumbNailFromStream draws it (255 x 255, no margins).
std::vector<Segment> ExportSegments(const std::string& program);

// Checks `picture` against the recorded path: points along every segment
// are blue (within one pixel), and every pixel more than two pixels from the
// path is white. Pixels inside `skip` zones (overlays) are not looked at.
void ExpectPathOnWhite(const Picture& picture, const std::vector<Segment>& path,
                       const std::vector<Zone>& skip);
