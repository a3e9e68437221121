// The KDE plugin's reading side on real files: the descriptor source hands
// the interpreter the same bytes as memory does and refuses what is no
// regular file at once, and the request filter lets through programs that
// Dolphin typed by their names and nothing else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "DescriptorSource.h"
#include "RequestFilter.h"
#include "TestSupport.h"

namespace {

std::string ReadAll(ByteSource& source, uint32_t chunk) {
  std::string bytes;
  std::vector<char> buffer(chunk);
  uint32_t got = 0;
  while (source.Read(buffer.data(), chunk, &got) && got > 0) bytes.append(buffer.data(), got);
  return bytes;
}

}  // namespace

TEST(DescriptorSource, ReadsRegularFilesAndRefusesEverythingElse) {
  ScratchFolder folder;
  const std::string program = ReadFile(VANTREL_SAMPLES_DIR "/iso-milling.nc");
  const std::string path = folder.Write("part.nc", program);

  DescriptorSource source;
  std::string error;
  ASSERT_TRUE(source.Open(path.c_str(), error)) << error;
  EXPECT_EQ(ReadAll(source, 7), program);
  uint64_t position = 0;
  ASSERT_TRUE(source.Seek(-4, SeekOrigin::End, &position));
  EXPECT_EQ(position, program.size() - 4);
  EXPECT_EQ(ReadAll(source, 4096), program.substr(program.size() - 4));
  ASSERT_TRUE(source.Seek(0, SeekOrigin::Set, nullptr));
  EXPECT_EQ(ReadAll(source, 65536), program);
  EXPECT_FALSE(source.Failed());

  // A FIFO named as a program: opening must neither block nor succeed.
  const std::string fifo = folder / "fifo.nc";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  DescriptorSource other;
  EXPECT_FALSE(other.Open(fifo.c_str(), error));
  EXPECT_FALSE(other.Open(folder.Path().c_str(), error));
  EXPECT_FALSE(other.Open((folder / "missing.nc").c_str(), error));
  uint32_t got = 1;
  char byte;
  EXPECT_FALSE(other.Read(&byte, 1, &got));
  EXPECT_EQ(got, 0u);
}

TEST(RequestFilter, TakesProgramsByTypeOrNameAndTncHeadersOnly) {
  ScratchFolder folder;
  const struct {
    const char* name;
    const char* bytes;
    const char* type;  // as Dolphin typed the file by its name
    bool worth;
  } cases[] = {
      {"part.nc", "G1 X1\n", "application/x-netcdf", true},
      {"PART.TAP", "G1 X1\n", "application/octet-stream", true},
      {"part.eia", "G1 X1\n", "application/octet-stream", true},
      {"part.ngc", "G1 X1\n", "application/x-neo-geo-pocket-color-rom", true},
      {"part.ngc", "G1 X1\n", "text/ngc", true},
      {"tnc.h", "0 BEGIN PGM PART MM\n", "text/x-chdr", true},
      {"TNC.H", "BEGIN PGM PART MM\n", "text/x-chdr", true},
      {"tnc.h", "12345 BEGIN PGM PART MM\n", "text/x-chdr", true},
      {"header.h", "#include <stdio.h>\n", "text/x-chdr", false},
      {"header.h", "// BEGIN PGM PART\n", "text/x-chdr", false},
      {"header.h", "0BEGIN PGM PART\n", "text/x-chdr", false},
      {"header.h", "BEGIN PGM", "text/x-chdr", false},
      {"typed.h", "G1 X1\n", "text/x-nc-program", true},
      {"archive.zip", "PK", "application/zip", false},
      {"notes", "G1 X1\n", "application/octet-stream", false},
      {"part.nc.bak", "G1 X1\n", "application/octet-stream", false},
      {"dir.nc/notes", "G1 X1\n", "application/octet-stream", false},
  };
  ASSERT_EQ(mkdir((folder / "dir.nc").c_str(), 0700), 0);
  for (const auto& c : cases) {
    const std::string path = folder.Write(c.name, c.bytes);
    DescriptorSource source;
    std::string error;
    ASSERT_TRUE(source.Open(path.c_str(), error)) << c.name << ": " << error;
    EXPECT_EQ(WorthReading(path, c.type, source), c.worth) << c.name << " as " << c.type;
    // The filter leaves the source at the start for the interpreter.
    EXPECT_EQ(ReadAll(source, 64), c.bytes) << c.name;
  }
}
