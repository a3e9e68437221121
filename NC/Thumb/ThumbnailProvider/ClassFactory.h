#pragma once
// Makes CThumbnailProvider objects for the Shell.
#include <windows.h>
#include <unknwn.h>

class CClassFactory final : public IClassFactory {
 public:
  CClassFactory();

  // IUnknown
  IFACEMETHODIMP QueryInterface(REFIID interfaceId, void** object) override;
  IFACEMETHODIMP_(ULONG) AddRef() override;
  IFACEMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) override;
  IFACEMETHODIMP LockServer(BOOL lock) override;

 private:
  ~CClassFactory();  // only Release destroys it

  LONG refCount;
};
