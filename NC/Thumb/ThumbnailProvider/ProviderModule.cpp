// What makes Vantrel.dll the thumbnail provider's module: the class it
// serves and its registry values.
#include "ComServer.h"
#include "ModuleRegistration.h"
#include "ThumbnailProvider.h"
#include "VantrelModule.h"

const ServedClass servedClass = {CLSID_VantrelThumbnailProvider,
                                 &CreateComObject<CThumbnailProvider>};

namespace {

constexpr const wchar_t kClassKey[] = L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
constexpr const wchar_t kServerKey[] =
    L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID) L"\\InprocServer32";

// Written in this order. The class identifier's letter case is the same
// everywhere. The Windows package's registry table writes the same values.
// The ".nc" handler key stays at unregistration: the settings program keeps
// its own associations there.
const ModuleRegistryValue kModuleValues[] = {
    {HKEY_CLASSES_ROOT, kClassKey, nullptr, VANTREL_WIDE(VANTREL_PROVIDER_CLASS_NAME),
     ModuleRegistryValue::KeyTree},
    {HKEY_CLASSES_ROOT, kServerKey, nullptr, nullptr, ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel", L"Apartment", ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT,
     VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) L"\\shellex\\" VANTREL_WIDE(VANTREL_THUMBNAIL_HANDLER_KEY),
     nullptr, VANTREL_WIDE(VANTREL_PROVIDER_CLSID), ModuleRegistryValue::Stays},
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return RegisterModuleValues(kModuleValues, ARRAYSIZE(kModuleValues));
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return UnregisterModuleValues(kModuleValues, ARRAYSIZE(kModuleValues));
}
