#include "ThumbnailProvider.h"

#include <shlwapi.h>

#include "ComStreamSource.h"
#include "DisplayOptions.h"
#include "GdiplusThumbnail.h"
#include "ThumbnailComposition.h"

namespace {

// Explorer asks for up to this many pixels (extra-large icons on a screen
// scaled to 200 %); a larger request gets the largest picture.
constexpr UINT kLargestThumbnailSize = 2560;

}  // namespace

CThumbnailProvider::CThumbnailProvider()
    : refCount(1), showAxis(-1), showType(-1), showComment(-1) {}

CThumbnailProvider::~CThumbnailProvider() {
  // The site first, then the stream.
  site.Reset();
  stream.Reset();
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
  return KeepStream(stream, newStream);
}

IFACEMETHODIMP CThumbnailProvider::SetSite(IUnknown* newSite) {
  site.Share(newSite);  // a null site drops the one held
  return S_OK;
}

IFACEMETHODIMP CThumbnailProvider::GetSite(REFIID interfaceId, void** object) {
  return QuerySite(site, interfaceId, object);
}

void CThumbnailProvider::ReadDisplayOptionsOnce() {
  if (showAxis == -1) showAxis = ReadDisplayOption(DisplayOption::ShowAxis) ? 1 : 0;
  if (showType == -1) showType = ReadDisplayOption(DisplayOption::ShowType) ? 1 : 0;
  if (showComment == -1) showComment = ReadDisplayOption(DisplayOption::ShowComment) ? 1 : 0;
}

// Requests up to 255 pixels get the classic 255 x 255 picture, which the
// Shell scales down; larger ones get a sharp picture of their own size with
// the whole layout scaled, instead of 255 pixels blown up.
IFACEMETHODIMP CThumbnailProvider::GetThumbnail(UINT requestedSize, HBITMAP* bitmap,
                                                WTS_ALPHATYPE* alpha) {
  if (bitmap == nullptr || alpha == nullptr) return E_POINTER;
  *bitmap = nullptr;
  *alpha = WTSAT_UNKNOWN;
  // The Shell always initialises first; without a stream there is nothing to draw.
  if (!stream) return E_UNEXPECTED;

  ReadDisplayOptionsOnce();
  ThumbnailOptions options;
  options.showAxis = showAxis == 1;
  options.showType = showType == 1;
  options.showComment = showComment == 1;
  if (requestedSize > static_cast<UINT>(THUMBNAIL_SIZE)) {
    options.size = static_cast<int>(
        requestedSize < kLargestThumbnailSize ? requestedSize : kLargestThumbnailSize);
  }

  ComStreamSource source(stream.Get());
  return MakeThumbnailBitmap(source, options, bitmap);
}
