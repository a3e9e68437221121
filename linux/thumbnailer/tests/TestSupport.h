#pragma once
// Helpers for the thumbnailer's tests: a scratch folder, running the real
// command-line program, reading PNG pixels back, and a small JSON reader
// for the trace.
#include <cairo.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/vantrel-thumbnailer-test.XXXXXX";
    path_ = mkdtemp(pattern) != nullptr ? pattern : "";
  }
  ~ScratchFolder() {
    if (!path_.empty()) {
      const std::string command = "rm -rf '" + path_ + "'";
      (void)std::system(command.c_str());
    }
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes `bytes` to the file `name` inside the folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = *this / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Names of the folder's entries, hidden ones included.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

inline bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

// Runs the command-line program with `args` in `folder`, with the
// environment variables in `env` set ("" unsets one) and everything else
// inherited. Standard output and error are captured. A `fileSizeLimit`
// (bytes, 0 for none) makes writes beyond it fail as on a full disk.
RunResult RunThumbnailer(const ScratchFolder& folder, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         unsigned long fileSizeLimit = 0);

// The environment the tests run the program in: option files looked up in
// `configHome` (a folder without option files unless the test writes some).
std::map<std::string, std::string> ConfigEnvironment(const std::string& configHome);

// A PNG read back: pixels as 0xAARRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Pixels in the box [x0, x1] x [y0, y1] that are not white.
  int CountNonWhite(int x0, int y0, int x1, int y1) const;
  // Pixels in the box whose colour is exactly `argb`.
  int Count(int x0, int y0, int x1, int y1, uint32_t argb) const;
  // Pixels in the box that are `ink` blended over `paper` with at least half
  // coverage: anti-aliased text of that colour.
  int CountInk(int x0, int y0, int x1, int y1, uint32_t ink, uint32_t paper = 0xFFFFFFFF) const;
};

// Reads a PNG file; width 0 when it cannot be read.
Picture ReadPng(const std::string& path);
// The pixels of a Cairo image surface (ARGB32 or RGB24).
Picture PictureOf(cairo_surface_t* surface);

// A small JSON reader: enough to check the trace's object.
struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> array;
  std::map<std::string, Json> object;

  const Json& operator[](const std::string& name) const;
  bool Has(const std::string& name) const { return object.count(name) != 0; }
};

// Parses exactly one JSON value (with surrounding white space); false when
// the text is not valid JSON.
bool ParseJson(const std::string& text, Json& value);

// The path to a bundled sample program.
std::string SamplePath(const std::string& name);
