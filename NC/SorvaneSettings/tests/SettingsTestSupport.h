// Helpers shared by the settings program's tests: the real settings folder
// of the Wine prefix, raw file bytes, and handler keys under
// HKEY_CLASSES_ROOT. The tests own every file type they touch.
#pragma once
#include <windows.h>

#include <string>

// A path of the build tree as Wine's programs see it: Wine maps the root of
// the host's file system onto drive Z:.
std::wstring WindowsPath(const char* hostPath);

// "<common application data>\Kestrova" and a file in it.
std::string SettingsFolderPath();
std::string SettingsFilePath(const char* fileName);

// The names the program uses, written out once for the tests.
extern const char kThumbnailListFile[];  // "Vantrel_RegedTypes.txt"
extern const char kPreviewListFile[];    // "Vantrel_RegedTypesPreview.txt"
extern const wchar_t kThumbnailHandlerKey[];  // "\shellex\{E357FCCD-...}"
extern const wchar_t kPreviewHandlerKey[];    // "\shellex\{8895b1c6-...}"
extern const wchar_t kProviderClass[];        // "{4C7D2E15-...}"
extern const wchar_t kPreviewClass[];         // "{A1F5C3D7-...}"

bool FileExists(const std::string& path);
// The file's bytes, read in binary mode; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// The bytes of the thumbnail and the preview list file.
std::string ThumbnailFile();
std::string PreviewFile();
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Removes both list files and the three option files, then the folder.
void RemoveSettingsFolder();
// Makes the folder with both list files empty and no option files.
void ResetSettingsFolder();

// HKEY_CLASSES_ROOT helpers.
bool KeyExists(const std::wstring& subKey);
bool ReadDefaultValue(const std::wstring& subKey, std::wstring& value);
void WriteDefaultValue(const std::wstring& subKey, const std::wstring& value);
void DeleteKeyTree(const std::wstring& subKey);
// Deletes both handler keys of a file type (the extension key stays).
void DeleteHandlerKeys(const std::wstring& type);

// Puts an access list on an existing key of HKEY_CLASSES_ROOT while the
// object lives, as an administrator's policy might, and takes it off again.
class KeyAccessDenial {
 public:
  // `deniedRights`: the rights refused to everyone, e.g. KEY_ALL_ACCESS or
  // KEY_SET_VALUE; all other rights, and the right to change the access
  // list, stay granted.
  KeyAccessDenial(const std::wstring& subKey, DWORD deniedRights);
  ~KeyAccessDenial();
  KeyAccessDenial(const KeyAccessDenial&) = delete;
  KeyAccessDenial& operator=(const KeyAccessDenial&) = delete;
  bool applied() const { return m_applied; }

 private:
  std::wstring m_subKey;
  bool m_applied = false;
};

// Holds a file open for reading and refuses others the right to write it,
// as an editor or a backup program might.
class FileWriteLock {
 public:
  explicit FileWriteLock(const std::string& path);
  ~FileWriteLock();
  FileWriteLock(const FileWriteLock&) = delete;
  FileWriteLock& operator=(const FileWriteLock&) = delete;
  bool locked() const { return m_file != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_file;
};

#include <gtest/gtest.h>

// Both handler keys of `type` exist and name the provider and the preview
// handler.
void ExpectAssociatedWithBothHandlers(const std::wstring& type);

// Each test starts from an empty settings folder with both list files
// present and empty, and without the handler keys of the test's file types.
class CleanSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
