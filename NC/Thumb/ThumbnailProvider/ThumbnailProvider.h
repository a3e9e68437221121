#pragma once
// The Shell's thumbnail provider for NC programs: takes the file's stream,
// draws the thumbnail and hands back a bitmap of 255 x 255 pixels, or of the
// requested size when the Shell asks for more (high-DPI screens).
#include <windows.h>
#include <ocidl.h>
#include <propsys.h>
#include <thumbcache.h>

#include "ComPtr.h"
#include "ComServer.h"

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
  ModuleObjectCount counted;
  ComPtr<IUnknown> site;   // the object last passed to SetSite, or null
  ComPtr<IStream> stream;  // the file's stream once initialised
  // Display options, read at the first thumbnail and kept for the object's
  // life: -1 not read yet, else 0 off or 1 on.
  int showAxis;
  int showType;
  int showComment;
};
