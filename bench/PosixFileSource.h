#pragma once
// A ByteSource over an open file descriptor: reads come straight from the
// file in the interpreter's chunks, so memory use does not grow with the
// file's size.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "ByteSource.h"

class PosixFileSource final : public ByteSource {
 public:
  explicit PosixFileSource(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {}
  ~PosixFileSource() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixFileSource(const PosixFileSource&) = delete;
  PosixFileSource& operator=(const PosixFileSource&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  bool Read(void* buffer, uint32_t size, uint32_t* got) override {
    ssize_t n;
    do {
      n = ::read(fd_, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (got != nullptr) *got = n > 0 ? static_cast<uint32_t>(n) : 0;
    return n >= 0;
  }

  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override {
    const int whence = origin == SeekOrigin::Set ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) return false;
    if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(at);
    return true;
  }

 private:
  int fd_;
};
