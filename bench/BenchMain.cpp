// vantrel-bench: measures how fast the interpreter reads NC programs of 10^4
// to 10^6 blocks, how long the command-line thumbnailer takes to a finished
// PNG, and how much memory either needs at its peak. Prints one table.
//
//   vantrel-bench [--data DIR] [--thumbnailer PATH] [--rs274 PATH] [--sizes N,Nd,Ns,...]
//                 [--repeat N]
//   vantrel-bench generate BLOCKS OUTPUT [SEED] [--dense|--spiral|--arcs|--facing|--parametric]
//   vantrel-bench interpret INPUT                  one run over a file source
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "StdioFileSource.h"
#include "NcPathContext.h"
#include "ProgramGenerator.h"
#include "RecordingCanvas.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// One row of the table: a program size and style, written as the size and a
// letter: d dense, s spiral, a arcs, f facing, p parametric ("1000000s";
// for the parametric spiral the size counts its moves).
struct Row {
  uint64_t blocks;
  ProgramStyle style;
};

struct Options {
  std::string dataDir = "bench-data";
  std::string thumbnailer;
  std::string rs274;  // LinuxCNC's interpreter, for comparison; empty: none
  std::vector<Row> rows = {{10000, ProgramStyle::Contours},   {100000, ProgramStyle::Contours},
                           {1000000, ProgramStyle::Contours}, {1000000, ProgramStyle::Dense},
                           {1000000, ProgramStyle::Spiral},   {1000000, ProgramStyle::Parametric},
                           {200000, ProgramStyle::Arcs},      {200000, ProgramStyle::Facing}};
  int repeat = 5;
};

// The interpreter as the thumbnail runs it: 251 x 251 area, margins 2.
struct RunResult {
  double seconds = 0;
  uint64_t lines = 0, markers = 0;
  int plane = 0;
};

RunResult RunInterpreter(ByteSource& source) {
  CountingCanvas canvas;
  NcPathContext ctx{};
  ctx.graphics = &canvas;
  const Clock::time_point start = Clock::now();
  DrawToolpath(ctx, source);
  RunResult result;
  result.seconds = SecondsSince(start);
  result.lines = canvas.lines;
  result.markers = canvas.markers;
  result.plane = ctx.plane;
  return result;
}

// Best of several runs: at least `minRuns`, and more while under half a
// second in all, so small programs are timed over many runs.
template <typename Run>
RunResult Best(int minRuns, Run run) {
  RunResult best;
  best.seconds = 1e30;
  double total = 0;
  for (int n = 0; n < minRuns || (total < 0.5 && n < 1000); ++n) {
    const RunResult r = run();
    total += r.seconds;
    if (r.seconds < best.seconds) best = r;
  }
  return best;
}

