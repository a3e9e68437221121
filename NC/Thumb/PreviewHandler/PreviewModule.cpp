// What makes VantrelPreview.dll the preview handler's module: the class it
// serves and its registry values.
#include "ComServer.h"
#include "ModuleRegistration.h"
#include "PreviewHandler.h"
#include "ProductFacts.h"

namespace {

constexpr CLSID CLSID_VantrelPreviewHandler = {VANTREL_PREVIEW_HANDLER_CLSID_INITIALIZER};

constexpr const wchar_t kClassKey[] = L"CLSID\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);
constexpr const wchar_t kServerKey[] =
    L"CLSID\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID) L"\\InprocServer32";
constexpr const wchar_t kName[] = VANTREL_WIDE(VANTREL_PREVIEW_CLASS_NAME);
constexpr const wchar_t kClassId[] = VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);

// Written in this order; the Windows package's registry table writes the
// same values. The AppID runs the handler in the Shell's 64-bit preview
// host; the host lists the handlers it may load under PreviewHandlers.
// Unregistration takes everything back, the ".nc" association only while
// it still names this class.
const ModuleRegistryValue kModuleValues[] = {
    {HKEY_CLASSES_ROOT, kClassKey, nullptr, kName, ModuleRegistryValue::KeyTree},
    {HKEY_CLASSES_ROOT, kClassKey, L"DisplayName", kName, ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT, kClassKey, L"AppID", VANTREL_WIDE(VANTREL_PREVIEW_HOST_APPID),
     ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT, kServerKey, nullptr, nullptr, ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel", L"Apartment", ModuleRegistryValue::Stays},
    {HKEY_CLASSES_ROOT,
     VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) L"\\shellex\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_KEY),
     nullptr, kClassId, ModuleRegistryValue::KeyIfOurs},
    {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", kClassId,
     kName, ModuleRegistryValue::Value},
};

}  // namespace

const ServedClass servedClass = {CLSID_VantrelPreviewHandler, &CreateComObject<CPreviewHandler>};

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return RegisterModuleValues(kModuleValues, ARRAYSIZE(kModuleValues));
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return UnregisterModuleValues(kModuleValues, ARRAYSIZE(kModuleValues));
}
