#include "DisplayOptions.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "ProductFacts.h"

namespace {

constexpr const char* kSettingsFolderName = VANTREL_SETTINGS_FOLDER;

// The option files' full paths, terminator included, fit in this many bytes.
constexpr size_t kOptionPathSize = 272;

// Room for the narrow common application-data folder: a code page may need
// two bytes for one character of the shell's 260-character path.
constexpr size_t kFolderPathSize = 2 * MAX_PATH + 1;

bool DirectoryExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "<common application data>\Kestrova" into `path`, refused when it does not fit.
bool GetSettingsFolderPath(char* path, size_t size) {
  char folder[kFolderPathSize];
  if (!GetCommonDataFolder(folder, sizeof folder)) return false;
  const int length = std::snprintf(path, size, "%s\\%s", folder, kSettingsFolderName);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    if (size > 0) path[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

const char* DisplayOptionFileName(DisplayOption option) {
  switch (option) {
    case DisplayOption::ShowAxis: return VANTREL_SHOW_AXIS_FILE;
    case DisplayOption::ShowComment: return VANTREL_SHOW_COMMENT_FILE;
    case DisplayOption::ShowType: return VANTREL_SHOW_TYPE_FILE;
  }
  return "";
}

bool GetCommonDataFolder(char* path, size_t size) {
  if (path == nullptr || size == 0) return false;
  path[0] = '\0';
  wchar_t widePath[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              widePath))) {
    return false;
  }
  // The option files are opened with the narrow file functions, which take
  // paths in the ANSI code page; a folder name that code page cannot spell
  // is refused instead of being turned into some other folder's name.
  BOOL usedDefault = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, widePath, -1, path,
                                        static_cast<int>(size < 0x7FFFFFFF ? size : 0x7FFFFFFF),
                                        nullptr, &usedDefault);
  if (bytes <= 0 || usedDefault) {
    path[0] = '\0';
    return false;
  }
  return true;
}

bool GetSettingsFilePath(const char* fileName, char* path, size_t size) {
  if (fileName == nullptr || path == nullptr || size == 0) return false;
  char folder[kFolderPathSize];
  if (!GetSettingsFolderPath(folder, sizeof folder)) {
    path[0] = '\0';
    return false;
  }
  const int length = std::snprintf(path, size, "%s\\%s", folder, fileName);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    path[0] = '\0';
    return false;
  }
  return true;
}

bool EnsureSettingsFolder() {
  char folder[kFolderPathSize];
  if (!GetSettingsFolderPath(folder, sizeof folder)) return false;
  if (DirectoryExists(folder)) return true;
  // The common application-data folder itself always exists; only the
  // last level can be missing.
  CreateDirectoryA(folder, nullptr);
  return DirectoryExists(folder);
}

bool ReadDisplayOption(DisplayOption option) {
  char path[kOptionPathSize];
  if (!GetSettingsFilePath(DisplayOptionFileName(option), path, sizeof path)) return false;
  FILE* file = std::fopen(path, "rt");
  if (file == nullptr) return false;
  const int first = std::fgetc(file);
  std::fclose(file);
  return first == '1';
}

bool WriteDisplayOption(DisplayOption option, bool on) {
  char path[kOptionPathSize];
  if (!GetSettingsFilePath(DisplayOptionFileName(option), path, sizeof path)) return false;
  // Without the folder the user's choice would be lost without a word.
  if (!EnsureSettingsFolder()) return false;
  FILE* file = std::fopen(path, "wt");
  // A file that cannot be emptied (say, held open without sharing) may still
  // take an appended byte; readers then keep seeing its old first byte.
  if (file == nullptr) file = std::fopen(path, "at");
  if (file == nullptr) return false;
  const bool written = std::fputc(on ? '1' : '0', file) != EOF;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}
