// Fuzz target: the whole input is an NC program, read from memory. The
// interpreter runs twice (a run must be a pure function of its input), then
// the composition runs at the classic size with every overlay (its path must
// be the interpreter's) and once more with options taken from the input.
#include <cstddef>
#include <cstdint>

#include "FuzzRuns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PathRun first;
  {
    MemorySource source(data, size);
    RunPath(source, first);
  }
  CheckPathRun(first);

  PathRun second;
  {
    // Start from a position other than 0: each pass seeks to the start.
    MemorySource source(data, size);
    uint64_t ignored = 0;
    source.Seek(static_cast<int64_t>(size / 2), SeekOrigin::Set, &ignored);
    RunPath(source, second);
  }
  FUZZ_CHECK(SameResults(first.ctx, second.ctx));
  FUZZ_CHECK(SameCalls(first.graphics.calls, second.graphics.calls));

  ThumbnailOptions classic;
  classic.showAxis = classic.showComment = classic.showType = true;
  ComposeRun composed;
  {
    MemorySource source(data, size);
    RunCompose(source, classic, composed);
  }
  // The classic thumbnail draws the path exactly as the interpreter alone.
  FUZZ_CHECK(SameResults(first.ctx, composed.ctx));
  FUZZ_CHECK(SameCalls(first.graphics.calls, composed.canvas.path.calls));

  uint32_t bits = static_cast<uint32_t>(size);
  for (size_t k = 0; k < size && k < 4; ++k) bits = bits * 31u + data[k];
  ComposeRun scaled;
  {
    MemorySource source(data, size);
    RunCompose(source, OptionsFrom(bits), scaled);
  }
  FUZZ_CHECK(scaled.ctx.plane == first.ctx.plane && scaled.ctx.isTnc == first.ctx.isTnc &&
             scaled.ctx.commentCount == first.ctx.commentCount);
  return 0;
}
