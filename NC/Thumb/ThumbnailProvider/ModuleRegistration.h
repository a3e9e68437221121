#pragma once
// DllRegisterServer and DllUnregisterServer of a module, from one table of
// the registry values it writes, which both read.
#include <windows.h>

#include <cstddef>

struct ModuleRegistryValue {
  // What DllUnregisterServer does with the value.
  enum Removal {
    Stays,        // left in place
    KeyTree,      // the key is deleted with everything below it
    Value,        // the value alone is deleted
    KeyIfOurs,    // the key is deleted while its value still holds `data`
  };
  HKEY root;
  const wchar_t* subKey;
  const wchar_t* valueName;  // null: the key's default value
  const wchar_t* data;       // null: the full path of this module's file
  Removal removal;
};

// Writes every value of the table, in order. Every entry is tried; the
// result is the last failure, if any. Nothing is written when the module's
// own path cannot be had.
HRESULT RegisterModuleValues(const ModuleRegistryValue* values, size_t count);

// Undoes the table's removals. A key or value that is already gone counts
// as removed, except a class key tree (a second unregistration reports
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)). The result is the last failure.
HRESULT UnregisterModuleValues(const ModuleRegistryValue* values, size_t count);
