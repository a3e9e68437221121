#pragma once
// One registry string value and its writer, used by the thumbnail server's
// registration and by the settings program's file-type associations.
#include <windows.h>

struct RegistryValueEntry {
  HKEY rootKey;            // always HKEY_CLASSES_ROOT here
  const wchar_t* subKey;   // missing keys along the path are created
  const wchar_t* valueName;  // null or L"" address the default value
  DWORD valueType;         // REG_SZ for every entry of this system
  const wchar_t* data;     // the value's text
};

// Writes the value with SHSetValueW. S_OK, E_INVALIDARG for a null or
// unterminated `data`, or the Win32 error as an HRESULT.
HRESULT WriteRegistryValueEntry(const RegistryValueEntry& entry);
