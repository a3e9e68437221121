#include "DescriptorSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

DescriptorSource::~DescriptorSource() {
  if (fd_ >= 0) close(fd_);
}

bool DescriptorSource::Open(const char* path, std::string& error) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // Only a regular file holds a program: a directory cannot be read, and a
  // pipe or device neither seeks nor ends.
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    close(fd);
    return false;
  }
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  ClearFailure();
  return true;
}

bool DescriptorSource::Read(void* buffer, uint32_t size, uint32_t* got) {
  if (got != nullptr) *got = 0;
  if (fd_ < 0) return false;
  ssize_t count;
  do {
    count = read(fd_, buffer, size);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    NoteReadFailure(errno);
    return false;
  }
  if (got != nullptr) *got = static_cast<uint32_t>(count);
  return true;
}

bool DescriptorSource::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (fd_ < 0) return false;
  const int whence = origin == SeekOrigin::Set ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  const off_t position = lseek(fd_, static_cast<off_t>(offset), whence);
  if (position < 0) return false;
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(position);
  return true;
}