// One allocation of the file's size, so that freeing it gives the memory
// back at once (see main's mallopt).
bool ReadWholeFile(const std::string& path, std::vector<char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  struct stat info;
  bool ok = ::fstat(::fileno(file), &info) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(info.st_size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  return ok;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

uint64_t FileSize(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// Runs a program to its end; wall time, peak resident set (ru_maxrss, KiB)
// and whether it exited with status 0.
struct ChildResult {
  bool ok = false;
  double seconds = 0;
  long maxRssKiB = 0;
};

ChildResult RunChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ChildResult result;
  std::fflush(stdout);  // or the child would print our buffered text again
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return result;
  if (pid == 0) {
    // Keep the table clean: the child's own output goes nowhere.
    if (FILE* null = std::freopen("/dev/null", "w", stdout)) (void)null;
    if (FILE* null = std::freopen("/dev/null", "w", stderr)) (void)null;
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (::wait4(pid, &status, 0, &usage) != pid) return result;
  result.seconds = SecondsSince(start);
  result.maxRssKiB = usage.ru_maxrss;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

std::string SelfPath() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  return path;
}

struct StyleName {
  ProgramStyle style;
  char letter;
  const char* name;
};
constexpr StyleName kStyles[] = {{ProgramStyle::Contours, '\0', ""},
                                 {ProgramStyle::Dense, 'd', "-dense"},
                                 {ProgramStyle::Spiral, 's', "-spiral"},
                                 {ProgramStyle::Arcs, 'a', "-arcs"},
                                 {ProgramStyle::Facing, 'f', "-facing"},
                                 {ProgramStyle::Parametric, 'p', "-parametric"}};

std::string RowName(const Row& row) {
  for (const StyleName& s : kStyles)
    if (s.style == row.style) return std::to_string(row.blocks) + s.name;
  return std::to_string(row.blocks);
}

// Time to PNG over several runs: the best and the median.
struct PngTiming {
  bool ok = false;
  double best = 0, median = 0;
  long maxRssKiB = 0;
};

PngTiming TimePng(const Options& options, const std::string& input, const Row& row) {
  PngTiming timing;
  const std::string output = options.dataDir + "/bench-" + RowName(row) + ".png";
  std::vector<double> times;
  for (int n = 0; n < options.repeat; ++n) {
    std::remove(output.c_str());
    const ChildResult r = RunChild({options.thumbnailer, input, output});
    if (!r.ok || !FileExists(output)) return timing;
    times.push_back(r.seconds);
    timing.maxRssKiB = std::max(timing.maxRssKiB, r.maxRssKiB);
  }
  std::sort(times.begin(), times.end());
  timing.ok = true;
  timing.best = times.front();
  timing.median = times[times.size() / 2];
  return timing;
}

double MiB(long kib) { return static_cast<double>(kib) / 1024.0; }

// rs274 refuses the program-number line and the "%" lines: it reads a copy
// without them. Interpreting only, no picture; the best of the runs.
double TimeRs274(const Options& options, const std::string& input) {
  const std::string copy = input + ".rs274.ngc";
  FILE* in = std::fopen(input.c_str(), "rb");
  FILE* out = std::fopen(copy.c_str(), "wb");
  bool ok = in != nullptr && out != nullptr;
  char line[512];
  while (ok && std::fgets(line, sizeof line, in) != nullptr) {
    if (line[0] == '%' || line[0] == 'O') continue;
    ok = std::fputs(line, out) >= 0;
  }
  if (in != nullptr) std::fclose(in);
  if (out != nullptr && std::fclose(out) != 0) ok = false;
  double best = -1;
  for (int n = 0; ok && n < std::min(options.repeat, 3); ++n) {
    const ChildResult r = RunChild({options.rs274, "-g", copy, "/dev/null"});
    if (!r.ok) return -1;
    if (best < 0 || r.seconds < best) best = r.seconds;
  }
  std::remove(copy.c_str());
  return best;
}

int RunTable(const Options& options) {
  ::mkdir(options.dataDir.c_str(), 0755);
  const std::string self = SelfPath();
  const bool withPng = !options.thumbnailer.empty() && FileExists(options.thumbnailer);

  std::printf("Interpreter: DrawToolpath with a counting canvas, 251 x 251 area; best of >= %d runs.\n",
              options.repeat);
  std::printf("MB = 10^6 bytes. RSS = peak resident set (ru_maxrss) of a child process.\n");
  if (withPng) {
    std::printf("PNG: %s INPUT OUTPUT.png, default 255 x 255 picture, wall time per run.\n",
                options.thumbnailer.c_str());
  } else {
    std::printf("PNG: no thumbnailer given or found; interpreter figures only.\n");
  }
  std::printf("Programs: contours (moves of a few mm), dense (long moves, arcs up to R25),\n"
              "  spiral (tiny moves, I/J half-circles and R arcs), arcs (I/J, 3 to 40 px radius),\n"
              "  facing (passes across a 100 x 100 part),\n"
              "  parametric (the spiral's count of straight moves from a 23-line while loop).\n");
  const bool withRs274 = !options.rs274.empty() && FileExists(options.rs274);
  if (withRs274) {
    std::printf("rs274: %s -g, interpreting only, best of <= 3 runs; x = rs274 / png best.\n",
                options.rs274.c_str());
  }
  std::printf("\n%15s %10s %9s %9s %9s %9s %9s %10s %10s %9s %9s %9s %6s\n", "blocks", "bytes",
              "mem MB/s", "file MB/s", "mem ms", "file ms", "run RSS", "png best", "png median",
              "png MB/s", "png RSS", "rs274", "x");

  for (const Row& row : options.rows) {
    // Always written anew (about a second for 30 MB), so the data never
    // lags behind the generator.
    const std::string path = options.dataDir + "/bench-" + RowName(row) + ".nc";
    if (!WriteProgramFile(path.c_str(), row.blocks, kDefaultSeed, nullptr, row.style)) {
      std::fprintf(stderr, "vantrel-bench: cannot write %s\n", path.c_str());
      return 1;
    }
    std::vector<char> bytes;
    if (!ReadWholeFile(path, bytes)) {
      std::fprintf(stderr, "vantrel-bench: cannot read %s\n", path.c_str());
      return 1;
    }
    const double mb = static_cast<double>(bytes.size()) / 1e6;

    const RunResult memory = Best(options.repeat, [&] {
      MemorySource source(bytes.data(), bytes.size());
      return RunInterpreter(source);
    });
    std::vector<char>().swap(bytes);
    const RunResult file = Best(options.repeat, [&] {
      StdioFileSource source;
      std::string error;
      source.Open(path.c_str(), error);
      return RunInterpreter(source);
    });
    const ChildResult child = RunChild({self, "interpret", path});

    std::printf("%15s %10llu %9.1f %9.1f %9.2f %9.2f %7.1fMB", RowName(row).c_str(),
                static_cast<unsigned long long>(FileSize(path)), mb / memory.seconds,
                mb / file.seconds, memory.seconds * 1e3, file.seconds * 1e3,
                child.ok ? MiB(child.maxRssKiB) : -1.0);
    PngTiming png;
    if (withPng) {
      png = TimePng(options, path, row);
      if (png.ok) {
        std::printf(" %8.1fms %8.1fms %9.1f %7.1fMB", png.best * 1e3, png.median * 1e3,
                    mb / png.best, MiB(png.maxRssKiB));
      } else {
        std::printf(" %10s %10s %9s %9s", "failed", "-", "-", "-");
      }
    } else {
      std::printf(" %10s %10s %9s %9s", "-", "-", "-", "-");
    }
    const double rs274 = withRs274 ? TimeRs274(options, path) : -1;
    if (rs274 > 0) {
      std::printf(" %7.1fms %5.1fx\n", rs274 * 1e3, png.ok ? rs274 / png.best : 0.0);
    } else {
      std::printf(" %9s %6s\n", withRs274 ? "failed" : "-", "-");
    }
    std::fflush(stdout);
    if (memory.lines != file.lines || memory.markers != file.markers) {
      std::fprintf(stderr, "vantrel-bench: memory and file runs drew differently\n");
      return 1;
    }
  }

  // A near-empty process for comparison: what any small program costs.
  const ChildResult idle = RunChild({self, "idle"});
  std::printf("\nbaseline: an idle vantrel-bench child peaks at %.1f MB RSS.\n",
              idle.ok ? MiB(idle.maxRssKiB) : -1.0);
  return 0;
}

int Generate(int argc, char** argv) {
  if (argc < 4) return 2;
  const uint64_t blocks = std::strtoull(argv[2], nullptr, 10);
  uint64_t seed = kDefaultSeed;
  ProgramStyle style = ProgramStyle::Contours;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dense") == 0) {
      style = ProgramStyle::Dense;
    } else if (std::strcmp(argv[i], "--spiral") == 0) {
      style = ProgramStyle::Spiral;
    } else if (std::strcmp(argv[i], "--arcs") == 0) {
      style = ProgramStyle::Arcs;
    } else if (std::strcmp(argv[i], "--facing") == 0) {
      style = ProgramStyle::Facing;
    } else if (std::strcmp(argv[i], "--parametric") == 0) {
      style = ProgramStyle::Parametric;
    } else {
      seed = std::strtoull(argv[i], nullptr, 10);
    }
  }
  GeneratorStats stats;
  if (!WriteProgramFile(argv[3], blocks, seed, &stats, style)) {
    std::fprintf(stderr, "vantrel-bench: cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("%s: %llu blocks, %llu bytes; %llu lines, %llu I/J arcs, %llu R arcs, %llu negative-R "
              "arcs, %llu drilling points, %llu rapid moves, %llu comments\n",
              argv[3], static_cast<unsigned long long>(stats.blocks),
              static_cast<unsigned long long>(stats.bytes), static_cast<unsigned long long>(stats.lines),
              static_cast<unsigned long long>(stats.arcsIJ), static_cast<unsigned long long>(stats.arcsR),
              static_cast<unsigned long long>(stats.arcsNegR),
              static_cast<unsigned long long>(stats.drillPoints),
              static_cast<unsigned long long>(stats.rapids),
              static_cast<unsigned long long>(stats.comments));
  return 0;
}

int Interpret(const char* path) {
  StdioFileSource source;
  std::string error;
  if (!source.Open(path, error)) {
    std::fprintf(stderr, "vantrel-bench: cannot open %s: %s\n", path, error.c_str());
    return 1;
  }
  const RunResult r = RunInterpreter(source);
  std::printf("%s: %.2f ms, plane %d, %llu lines, %llu markers\n", path, r.seconds * 1e3, r.plane,
              static_cast<unsigned long long>(r.lines), static_cast<unsigned long long>(r.markers));
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vantrel-bench [--data DIR] [--thumbnailer PATH] [--rs274 PATH]\n"
               "                     [--sizes N,Nd,Ns,Na,Nf,...] [--repeat N]\n"
               "       (size letters: d dense, s spiral, a arcs, f facing, p parametric)\n"
               "       vantrel-bench generate BLOCKS OUTPUT [SEED] [--dense|--spiral|--arcs|--facing|--parametric]\n"
               "       vantrel-bench interpret INPUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A forked child starts with this process's resident pages, and they count
  // in its peak. Large buffers are mapped and unmapped whole, so this process
  // stays small whenever it starts a child to measure.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  if (argc >= 2 && std::strcmp(argv[1], "generate") == 0) {
    return argc >= 4 ? Generate(argc, argv) : Usage();
  }
  if (argc >= 2 && std::strcmp(argv[1], "interpret") == 0) {
    return argc == 3 ? Interpret(argv[2]) : Usage();
  }
  if (argc >= 2 && std::strcmp(argv[1], "idle") == 0) return 0;

  Options options;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--data") == 0 && hasValue) {
      options.dataDir = argv[++i];
    } else if (std::strcmp(argv[i], "--thumbnailer") == 0 && hasValue) {
      options.thumbnailer = argv[++i];
    } else if (std::strcmp(argv[i], "--rs274") == 0 && hasValue) {
      options.rs274 = argv[++i];
    } else if (std::strcmp(argv[i], "--repeat") == 0 && hasValue) {
      options.repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--sizes") == 0 && hasValue) {
      options.rows.clear();
      for (char* p = argv[++i]; *p != '\0';) {
        char* end = nullptr;
        const unsigned long long n = std::strtoull(p, &end, 10);
        if (end == p) return Usage();
        Row row{n, ProgramStyle::Contours};
        for (const StyleName& s : kStyles) {
          if (s.letter != '\0' && *end == s.letter) {
            row.style = s.style;
            ++end;
            break;
          }
        }
        options.rows.push_back(row);
        p = *end == ',' ? end + 1 : end;
      }
    } else {
      return Usage();
    }
  }
  return RunTable(options);
}
