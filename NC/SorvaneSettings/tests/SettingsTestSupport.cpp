#include "SettingsTestSupport.h"

#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "ProductFacts.h"

const char kThumbnailListFile[] = VANTREL_THUMBNAIL_LIST_FILE;
const char kPreviewListFile[] = VANTREL_PREVIEW_LIST_FILE;
const wchar_t kThumbnailHandlerKey[] = L"\\shellex\\" VANTREL_WIDE(VANTREL_THUMBNAIL_HANDLER_KEY);
const wchar_t kPreviewHandlerKey[] = L"\\shellex\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_KEY);
const wchar_t kProviderClass[] = VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
const wchar_t kPreviewClass[] = VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);

namespace {
const char* const kAllSettingsFiles[] = {
    VANTREL_THUMBNAIL_LIST_FILE, VANTREL_PREVIEW_LIST_FILE, VANTREL_SHOW_AXIS_FILE,
    VANTREL_SHOW_COMMENT_FILE, VANTREL_SHOW_TYPE_FILE};
}

std::wstring WindowsPath(const char* hostPath) {
  std::wstring path(hostPath, hostPath + std::strlen(hostPath));
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::string SettingsFolderPath() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::string(folder) + "\\" VANTREL_SETTINGS_FOLDER;
}

std::string SettingsFilePath(const char* fileName) {
  return SettingsFolderPath() + "\\" + fileName;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, read);
  std::fclose(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void RemoveSettingsFolder() {
  for (const char* name : kAllSettingsFiles) DeleteFileA(SettingsFilePath(name).c_str());
  RemoveDirectoryA(SettingsFolderPath().c_str());
}

void ResetSettingsFolder() {
  RemoveSettingsFolder();
  CreateDirectoryA(SettingsFolderPath().c_str(), nullptr);
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), "");
  WriteFileBytes(SettingsFilePath(kPreviewListFile), "");
}

bool KeyExists(const std::wstring& subKey) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::string ThumbnailFile() { return ReadFileBytes(SettingsFilePath(kThumbnailListFile)); }
std::string PreviewFile() { return ReadFileBytes(SettingsFilePath(kPreviewListFile)); }

void ExpectAssociatedWithBothHandlers(const std::wstring& type) {
  std::wstring value;
  EXPECT_TRUE(ReadDefaultValue(type + kThumbnailHandlerKey, value)) << "no thumbnail handler key";
  EXPECT_EQ(value, kProviderClass);
  value.clear();
  EXPECT_TRUE(ReadDefaultValue(type + kPreviewHandlerKey, value)) << "no preview handler key";
  EXPECT_EQ(value, kPreviewClass);
}

bool ReadDefaultValue(const std::wstring& subKey, std::wstring& value) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                   buffer.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  value = buffer.data();
  return true;
}

void WriteDefaultValue(const std::wstring& subKey, const std::wstring& value) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void DeleteKeyTree(const std::wstring& subKey) { RegDeleteTreeW(HKEY_CLASSES_ROOT, subKey.c_str()); }

void DeleteHandlerKeys(const std::wstring& type) {
  DeleteKeyTree(type + kThumbnailHandlerKey);
  DeleteKeyTree(type + kPreviewHandlerKey);
}

namespace {
// Sets a key's access list from its text form; true when it was set.
bool SetKeyAccess(const std::wstring& subKey, const wchar_t* descriptor) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &security,
                                                            nullptr)) {
    return false;
  }
  bool set = false;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  LocalFree(security);
  return set;
}
}  // namespace

KeyAccessDenial::KeyAccessDenial(const std::wstring& subKey, DWORD deniedRights) : m_subKey(subKey) {
  // Deny the rights to everyone (WD), grant everything else. The right to
  // change the access list stays granted, so that it can be taken off again.
  const DWORD denied = deniedRights & ~static_cast<DWORD>(WRITE_DAC | READ_CONTROL);
  wchar_t descriptor[96];
  swprintf(descriptor, 96, L"D:(D;;0x%08lx;;;WD)(A;;KA;;;WD)", static_cast<unsigned long>(denied));
  m_applied = SetKeyAccess(m_subKey, descriptor);
}

KeyAccessDenial::~KeyAccessDenial() {
  if (m_applied) SetKeyAccess(m_subKey, L"D:(A;;KA;;;WD)");
}

FileWriteLock::FileWriteLock(const std::string& path)
    : m_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}

FileWriteLock::~FileWriteLock() {
  if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

namespace {
const wchar_t* const kTestTypes[] = {L".nc", L".nc1", L".x", L".tap", L".a", L".b", L".zz"};

void ForgetTestTypes() {
  for (const wchar_t* type : kTestTypes) DeleteHandlerKeys(type);
}
}  // namespace

void CleanSettingsTest::SetUp() {
  ResetSettingsFolder();
  ForgetTestTypes();
}

void CleanSettingsTest::TearDown() { ForgetTestTypes(); }
