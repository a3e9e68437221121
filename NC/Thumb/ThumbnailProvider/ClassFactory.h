#pragma once
// Makes objects of the class the module serves (servedClass) for COM.
#include <windows.h>
#include <unknwn.h>

#include "ComServer.h"

class CClassFactory final : public IClassFactory {
 public:
  CClassFactory() = default;

  // IUnknown
  IFACEMETHODIMP QueryInterface(REFIID interfaceId, void** object) override;
  IFACEMETHODIMP_(ULONG) AddRef() override;
  IFACEMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) override;
  IFACEMETHODIMP LockServer(BOOL lock) override;

 private:
  ~CClassFactory() = default;  // only Release destroys it

  LONG refCount = 1;
  ModuleObjectCount counted;
};
