// The module's entry point and its class-object exports.
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "ClassFactory.h"
#include "ComPtr.h"
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

  ComPtr<CClassFactory> factory;
  factory.Attach(new (std::nothrow) CClassFactory());
  if (!factory) return E_OUTOFMEMORY;
  // The query adds the caller's reference; the wrapper releasing ours leaves
  // the caller the only one, or destroys the factory when the query failed.
  return factory->QueryInterface(interfaceId, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return moduleObjectCount == 0 ? S_OK : S_FALSE;
}
