#include "OptionFiles.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// An environment variable that holds an absolute path, or null. Relative
// values are ignored, as the base directory rules ask.
const char* AbsolutePathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

}  // namespace

std::string OptionFolder() {
  if (const char* config = AbsolutePathFromEnvironment("XDG_CONFIG_HOME")) {
    return std::string(config) + "/" VANTREL_SETTINGS_FOLDER;
  }
  const char* home = AbsolutePathFromEnvironment("HOME");
  if (home == nullptr) {
    const passwd* user = getpwuid(getuid());
    if (user == nullptr || user->pw_dir == nullptr || user->pw_dir[0] != '/') return {};
    home = user->pw_dir;
  }
  return std::string(home) + "/.config/" VANTREL_SETTINGS_FOLDER;
}

bool ReadOptionFile(const std::string& folder, const char* fileName) {
  if (folder.empty()) return false;
  const std::string path = folder + "/" + fileName;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const int first = std::fgetc(file);
  std::fclose(file);
  return first == '1';
}

ThumbnailOptions ReadOverlayOptions(int size) {
  const std::string folder = OptionFolder();
  ThumbnailOptions options;
  options.showAxis = ReadOptionFile(folder, SHOW_AXIS_FILE);
  options.showComment = ReadOptionFile(folder, SHOW_COMMENT_FILE);
  options.showType = ReadOptionFile(folder, SHOW_TYPE_FILE);
  options.size = size;
  return options;
}
