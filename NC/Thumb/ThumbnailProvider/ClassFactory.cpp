#include "ClassFactory.h"

#include <shlwapi.h>

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
  return servedClass.create(interfaceId, object);
}

// The module's lifetime follows the live objects alone.
IFACEMETHODIMP CClassFactory::LockServer(BOOL /*lock*/) { return E_NOTIMPL; }
