// vantrel-thumbnailer: the thumbnail of one NC program as a PNG, for the
// desktop's file managers (see vantrel.thumbnailer) and for scripts.
//
//   vantrel-thumbnailer [-s SIZE] [--axis] [--comments] [--type] [--trace] [--calls FILE]
//                       INPUT OUTPUT.png
//
// --calls FILE lists the path's canvas calls in FILE, one a line: "L x1 y1
// x2 y2" for a line, "C left top radius" for a filled circle.
// Exit status: 0 done, 1 the input could not be read or the output not
// written, 2 the command line is wrong, 3 the input is no NC program (binary
// data, or nothing to draw). Every failure is one line on standard error,
// and leaves no picture behind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CairoThumbnailCanvas.h"
#include "OptionFiles.h"
#include "ThumbnailRender.h"

namespace {

constexpr const char* kProgram = "vantrel-thumbnailer";
constexpr const char* kUsage =
    "usage: vantrel-thumbnailer [-s SIZE] [--axis] [--comments] [--type] [--trace] "
    "[--calls FILE] INPUT OUTPUT.png";
// File managers ask for 128 to 1024 pixels; a little room on either side.
constexpr long kMinSize = 16;
constexpr long kMaxSize = 2048;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotAProgram = 3;

struct CommandLine {
  int size = THUMBNAIL_SIZE;
  bool axis = false, comments = false, type = false, trace = false;
  std::string input, output, calls;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s (%s)\n", kProgram, message.c_str(), kUsage);
  return kExitUsage;
}

// A size is plain decimal digits within the accepted range.
bool ParseSize(const char* text, int& size) {
  if (text[0] == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) return false;
  if (std::strlen(text) > 5) return false;
  const long value = std::strtol(text, nullptr, 10);
  if (value < kMinSize || value > kMaxSize) return false;
  size = static_cast<int>(value);
  return true;
}

// Returns 0 when the command line is sound, else the exit status (the
// message is printed already); -1 asks for the usage on standard output.
int Parse(int argc, char** argv, CommandLine& line) {
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      return -1;
    } else if (arg == "--axis") {
      line.axis = true;
    } else if (arg == "--comments") {
      line.comments = true;
    } else if (arg == "--type") {
      line.type = true;
    } else if (arg == "--trace") {
      line.trace = true;
    } else if (arg == "--calls") {
      if (i + 1 >= argc) return UsageError("--calls needs a file name");
      line.calls = argv[++i];
    } else if (arg.compare(0, 2, "-s") == 0) {
      const char* value = arg.size() > 2 ? argv[i] + 2 : (i + 1 < argc ? argv[++i] : nullptr);
      if (value == nullptr) return UsageError("-s needs a size");
      if (!ParseSize(value, line.size)) {
        return UsageError("size must be a whole number of pixels from " +
                          std::to_string(kMinSize) + " to " + std::to_string(kMaxSize) +
                          ", not '" + value + "'");
      }
    } else {
      return UsageError("unknown option '" + arg + "'");
    }
  }
  if (files.size() != 2) {
    return UsageError(files.size() < 2 ? "an input and an output file are needed"
                                       : "too many file names");
  }
  line.input = files[0];
  line.output = files[1];
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  const int parsed = Parse(argc, argv, line);
  if (parsed == -1) {
    std::printf("%s\n", kUsage);
    return EXIT_SUCCESS;
  }
  if (parsed != 0) return parsed;

  // The option files give the defaults; a flag switches its overlay on.
  ThumbnailOptions options = ReadOverlayOptions(line.size);
  options.showAxis = options.showAxis || line.axis;
  options.showComment = options.showComment || line.comments;
  options.showType = options.showType || line.type;

  ThumbnailRun run;
  std::string error;
  const RenderResult result =
      RenderThumbnailFile(line.input, line.output, options, run, error, line.calls);
  ReleaseFontCaches();
  if (result == RenderResult::Failed) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return kExitFailure;
  }
  // What the interpreter found explains a refusal too.
  if (line.trace) std::printf("%s\n", TraceJson(run).c_str());
  if (result == RenderResult::NotAProgram) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return kExitNotAProgram;
  }
  return EXIT_SUCCESS;
}
