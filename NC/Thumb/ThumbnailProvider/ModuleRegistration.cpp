#include "ModuleRegistration.h"

#include <shlwapi.h>

#include "ComServer.h"
#include "RegistryValue.h"

namespace {

HRESULT FromWin32(LSTATUS status) {
  if (status == ERROR_SUCCESS) return S_OK;
  if (status > 0) return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
  return static_cast<HRESULT>(status);
}

// Whether the key's default value is `data`; class identifiers compare
// without regard to letter case, as COM reads them.
bool KeyHolds(HKEY root, const wchar_t* subKey, const wchar_t* data) {
  wchar_t held[MAX_PATH] = {};
  DWORD size = sizeof held - sizeof(wchar_t);
  DWORD type = 0;
  if (SHGetValueW(root, subKey, nullptr, &type, held, &size) != ERROR_SUCCESS) return false;
  return type == REG_SZ && lstrcmpiW(held, data) == 0;
}

HRESULT Remove(const ModuleRegistryValue& value) {
  switch (value.removal) {
    case ModuleRegistryValue::KeyTree:
      return FromWin32(RegDeleteTreeW(value.root, value.subKey));
    case ModuleRegistryValue::Value: {
      const LSTATUS status = SHDeleteValueW(value.root, value.subKey, value.valueName);
      return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(status);
    }
    case ModuleRegistryValue::KeyIfOurs: {
      // Another product may have taken the key over since: then it is theirs.
      if (!KeyHolds(value.root, value.subKey, value.data)) return S_OK;
      const LSTATUS status = RegDeleteTreeW(value.root, value.subKey);
      return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(status);
    }
    case ModuleRegistryValue::Stays:
      break;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterModuleValues(const ModuleRegistryValue* values, size_t count) {
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

  HRESULT result = S_OK;
  for (size_t i = 0; i < count; ++i) {
    const ModuleRegistryValue& value = values[i];
    const RegistryValueEntry entry{value.root, value.subKey, value.valueName, REG_SZ,
                                   value.data != nullptr ? value.data : modulePath};
    const HRESULT written = WriteRegistryValueEntry(entry);
    if (FAILED(written)) result = written;
  }
  return result;
}

HRESULT UnregisterModuleValues(const ModuleRegistryValue* values, size_t count) {
  HRESULT result = S_OK;
  for (size_t i = 0; i < count; ++i) {
    const HRESULT removed = Remove(values[i]);
    if (FAILED(removed)) result = removed;
  }
  return result;
}
