#pragma once
// The Shell's thumbnail provider for NC programs: takes the file's stream,
// draws the thumbnail and hands back a 255 x 255 bitmap.
#include <windows.h>
#include <ocidl.h>
#include <propsys.h>
#include <thumbcache.h>

class CThumbnailProvider final : public IThumbnailProvider,
                                 public IObjectWithSite,
                                 public IInitializeWithStream {
 public:
  CThumbnailProvider();

  // IUnknown, one count for all three interfaces
  IFACEMETHODIMP QueryInterface(REFIID interfaceId, void** object) override;
  IFACEMETHODIMP_(ULONG) AddRef() override;
  IFACEMETHODIMP_(ULONG) Release() override;

  // IThumbnailProvider
  IFACEMETHODIMP GetThumbnail(UINT requestedSize, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override;

  // IObjectWithSite
  IFACEMETHODIMP SetSite(IUnknown* newSite) override;
  IFACEMETHODIMP GetSite(REFIID interfaceId, void** object) override;

  // IInitializeWithStream
  IFACEMETHODIMP Initialize(IStream* newStream, DWORD accessMode) override;

 private:
  ~CThumbnailProvider();  // only Release destroys it

  void ReadDisplayOptionsOnce();

  LONG refCount;
  IUnknown* site;     // owned reference, or null
  IStream* stream;    // owned reference once initialised
  // Display options, read at the first thumbnail and kept for the object's
  // life: -1 not read yet, else 0 off or 1 on.
  int showAxis;
  int showType;
  int showComment;
};
