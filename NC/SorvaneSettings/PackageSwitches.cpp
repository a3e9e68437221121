#include "PackageSwitches.h"

#include <windows.h>
#include <msi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "DisplayOptions.h"
#include "ProductFacts.h"

namespace {

// The command line without the blanks around it.
std::wstring Trimmed(const wchar_t* text) {
  std::wstring line = text != nullptr ? text : L"";
  const size_t first = line.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  const size_t last = line.find_last_not_of(L" \t");
  return line.substr(first, last - first + 1);
}

// Makes the file holding `content` unless one exists; never opens an
// existing file for writing.
void CreateFileIfMissing(const std::string& path, const char* content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, content, static_cast<DWORD>(std::strlen(content)), &written, nullptr);
  CloseHandle(file);
}

// Whether the preview handler's module lies beside this program, where the
// package installs it with its feature.
bool PreviewModuleInstalled() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring module = path;
  module = module.substr(0, module.find_last_of(L'\\') + 1) + VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME);
  return GetFileAttributesW(module.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool RunPackageSwitch(const wchar_t* commandLine, int& exitCode) {
  const std::wstring line = Trimmed(commandLine);
  if (lstrcmpiW(line.c_str(), L"/prepare-settings") == 0) {
    exitCode = PrepareSettingsForPackage() ? 0 : 1;
    return true;
  }
  const struct {
    const wchar_t* name;
    TypeList list;
  } removals[] = {{L"/remove-thumbnail-types", TypeList::Thumbnail},
                  {L"/remove-preview-types", TypeList::Preview}};
  for (const auto& removal : removals) {
    const std::wstring removeSwitch = removal.name;
    if (line.size() < removeSwitch.size() ||
        lstrcmpiW(line.substr(0, removeSwitch.size()).c_str(), removeSwitch.c_str()) != 0 ||
        (line.size() != removeSwitch.size() && line[removeSwitch.size()] != L' ')) {
      continue;
    }
    const std::wstring productCode = Trimmed(line.c_str() + removeSwitch.size());
    // Windows Installer tells an upgrade's removal of the older version
    // apart by a property; Wine's does not set it, so ask what is installed.
    if (!productCode.empty() && OtherProductVersionInstalled(productCode)) {
      exitCode = 0;
    } else {
      exitCode = RemoveAllListedTypes(removal.list) ? 0 : 1;
    }
    return true;
  }
  return false;
}

bool PrepareSettingsForPackage() {
  if (!EnsureSettingsFolder()) return false;
  std::string path;
  if (GetTypeListPath(TypeList::Thumbnail, path)) CreateFileIfMissing(path, VANTREL_ASSOCIATED_TYPE);
  if (PreviewModuleInstalled() && GetTypeListPath(TypeList::Preview, path)) {
    CreateFileIfMissing(path, VANTREL_ASSOCIATED_TYPE);
  }
  // Anything else still missing, empty.
  CreateMissingTypeLists();
  std::string text;
  return ReadTypeList(TypeList::Thumbnail, text) && ReadTypeList(TypeList::Preview, text);
}

bool RemoveAllListedTypes(TypeList list) {
  std::vector<std::string> types;
  const int count = CountTypeListEntries(list);
  for (int i = 0; i < count; ++i) {
    std::string type;
    // One removal drops every copy of a type, so each is removed once.
    if (GetTypeListEntry(list, i, type) &&
        std::find(types.begin(), types.end(), type) == types.end()) {
      types.push_back(type);
    }
  }
  bool removedAll = true;
  for (const std::string& type : types) {
    if (!RemoveTypeFromList(list, type)) removedAll = false;
  }
  return removedAll;
}

bool OtherProductVersionInstalled(const std::wstring& productCode) {
  // Product codes are GUIDs in braces: 38 characters and the terminator.
  wchar_t related[39] = {};
  for (DWORD i = 0; MsiEnumRelatedProductsW(VANTREL_WIDE(VANTREL_UPGRADE_CODE), 0, i, related) ==
                    ERROR_SUCCESS;
       ++i) {
    if (lstrcmpiW(related, productCode.c_str()) != 0) return true;
  }
  return false;
}
