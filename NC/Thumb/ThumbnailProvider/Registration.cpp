// DllRegisterServer and DllUnregisterServer: the module's entries under
// HKEY_CLASSES_ROOT, kept in one table that both read.
#include <windows.h>

#include "RegistryValue.h"
#include "VantrelModule.h"

namespace {

struct ModuleRegistryValue {
  const wchar_t* subKey;
  const wchar_t* valueName;  // null: the key's default value
  const wchar_t* data;       // null: the full path of this module's file
  // DllUnregisterServer deletes this key with everything below it. The ".nc"
  // handler key stays: the settings program keeps its own associations there.
  bool removedByUnregister;
};

constexpr const wchar_t kClassKey[] = L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
constexpr const wchar_t kServerKey[] =
    L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID) L"\\InprocServer32";

// Written in this order. The class identifier's letter case is the same
// everywhere. The Windows package's registry table writes the same values.
constexpr ModuleRegistryValue kModuleValues[] = {
    {kClassKey, nullptr, VANTREL_WIDE(VANTREL_PROVIDER_CLASS_NAME), true},
    {kServerKey, nullptr, nullptr, false},
    {kServerKey, L"ThreadingModel", L"Apartment", false},
    {VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) L"\\shellex\\" VANTREL_WIDE(VANTREL_THUMBNAIL_HANDLER_KEY),
     nullptr, VANTREL_WIDE(VANTREL_PROVIDER_CLSID), false},
};

HRESULT FromWin32(LSTATUS status) {
  if (status == ERROR_SUCCESS) return S_OK;
  if (status > 0) return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
  return static_cast<HRESULT>(status);
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  // The path of this DLL, not of the program that loaded it. Without it the
  // class key would name no module at all, so nothing is written then.
  wchar_t modulePath[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(moduleInstance, modulePath, MAX_PATH);
  if (length == 0) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  // A cut-off path is as useless as none.
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

  // Every entry is tried; the result is the last failure, if any.
  HRESULT result = S_OK;
  for (const ModuleRegistryValue& value : kModuleValues) {
    const RegistryValueEntry entry{HKEY_CLASSES_ROOT, value.subKey, value.valueName, REG_SZ,
                                   value.data != nullptr ? value.data : modulePath};
    const HRESULT written = WriteRegistryValueEntry(entry);
    if (FAILED(written)) result = written;
  }
  return result;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT result = S_OK;
  for (const ModuleRegistryValue& value : kModuleValues) {
    if (!value.removedByUnregister) continue;
    const HRESULT deleted = FromWin32(RegDeleteTreeW(HKEY_CLASSES_ROOT, value.subKey));
    if (FAILED(deleted)) result = deleted;
  }
  return result;
}
