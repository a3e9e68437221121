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

// Written in this order. The class identifier's letter case is the same everywhere.
constexpr ModuleRegistryValue kModuleValues[] = {
    {L"CLSID\\{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}", nullptr, L"Vantrel", true},
    {L"CLSID\\{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}\\InprocServer32", nullptr, nullptr, false},
    {L"CLSID\\{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}\\InprocServer32", L"ThreadingModel",
     L"Apartment", false},
    {L".nc\\shellex\\{E357FCCD-A995-4576-B01F-234630154E96}", nullptr,
     L"{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}", false},
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
