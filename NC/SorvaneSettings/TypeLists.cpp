#include "TypeLists.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DisplayOptions.h"
#include "ProductFacts.h"
#include "RegistryValue.h"

const wchar_t kThumbnailProviderClassId[] = VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
const wchar_t kPreviewHandlerClassId[] = VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);

namespace {

const TypeListInfo kThumbnailList = {
    VANTREL_THUMBNAIL_LIST_FILE,
    VANTREL_THUMBNAIL_HANDLER_KEY,
    VANTREL_PROVIDER_CLSID,
    L"The file type is already registered in the registry",
};

const TypeListInfo kPreviewList = {
    VANTREL_PREVIEW_LIST_FILE,
    VANTREL_PREVIEW_HANDLER_KEY,
    VANTREL_PREVIEW_HANDLER_CLSID,
    L"The file type is already registered in the Windows registry",
};

constexpr char kSeparator = ';';

// The pieces between separators, empty ones included, so that indexes match
// the entry count of the list format.
std::vector<std::string> SplitTypeList(const std::string& text) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(kSeparator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

bool ListHoldsType(const std::string& text, const std::string& type) {
  for (const std::string& entry : SplitTypeList(text)) {
    if (entry == type) return true;
  }
  return false;
}

bool IsTypeCharacter(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

const TypeListInfo& GetTypeListInfo(TypeList list) {
  return list == TypeList::Thumbnail ? kThumbnailList : kPreviewList;
}

bool ValidateFileType(const std::string& type, std::wstring& message) {
  int dots = 0;
  for (const char c : type) {
    if (c == '.') {
      ++dots;
    } else if (!IsTypeCharacter(static_cast<unsigned char>(c))) {
      message = L"File type contains a non supported character";
      return false;
    }
  }
  if (dots == 0) {
    message = L"Type needs to start with a dot";
    return false;
  }
  if (dots > 1) {
    message = L"More then one dot in file type.";
    return false;
  }
  // One dot that is not the first byte ("ab.c") would be refused later by
  // both additions without a word; say why here instead.
  if (type[0] != '.') {
    message = L"Type needs to start with a dot";
    return false;
  }
  return true;
}

bool GetTypeListPath(TypeList list, std::string& path) {
  // Room for any path the narrow file functions can open.
  std::vector<char> buffer(4 * MAX_PATH);
  if (!GetSettingsFilePath(GetTypeListInfo(list).fileName, buffer.data(), buffer.size())) {
    return false;
  }
  path = buffer.data();
  return true;
}

bool ReadTypeList(TypeList list, std::string& text) {
  text.clear();
  std::string path;
  if (!GetTypeListPath(list, path)) return false;
  FILE* file = std::fopen(path.c_str(), "rt");
  if (!file) return false;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    // Text mode may hand back fewer bytes than the file holds (line ends).
    text.resize(std::fread(&text[0], 1, text.size(), file));
  }
  std::fclose(file);
  return true;
}

bool WriteTypeList(TypeList list, const std::string& text) {
  std::string path;
  if (!GetTypeListPath(list, path)) return false;
  FILE* file = std::fopen(path.c_str(), "wt");
  if (!file) return false;
  // A short write, or a close that cannot flush what was buffered (a full
  // disk), leaves the list incomplete: that is a failed write.
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

int CountTypeListEntries(TypeList list) {
  std::string text;
  ReadTypeList(list, text);
  return static_cast<int>(SplitTypeList(text).size());
}

bool GetTypeListEntry(TypeList list, int index, std::string& entry) {
  std::string text;
  ReadTypeList(list, text);
  const std::vector<std::string> pieces = SplitTypeList(text);
  if (index < 0 || static_cast<size_t>(index) >= pieces.size()) return false;
  entry = pieces[static_cast<size_t>(index)];
  return !entry.empty();
}

void CreateMissingTypeLists() {
  // Without the folder and the files every addition would fail with "Unable
  // to read settings file"; an empty file is an empty list.
  EnsureSettingsFolder();
  for (const TypeList list : {TypeList::Thumbnail, TypeList::Preview}) {
    std::string path;
    if (!GetTypeListPath(list, path)) continue;
    // CREATE_NEW makes the file only where none exists, so a list that is
    // already there is never opened for writing.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
}

std::wstring WidenText(const std::string& text) {
  const size_t length = std::mbstowcs(nullptr, text.c_str(), 0);
  if (length == static_cast<size_t>(-1)) return {};
  std::wstring wide(length, L'\0');
  std::mbstowcs(&wide[0], text.c_str(), length);
  return wide;
}

std::string GetHandlerKeyPath(TypeList list, const std::string& type) {
  return type + "\\shellex\\" + GetTypeListInfo(list).handlerKey;
}

int RegisterTypeForHandler(TypeList list, const std::string& type) {
  if (type.size() < 2 || type.size() > kMaxTypeLength || type[0] != '.') return kNotAType;
  std::string text;
  if (!ReadTypeList(list, text)) return kListNotReadable;
  const bool listed = ListHoldsType(text, type);

  // The association is written again even when the type is listed, which
  // repairs a key that was deleted behind the program's back. Key paths and
  // class identifiers are built narrow and handed to the wide registry calls.
  const std::wstring keyPath = WidenText(GetHandlerKeyPath(list, type));
  const std::wstring classId = WidenText(GetTypeListInfo(list).classId);
  const RegistryValueEntry entry = {HKEY_CLASSES_ROOT, keyPath.c_str(), nullptr, REG_SZ,
                                    classId.c_str()};
  if (WriteRegistryValueEntry(entry) == S_OK) return listed ? kAlreadyListed : kTypeAdded;

  DWORD valueType = 0;
  DWORD size = 0;
  if (SHGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), nullptr, &valueType, nullptr, &size) !=
      ERROR_SUCCESS) {
    return kKeyNotCreated;
  }
  return listed ? kAlreadyListed : kAlreadyRegistered;
}

int AddTypeToList(TypeList list, const std::string& type) {
  const int result = RegisterTypeForHandler(list, type);
  if (result != kTypeAdded) return result;
  std::string text;
  if (!ReadTypeList(list, text)) return kListNotReadable;
  text = text.empty() ? type : text + kSeparator + type;
  return WriteTypeList(list, text) ? kTypeAdded : kListNotWritable;
}

bool RemoveTypeFromList(TypeList list, const std::string& type) {
  std::string text;
  ReadTypeList(list, text);
  std::string kept;
  bool found = false;
  for (const std::string& entry : SplitTypeList(text)) {
    if (entry == type) {
      found = true;
    } else if (!entry.empty()) {
      if (!kept.empty()) kept += kSeparator;
      kept += entry;
    }
  }
  // A selection that no longer matches the file has nothing to remove.
  if (!found) return false;

  // The key goes first: should its deletion fail, the type stays listed and
  // the dialog can still reach it. A key that is already gone is what the
  // removal wants, so it counts as deleted. A key that names another class
  // is another product's association (registered since, or listed by
  // whoever wrote the list): it stays, and the type just leaves our list.
  const std::wstring keyPath = WidenText(GetHandlerKeyPath(list, type));
  wchar_t named[MAX_PATH] = {};
  DWORD size = sizeof named - sizeof(wchar_t);
  const LSTATUS read = SHGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), nullptr, nullptr, named, &size);
  if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND && read != ERROR_MORE_DATA) {
    return false;  // unreadable: whose it is cannot be told
  }
  const bool ours =
      read == ERROR_SUCCESS && lstrcmpiW(named, WidenText(GetTypeListInfo(list).classId).c_str()) == 0;
  if (ours) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, keyPath.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
  }
  return WriteTypeList(list, kept);
}
