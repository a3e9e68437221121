// The module's entry point and its class-object exports, for the one class
// the module serves.
#include "ComServer.h"

#include <unknwn.h>

#include "ClassFactory.h"

HINSTANCE moduleInstance = nullptr;
LONG moduleObjectCount = 0;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID interfaceId,
                                                    void** object) {
  if (object == nullptr) return E_INVALIDARG;
  if (!IsEqualCLSID(classId, servedClass.classId)) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateComObject<CClassFactory>(interfaceId, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return moduleObjectCount == 0 ? S_OK : S_FALSE;
}

HRESULT KeepStream(ComPtr<IStream>& kept, IStream* given) {
  if (kept) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (given == nullptr) return E_INVALIDARG;
  // Asking the object itself for IStream gives the reference we keep.
  return given->QueryInterface(IID_IStream, kept.PutVoid());
}

HRESULT QuerySite(const ComPtr<IUnknown>& site, REFIID interfaceId, void** object) {
  if (!site) return E_NOINTERFACE;
  return site->QueryInterface(interfaceId, object);
}
