#include "ClassFactory.h"

#include <shlwapi.h>

#include <new>

#include "ComPtr.h"
#include "ThumbnailProvider.h"
#include "VantrelModule.h"

CClassFactory::CClassFactory() : refCount(1) { InterlockedIncrement(&moduleObjectCount); }

CClassFactory::~CClassFactory() { InterlockedDecrement(&moduleObjectCount); }

IFACEMETHODIMP CClassFactory::QueryInterface(REFIID interfaceId, void** object) {
  static const QITAB interfaces[] = {
      QITABENT(CClassFactory, IClassFactory),
      {nullptr, 0},
  };
  return QISearch(this, interfaces, interfaceId, object);
}

IFACEMETHODIMP_(ULONG) CClassFactory::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

IFACEMETHODIMP_(ULONG) CClassFactory::Release() {
  const LONG count = InterlockedDecrement(&refCount);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

IFACEMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;

  // The wrapper holds the construction reference and drops it on return, as
  // in DllGetClassObject: a failed query leaves no object behind.
  ComPtr<CThumbnailProvider> provider;
  provider.Attach(new (std::nothrow) CThumbnailProvider());
  if (!provider) return E_OUTOFMEMORY;
  return provider->QueryInterface(interfaceId, object);
}

// The module's lifetime follows the live objects alone.
IFACEMETHODIMP CClassFactory::LockServer(BOOL /*lock*/) { return E_NOTIMPL; }
