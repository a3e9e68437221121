#include "PngFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Cairo's PNG encoder hands its bytes to this writer.
cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* bytes = static_cast<Bytes*>(closure);
  try {
    bytes->insert(bytes->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;  // no exception may cross Cairo's C frames
  }
  return CAIRO_STATUS_SUCCESS;
}

bool WriteAll(int descriptor, const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Into the existing file itself: a regular file is emptied, then filled,
// and emptied again when the bytes do not all fit (a full disk), so no
// reader takes half a PNG for a picture. A device or pipe is just written.
bool WriteInPlace(const std::string& path, bool regular, const Bytes& bytes,
                  std::string& error) {
  const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = (!regular || ftruncate(descriptor, 0) == 0) && WriteAll(descriptor, bytes);
  const int writeErrno = errno;
  if (!written && regular) (void)ftruncate(descriptor, 0);
  const bool closed = close(descriptor) == 0;
  if (!written || !closed) {
    error = "cannot write " + path + ": " + std::strerror(written ? errno : writeErrno);
    return false;
  }
  return true;
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

// A new file: written whole under a temporary name, then renamed into place.
bool WriteBeside(const std::string& path, const Bytes& bytes, std::string& error) {
  std::vector<char> temporary = TemporaryPathTemplate(path);
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  (void)fchmod(descriptor, NewFileMode());
  const bool written = WriteAll(descriptor, bytes);
  const int writeErrno = errno;
  const bool closed = close(descriptor) == 0;
  const bool renamed = written && closed && std::rename(temporary.data(), path.c_str()) == 0;
  if (!renamed) {
    error = "cannot write " + path + ": " + std::strerror(written ? errno : writeErrno);
    unlink(temporary.data());
    return false;
  }
  return true;
}

}  // namespace

bool WritePngFile(cairo_surface_t* surface, const std::string& path, std::string& error) {
  Bytes bytes;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, AppendBytes, &bytes);
  if (status != CAIRO_STATUS_SUCCESS) {
    error = "cannot write " + path + ": " + cairo_status_to_string(status);
    return false;
  }
  // Whatever exists is written in place, never replaced: a folder then
  // fails to open, and a device node stays the device it is.
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return WriteInPlace(path, S_ISREG(info.st_mode), bytes, error);
  }
  return WriteBeside(path, bytes, error);
}
