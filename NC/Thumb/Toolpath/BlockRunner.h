#pragma once
// What the block runners of every dialect share: the run's state, the copy
// of the block they read, and the text they hand the scanner (the block's
// words with their values written in).
#include <cstddef>
#include <cstdint>

#include "NcPathContext.h"

class BlockRunner {
 protected:
  BlockRunner(NcPathContext& ctx, StreamReader& reader, char* out)
      : ctx_(ctx), eval_(ctx.eval), reader_(reader), out_(out) {}

  // Text that does not fit is dropped: the block is read as far as it got.
  void Emit(char c) {
    if (outLength_ < kKeywordTextSize - 1) out_[outLength_++] = c;
  }
  // A value as the word reader takes it: its sign, its whole part and up to
  // four decimals, as controls keep them. |value| lies below 1e10: callers
  // leave larger values out.
  void EmitNumber(double value);

  NcPathContext& ctx_;
  Evaluation& eval_;
  StreamReader& reader_;
  char* out_;
  size_t outLength_ = 0;

  char text_[kKeywordTextSize];  // the code, copied: a search moves the reader's buffer
  const char* end_ = nullptr;
  uint64_t blockAt_ = 0, next_ = 0;
};
