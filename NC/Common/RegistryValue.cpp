#include "RegistryValue.h"

#include <shlwapi.h>

#include <cwchar>

namespace {

// A string value longer than this is taken as unterminated: the byte count
// of the value (characters plus terminator, two bytes each) must fit a DWORD.
constexpr size_t kMaxValueChars = 0x3FFFFFFF;

}  // namespace

HRESULT WriteRegistryValueEntry(const RegistryValueEntry& entry) {
  if (entry.data == nullptr) return E_INVALIDARG;
  const size_t length = wcsnlen(entry.data, kMaxValueChars);
  if (length >= kMaxValueChars) return E_INVALIDARG;

  // The terminator is stored too, so an empty string becomes a value of 2 bytes.
  const DWORD byteCount = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
  const LSTATUS status = SHSetValueW(entry.rootKey, entry.subKey, entry.valueName,
                                     entry.valueType, entry.data, byteCount);
  if (status == ERROR_SUCCESS) return S_OK;
  if (status > 0) return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
  return static_cast<HRESULT>(status);
}
