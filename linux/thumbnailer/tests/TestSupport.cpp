#include "TestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cctype>
#include <csignal>
#include <cmath>
#include <cstring>

extern char** environ;

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  if (DIR* folder = opendir(path_.c_str())) {
    while (const dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(folder);
  }
  return names;
}

namespace {

// A temporary file for one captured stream; read and removed afterwards.
struct CaptureFile {
  CaptureFile() {
    char pattern[] = "/tmp/vantrel-capture.XXXXXX";
    descriptor = mkstemp(pattern);
    path = pattern;
  }
  ~CaptureFile() {
    if (descriptor >= 0) close(descriptor);
    unlink(path.c_str());
  }
  int descriptor;
  std::string path;
};

}  // namespace

RunResult RunThumbnailer(const ScratchFolder& folder, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         unsigned long fileSizeLimit) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (env.count(name) == 0) environment.push_back(text);
  }
  for (const auto& [name, value] : env) {
    if (!value.empty()) environment.push_back(name + "=" + value);
  }

  std::vector<std::string> argvText = {VANTREL_THUMBNAILER};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  CaptureFile out, err;
  RunResult result;
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.Path().c_str()) != 0) _exit(126);
    dup2(out.descriptor, STDOUT_FILENO);
    dup2(err.descriptor, STDERR_FILENO);
    if (fileSizeLimit != 0) {
      // Ignored, the limit's signal turns into a write error (EFBIG).
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = ReadFile(out.path);
  result.err = ReadFile(err.path);
  return result;
}

std::map<std::string, std::string> ConfigEnvironment(const std::string& configHome) {
  return {{"XDG_CONFIG_HOME", configHome}};
}

int Picture::CountNonWhite(int x0, int y0, int x1, int y1) const {
  int n = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) n += (At(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  return n;
}

int Picture::Count(int x0, int y0, int x1, int y1, uint32_t argb) const {
  int n = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) n += At(x, y) == argb;
  }
  return n;
}

int Picture::CountInk(int x0, int y0, int x1, int y1, uint32_t ink, uint32_t paper) const {
  auto channel = [](uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); };
  // Coverage is read on the channel where ink and paper differ most.
  int strongest = 16;
  for (int shift : {0, 8}) {
    if (std::abs(channel(ink, shift) - channel(paper, shift)) >
        std::abs(channel(ink, strongest) - channel(paper, strongest))) {
      strongest = shift;
    }
  }
  const int span = channel(ink, strongest) - channel(paper, strongest);
  if (span == 0) return 0;
  int n = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const uint32_t pixel = At(x, y);
      const double coverage =
          static_cast<double>(channel(pixel, strongest) - channel(paper, strongest)) / span;
      bool matches = coverage >= 0.5 && coverage <= 1.0;
      for (int shift : {0, 8, 16}) {
        const double expected =
            channel(ink, shift) * coverage + channel(paper, shift) * (1.0 - coverage);
        matches = matches && std::abs(channel(pixel, shift) - expected) <= 24.0;
      }
      n += matches;
    }
  }
  return n;
}

Picture PictureOf(cairo_surface_t* surface) {
  Picture picture;
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return picture;
  cairo_surface_flush(surface);
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return picture;
  picture.width = cairo_image_surface_get_width(surface);
  picture.height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface) / 4;
  const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t pixel = data[y * stride + x];
      if (format == CAIRO_FORMAT_RGB24) pixel |= 0xFF000000u;
      picture.pixels.push_back(pixel);
    }
  }
  return picture;
}

Picture ReadPng(const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  Picture picture = PictureOf(surface);
  cairo_surface_destroy(surface);
  return picture;
}

const Json& Json::operator[](const std::string& name) const {
  static const Json missing;
  const auto found = object.find(name);
  return found == object.end() ? missing : found->second;
}

namespace {

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  bool ReadDocument(Json& value) {
    if (!ReadValue(value, 0)) return false;
    SkipSpace();
    return at_ == text_.size();
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) != nullptr) ++at_;
  }
  bool Take(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool TakeWord(const char* word) {
    const size_t n = std::strlen(word);
    if (text_.compare(at_, n, word) != 0) return false;
    at_ += n;
    return true;
  }

  bool ReadValue(Json& value, int depth) {
    if (depth > 32) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return ReadObject(value, depth);
    if (c == '[') return ReadArray(value, depth);
    if (c == '"') {
      value.kind = Json::String;
      return ReadString(value.string);
    }
    if (TakeWord("null")) return value.kind = Json::Null, true;
    if (TakeWord("true")) return value.kind = Json::Bool, value.boolean = true, true;
    if (TakeWord("false")) return value.kind = Json::Bool, value.boolean = false, true;
    return ReadNumber(value);
  }

  bool ReadObject(Json& value, int depth) {
    value.kind = Json::Object;
    ++at_;
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string name;
      if (at_ >= text_.size() || text_[at_] != '"' || !ReadString(name)) return false;
      if (!Take(':') || !ReadValue(value.object[name], depth + 1)) return false;
    } while (Take(','));
    return Take('}');
  }

  bool ReadArray(Json& value, int depth) {
    value.kind = Json::Array;
    ++at_;
    if (Take(']')) return true;
    do {
      value.array.emplace_back();
      if (!ReadValue(value.array.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']');
  }

  // JSON number grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool ReadNumber(Json& value) {
    const size_t start = at_;
    auto digits = [&] {
      const size_t from = at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
      return at_ > from;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    value.kind = Json::Number;
    value.number = std::strtod(text_.substr(start, at_ - start).c_str(), nullptr);
    return true;
  }

  bool ReadString(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          const unsigned long code = std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
          at_ += 4;
          // Enough for the trace: characters of the Basic Multilingual Plane.
          if (code < 0x80) {
            out += static_cast<char>(code);
          } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

bool ParseJson(const std::string& text, Json& value) {
  return JsonReader(text).ReadDocument(value);
}

std::string SamplePath(const std::string& name) {
  return std::string(VANTREL_SAMPLES_DIR) + "/" + name;
}
