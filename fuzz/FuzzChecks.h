#pragma once
// What every fuzz run checks beyond "no crash, no leak, no undefined
// behaviour": the results a caller reads are in range, the canvases see a
// well-formed call sequence, and a run is a pure function of its input.
// A broken rule aborts, which libFuzzer reports with the input.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "NcPathContext.h"
#include "RecordingCanvas.h"
#include "RecordingThumbnailCanvas.h"
#include "ThumbnailComposition.h"

#define FUZZ_CHECK(condition)                                                           \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)

inline bool SameCalls(const std::vector<CanvasCall>& a, const std::vector<CanvasCall>& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    const CanvasCall& x = a[k];
    const CanvasCall& y = b[k];
    if (x.kind != y.kind || x.a != y.a || x.b != y.b || x.c != y.c || x.d != y.d ||
        x.red != y.red || x.green != y.green || x.blue != y.blue)
      return false;
  }
  return true;
}

// The results the overlays and the trace read after a run.
inline bool SameResults(const NcPathContext& a, const NcPathContext& b) {
  if (a.plane != b.plane || a.isTnc != b.isTnc || a.commentCount != b.commentCount ||
      a.fitValid != b.fitValid)
    return false;
  for (int k = 0; k < a.commentCount && k < MAX_COMMENTS; ++k) {
    if (std::strcmp(a.comments[k], b.comments[k]) != 0) return false;
  }
  // Compared as bits: a NaN must come out the same way each time too.
  return std::memcmp(&a.scale, &b.scale, sizeof a.scale) == 0 &&
         std::memcmp(&a.offsetX, &b.offsetX, sizeof a.offsetX) == 0 &&
         std::memcmp(&a.offsetY, &b.offsetY, sizeof a.offsetY) == 0;
}

inline void CheckResults(const NcPathContext& ctx) {
  FUZZ_CHECK(ctx.plane == -1 || ctx.plane == 1 || ctx.plane == 2);
  FUZZ_CHECK(ctx.isTnc == 0 || ctx.isTnc == 1);
  FUZZ_CHECK(ctx.commentCount >= 0 && ctx.commentCount <= MAX_COMMENTS);
  for (int k = 0; k < ctx.commentCount; ++k) {
    FUZZ_CHECK(std::memchr(ctx.comments[k], '\0', COMMENT_SIZE) != nullptr);
  }
  FUZZ_CHECK(std::memchr(ctx.commentText, '\0', COMMENT_SIZE) != nullptr);
  if (ctx.fitValid) {
    FUZZ_CHECK(ctx.scale > 0 && ctx.scale < 1e308);
    FUZZ_CHECK(ctx.offsetX == ctx.offsetX && ctx.offsetY == ctx.offsetY);
  }
}

// The run ends with exactly one EndRun, and nothing follows it; a canvas
// that draws lines only (the export's) never receives a circle; the
// interpreter never asks for a circle of radius below 1.
inline void CheckCalls(const std::vector<CanvasCall>& calls, bool linesOnly) {
  FUZZ_CHECK(!calls.empty() && calls.back().kind == CanvasCall::End);
  for (size_t k = 0; k + 1 < calls.size(); ++k) {
    FUZZ_CHECK(calls[k].kind != CanvasCall::End);
    if (calls[k].kind == CanvasCall::Circle) {
      FUZZ_CHECK(!linesOnly);
      FUZZ_CHECK(calls[k].c >= 1);
    }
  }
}

// Valid UTF-8, as the text back-ends expect: no stray continuation byte, no
// overlong form, no surrogate, nothing above U+10FFFF.
inline bool IsValidUtf8(const std::string& text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.c_str());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = s[i];
    int length = 0;
    uint32_t code = 0, min = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2, code = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, code = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, code = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (s[i + k] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

inline void CheckOverlays(const RecordingThumbnailCanvas& canvas, const NcPathContext& ctx,
                          const ThumbnailOptions& options) {
  CheckCalls(canvas.path.calls, false);
  FUZZ_CHECK(!canvas.overlays.empty() && canvas.overlays.front().kind == OverlayCall::Begin);
  size_t texts = 0;
  for (const OverlayCall& call : canvas.overlays) {
    if (call.kind != OverlayCall::Text) continue;
    ++texts;
    FUZZ_CHECK(IsValidUtf8(call.text));
  }
  // The version text, two axis letters, the dialect, one per comment.
  const size_t expected = 1 + (options.showAxis ? 2 : 0) + (options.showType ? 1 : 0) +
                          (options.showComment ? static_cast<size_t>(ctx.commentCount) : 0);
  FUZZ_CHECK(texts == expected);
}
