// The module's entry point and its class-object exports.
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "ClassFactory.h"
#include "VantrelModule.h"

HINSTANCE moduleInstance = nullptr;
LONG moduleObjectCount = 0;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID interfaceId,
                                                    void** object) {
  if (object == nullptr) return E_INVALIDARG;
  if (!IsEqualCLSID(classId, CLSID_VantrelThumbnailProvider)) return CLASS_E_CLASSNOTAVAILABLE;

  CClassFactory* factory = new (std::nothrow) CClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  // The query adds the caller's reference; releasing ours leaves the caller
  // the only one, or destroys the factory at once when the query failed.
  const HRESULT result = factory->QueryInterface(interfaceId, object);
  factory->Release();
  return result;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return moduleObjectCount == 0 ? S_OK : S_FALSE;
}
