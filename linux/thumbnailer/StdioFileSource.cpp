#include "StdioFileSource.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

StdioFileSource::~StdioFileSource() {
  if (file_ != nullptr) std::fclose(file_);
}

bool StdioFileSource::Open(const char* path, std::string& error) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  // A directory opens like a file but cannot be read, and a pipe or device
  // cannot be read twice: only regular files hold a program.
  struct stat info {};
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    std::fclose(file);
    return false;
  }
  // The interpreter asks for whole chunks; a stdio buffer would only copy
  // them once more.
  std::setvbuf(file, nullptr, _IONBF, 0);
  if (file_ != nullptr) std::fclose(file_);
  file_ = file;
  ClearFailure();
  return true;
}

bool StdioFileSource::Read(void* buffer, uint32_t size, uint32_t* got) {
  if (got != nullptr) *got = 0;
  if (file_ == nullptr) return false;
  const size_t count = std::fread(buffer, 1, size, file_);
  if (got != nullptr) *got = static_cast<uint32_t>(count);
  if (count < size && std::ferror(file_)) {
    NoteReadFailure(errno);
    return false;
  }
  return true;
}

bool StdioFileSource::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (file_ == nullptr) return false;
  const int whence = origin == SeekOrigin::Set ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  if (fseeko(file_, static_cast<off_t>(offset), whence) != 0) return false;
  const off_t position = ftello(file_);
  if (position < 0) return false;
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(position);
  return true;
}
