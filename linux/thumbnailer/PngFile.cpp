#include "PngFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Cairo's PNG encoder hands its bytes to this writer.
cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
  auto* file = static_cast<std::FILE*>(closure);
  return std::fwrite(data, 1, length, file) == length ? CAIRO_STATUS_SUCCESS
                                                       : CAIRO_STATUS_WRITE_ERROR;
}

// "dir/.name.XXXXXX" for "dir/name": hidden, and on the target's file
// system, so the rename is atomic.
std::vector<char> TemporaryPathTemplate(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string pattern = folder + "." + name + ".XXXXXX";
  return std::vector<char>(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
}

// The permissions a newly created file gets (mkstemp makes it private).
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool WritePngFile(cairo_surface_t* surface, const std::string& path, std::string& error) {
  std::vector<char> temporary = TemporaryPathTemplate(path);
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    close(descriptor);
    unlink(temporary.data());
    return false;
  }

  (void)fchmod(descriptor, NewFileMode());
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, WriteToFile, file);
  const int writeErrno = std::ferror(file) ? errno : 0;
  const bool closed = std::fclose(file) == 0;
  const int closeErrno = errno;
  if (status != CAIRO_STATUS_SUCCESS || !closed) {
    const char* reason = writeErrno != 0     ? std::strerror(writeErrno)
                         : !closed           ? std::strerror(closeErrno)
                                             : cairo_status_to_string(status);
    error = "cannot write " + path + ": " + reason;
    unlink(temporary.data());
    return false;
  }
  if (std::rename(temporary.data(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temporary.data());
    return false;
  }
  return true;
}
