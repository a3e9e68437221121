#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ByteSource.h"

namespace {

std::string Numbered(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

// A source that fails or stalls on request, to check that reading ends.
class FaultySource : public ByteSource {
 public:
  explicit FaultySource(std::string data) : data_(std::move(data)), inner_(data_.data(), data_.size()) {}
  bool Read(void* buffer, uint32_t size, uint32_t* got) override {
    ++reads;
    if (failRead) return false;
    if (stall) {
      *got = 0;
      return true;
    }
    return inner_.Read(buffer, size, got);
  }
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    ++seeks;
    if (failSeek) return false;
    return inner_.Seek(offset, origin, position);
  }
  bool failRead = false, stall = false, failSeek = false;
  int reads = 0, seeks = 0;

 private:
  std::string data_;
  MemorySource inner_;
};

TEST(StreamReader, ReadsEveryByteAcrossChunksAndStepsBack) {
  const std::string data = Numbered(10000);
  MemorySource source(data.data(), data.size());
  // A tiny chunk (the buffer holds the history and 100 bytes) crosses many
  // chunk boundaries.
  std::vector<uint8_t> buffer(StreamReader::kHistory + 100);
  StreamReader reader(source, buffer.data(), buffer.size());
  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.Size(), 10000u);

  for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(reader.Next(), static_cast<uint8_t>(data[i]));
  EXPECT_EQ(reader.Position(), 5000u);
  reader.StepBack(300);  // within the kept history
  EXPECT_EQ(reader.Position(), 4700u);
  EXPECT_EQ(reader.Next(), static_cast<uint8_t>(data[4700]));
  reader.StepBack(4000);  // beyond it: the source is moved
  EXPECT_EQ(reader.Position(), 701u);
  for (size_t i = 701; i < data.size(); ++i) ASSERT_EQ(reader.Next(), static_cast<uint8_t>(data[i]));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.Next(), -1);
  EXPECT_EQ(reader.Remaining(), 0u);

  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.Position(), 0u);
  EXPECT_EQ(reader.Peek(), 'a');
  EXPECT_EQ(reader.Next(), 'a');
}

TEST(StreamReader, ReadsLargeStreamsInFewChunks) {
  const std::string data = Numbered(1 << 20);
  MemorySource source(data.data(), data.size());
  std::vector<uint8_t> buffer(StreamReader::kHistory + 64 * 1024);
  StreamReader reader(source, buffer.data(), buffer.size());
  ASSERT_TRUE(reader.Rewind());
  size_t count = 0;
  while (reader.Next() >= 0) ++count;
  EXPECT_EQ(count, data.size());
  EXPECT_LE(reader.ChunkReads(), 17u);
}

TEST(StreamReader, FailingOrStallingSourceEndsReading) {
  std::vector<uint8_t> buffer(StreamReader::kHistory + 64);
  {
    FaultySource source("G1 X10\n");
    source.failSeek = true;
    StreamReader reader(source, buffer.data(), buffer.size());
    EXPECT_FALSE(reader.Rewind());
    EXPECT_EQ(reader.Next(), -1);
    EXPECT_EQ(source.reads, 0);
  }
  {
    FaultySource source("G1 X10\n");
    source.failRead = true;
    StreamReader reader(source, buffer.data(), buffer.size());
    ASSERT_TRUE(reader.Rewind());
    EXPECT_EQ(reader.Next(), -1);
    EXPECT_EQ(reader.Next(), -1);
    EXPECT_EQ(source.reads, 1);  // no second attempt, no loop
  }
  {
    FaultySource source("G1 X10\n");
    source.stall = true;  // claims bytes but yields none
    StreamReader reader(source, buffer.data(), buffer.size());
    ASSERT_TRUE(reader.Rewind());
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(source.reads, 1);
  }
}

TEST(MemorySource, SeeksLikeAStream) {
  const std::string data = "abcdef";
  MemorySource source(data.data(), data.size());
  uint64_t position = 99;
  EXPECT_TRUE(source.Seek(0, SeekOrigin::End, &position));
  EXPECT_EQ(position, 6u);
  EXPECT_TRUE(source.Seek(-2, SeekOrigin::Current, &position));
  EXPECT_EQ(position, 4u);
  EXPECT_FALSE(source.Seek(-5, SeekOrigin::Current, &position));
  char out[8] = {};
  uint32_t got = 0;
  EXPECT_TRUE(source.Read(out, 8, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_STREQ(out, "ef");
}

}  // namespace
