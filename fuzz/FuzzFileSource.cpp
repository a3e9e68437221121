// Fuzz target: the KDE plugin's reading side. The input is written to an
// in-memory file and read back through the plugin's descriptor source,
// opened by path as the plugin opens it: the interpreter must draw exactly
// what it draws from memory, and the request filter must neither crash nor
// move the source from the start it hands over to the interpreter.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DescriptorSource.h"
#include "FuzzRuns.h"
#include "RequestFilter.h"

namespace {

// An unnamed file in memory holding `data`, or -1.
int MemoryFile(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) {
      close(fd);
      return -1;
    }
    written += static_cast<size_t>(n);
  }
  return fd;
}

std::vector<uint8_t> ReadAll(ByteSource& source) {
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  uint32_t got = 0;
  while (source.Read(chunk, sizeof chunk, &got) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = MemoryFile(data, size);
  FUZZ_CHECK(fd >= 0);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const std::vector<uint8_t> program(data, data + size);

  PathRun fromFile;
  {
    DescriptorSource source;
    std::string error;
    FUZZ_CHECK(source.Open(path.c_str(), error));
    RunPath(source, fromFile);
    FUZZ_CHECK(!source.Failed());
  }
  CheckPathRun(fromFile);
  PathRun fromMemory;
  {
    MemorySource source(program.data(), program.size());
    RunPath(source, fromMemory);
  }
  FUZZ_CHECK(SameResults(fromFile.ctx, fromMemory.ctx));
  FUZZ_CHECK(SameCalls(fromFile.graphics.calls, fromMemory.graphics.calls));

  // The filter on the types Dolphin gives by name; whatever it answers, the
  // interpreter then reads the file from its first byte.
  static const char* const kRequests[][2] = {{"part.h", "text/x-chdr"},
                                             {"part.nc", "application/x-netcdf"},
                                             {"part.tap", "application/octet-stream"}};
  for (const auto& request : kRequests) {
    DescriptorSource source;
    std::string error;
    FUZZ_CHECK(source.Open(path.c_str(), error));
    MemorySource memory(program.data(), program.size());
    FUZZ_CHECK(WorthReading(request[0], request[1], source) ==
               WorthReading(request[0], request[1], memory));
    FUZZ_CHECK(ReadAll(source) == program);
  }
  close(fd);
  return 0;
}
