#pragma once
// A byte source over a file that keeps its first read failure. A picture
// drawn from a file that could not be read whole would stand for the file in
// the desktop's cache, so whoever renders asks Failed() afterwards and
// refuses it.
#include <cstring>
#include <string>

#include "ByteSource.h"

class FileSource : public ByteSource {
 public:
  // True once a read failed with an input error (not at the end of data).
  bool Failed() const { return failed_; }
  // The reason of the first failure, as strerror gives it.
  const std::string& FailureReason() const { return failureReason_; }

 protected:
  // Records a failed read with its errno; the first reason is kept.
  void NoteReadFailure(int error) {
    if (!failed_) failureReason_ = std::strerror(error);
    failed_ = true;
  }
  // A newly opened file starts without failure.
  void ClearFailure() {
    failed_ = false;
    failureReason_.clear();
  }

 private:
  bool failed_ = false;
  std::string failureReason_;
};
