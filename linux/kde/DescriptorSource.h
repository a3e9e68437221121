#pragma once
// The KDE plugin's byte source: a regular file read through its descriptor.
// The plugin lives in a long-running thumbnail worker that serves other
// files after ours, so the descriptor is opened close-on-exec (a child the
// worker starts later never inherits it) and without blocking (a FIFO or
// device given a program's name is refused at once, never waited on).
#include <string>

#include "FileSource.h"

class DescriptorSource final : public FileSource {
 public:
  DescriptorSource() = default;
  ~DescriptorSource() override;
  DescriptorSource(const DescriptorSource&) = delete;
  DescriptorSource& operator=(const DescriptorSource&) = delete;

  // Opens a regular file for reading. On failure returns false and puts the
  // reason into `error`.
  bool Open(const char* path, std::string& error);

  bool Read(void* buffer, uint32_t size, uint32_t* got) override;
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override;

 private:
  int fd_ = -1;
};
