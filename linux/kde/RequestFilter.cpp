#include "RequestFilter.h"

#include <cstring>

namespace {

// The extension of the file name in `path` in lower case, or "".
std::string LowerExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

}  // namespace

bool IsProgramType(const std::string& mimeType) {
  return mimeType == "text/x-nc-program" || mimeType == "text/ngc";
}

bool HasProgramName(const std::string& path) {
  static const char* const kExtensions[] = {"nc", "ngc", "tap", "cnc", "mpf", "spf", "eia", "h"};
  const std::string extension = LowerExtension(path);
  for (const char* known : kExtensions) {
    if (extension == known) return true;
  }
  return false;
}

bool StartsAsTncProgram(ByteSource& source) {
  // A line number has at most a few digits: 64 bytes hold any first line
  // that can qualify.
  char start[64];
  uint32_t filled = 0;
  while (filled < sizeof start) {
    uint32_t got = 0;
    if (!source.Read(start + filled, static_cast<uint32_t>(sizeof start) - filled, &got)) break;
    if (got == 0 || got > sizeof start - filled) break;
    filled += got;
  }
  if (!source.Seek(0, SeekOrigin::Set, nullptr)) return false;

  size_t at = 0;
  while (at < filled && start[at] >= '0' && start[at] <= '9') ++at;
  if (at > 0) {
    if (at >= filled || start[at] != ' ') return false;
    ++at;
  }
  static const char kBegin[] = "BEGIN PGM ";
  const size_t length = sizeof kBegin - 1;
  return filled - at >= length && std::memcmp(start + at, kBegin, length) == 0;
}

bool WorthReading(const std::string& path, const std::string& mimeType, ByteSource& source) {
  if (IsProgramType(mimeType)) return true;
  if (!HasProgramName(path)) return false;
  // A ".h" file typed by name is a C header unless it starts as TNC.
  if (LowerExtension(path) == "h") return StartsAsTncProgram(source);
  return true;
}
