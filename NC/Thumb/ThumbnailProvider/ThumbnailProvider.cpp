#include "ThumbnailProvider.h"

#include <shlwapi.h>

#include "ComStreamSource.h"
#include "DisplayOptions.h"
#include "GdiplusThumbnail.h"
#include "ThumbnailComposition.h"
#include "VantrelModule.h"

CThumbnailProvider::CThumbnailProvider()
    : refCount(1), site(nullptr), stream(nullptr), showAxis(-1), showType(-1), showComment(-1) {
  InterlockedIncrement(&moduleObjectCount);
}

CThumbnailProvider::~CThumbnailProvider() {
  if (site != nullptr) {
    site->Release();
    site = nullptr;
  }
  if (stream != nullptr) {
    stream->Release();
    stream = nullptr;
  }
  InterlockedDecrement(&moduleObjectCount);
}

IFACEMETHODIMP CThumbnailProvider::QueryInterface(REFIID interfaceId, void** object) {
  // The first row also answers IUnknown, so the object's identity is its
  // IInitializeWithStream pointer.
  static const QITAB interfaces[] = {
      QITABENT(CThumbnailProvider, IInitializeWithStream),
      QITABENT(CThumbnailProvider, IThumbnailProvider),
      QITABENT(CThumbnailProvider, IObjectWithSite),
      {nullptr, 0},
  };
  return QISearch(this, interfaces, interfaceId, object);
}

IFACEMETHODIMP_(ULONG) CThumbnailProvider::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

IFACEMETHODIMP_(ULONG) CThumbnailProvider::Release() {
  const LONG count = InterlockedDecrement(&refCount);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

IFACEMETHODIMP CThumbnailProvider::Initialize(IStream* newStream, DWORD /*accessMode*/) {
  if (stream != nullptr) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (newStream == nullptr) return E_INVALIDARG;
  // Asking the object itself for IStream gives the reference we keep.
  return newStream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
}

IFACEMETHODIMP CThumbnailProvider::SetSite(IUnknown* newSite) {
  if (site != nullptr) {
    site->Release();
    site = nullptr;
  }
  site = newSite;
  if (site != nullptr) site->AddRef();
  return S_OK;
}

IFACEMETHODIMP CThumbnailProvider::GetSite(REFIID interfaceId, void** object) {
  if (site == nullptr) return E_NOINTERFACE;
  return site->QueryInterface(interfaceId, object);
}

void CThumbnailProvider::ReadDisplayOptionsOnce() {
  if (showAxis == -1) showAxis = ReadDisplayOption(DisplayOption::ShowAxis) ? 1 : 0;
  if (showType == -1) showType = ReadDisplayOption(DisplayOption::ShowType) ? 1 : 0;
  if (showComment == -1) showComment = ReadDisplayOption(DisplayOption::ShowComment) ? 1 : 0;
}

// The requested size is ignored: the picture is always 255 x 255.
IFACEMETHODIMP CThumbnailProvider::GetThumbnail(UINT /*requestedSize*/, HBITMAP* bitmap,
                                                WTS_ALPHATYPE* alpha) {
  if (bitmap == nullptr || alpha == nullptr) return E_POINTER;
  *bitmap = nullptr;
  *alpha = WTSAT_UNKNOWN;
  // The Shell always initialises first; without a stream there is nothing to draw.
  if (stream == nullptr) return E_UNEXPECTED;

  ReadDisplayOptionsOnce();
  ThumbnailOptions options;
  options.showAxis = showAxis == 1;
  options.showType = showType == 1;
  options.showComment = showComment == 1;

  ComStreamSource source(stream);
  return MakeThumbnailBitmap(source, options, bitmap);
}
