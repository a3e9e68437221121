#pragma once
// Feeds the interpreter from a COM stream. The interpreter's StreamReader
// asks for whole chunks, so a program costs one IStream::Read per chunk, not
// one per byte; positions and step-backs never reach the stream.
#include <windows.h>
#include <objidl.h>

#include "ByteSource.h"

class ComStreamSource final : public ByteSource {
 public:
  // The stream stays the caller's: no reference is added or released.
  explicit ComStreamSource(IStream* stream) : stream_(stream) {}

  // A failed Read or Seek returns false, which ends the interpreter's pass.
  bool Read(void* buffer, uint32_t size, uint32_t* got) override;
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override;

  // S_OK, or the error of the first Read or Seek that failed: the picture
  // drawn from such a stream is incomplete. The end of the data (a read of
  // zero bytes that succeeded) is no failure.
  HRESULT Failure() const { return failure_; }

 private:
  HRESULT Remember(HRESULT result) {
    if (FAILED(result) && SUCCEEDED(failure_)) failure_ = result;
    return result;
  }

  IStream* stream_;
  HRESULT failure_ = S_OK;
};
