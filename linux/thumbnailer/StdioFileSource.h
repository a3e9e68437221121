#pragma once
// A byte source over a file, read in the interpreter's large chunks.
#include <cstdio>
#include <string>

#include "FileSource.h"

class StdioFileSource final : public FileSource {
 public:
  StdioFileSource() = default;
  ~StdioFileSource() override;
  StdioFileSource(const StdioFileSource&) = delete;
  StdioFileSource& operator=(const StdioFileSource&) = delete;

  // Opens a regular file for reading. On failure returns false and puts the
  // reason (as strerror gives it) into `error`.
  bool Open(const char* path, std::string& error);

  bool Read(void* buffer, uint32_t size, uint32_t* got) override;
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override;

 private:
  std::FILE* file_ = nullptr;
};
