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

TEST(StreamReader, ReadsEveryByteAndWholeLinesAcrossChunks) {
  std::string data;
  for (int i = 0; data.size() < 10000; ++i) data += "N" + std::to_string(i) + " G1 X" + std::to_string(i * 7 % 300) + "\n";
  MemorySource source(data.data(), data.size());
  // A buffer of 300 bytes: lines cross chunk boundaries all the time.
  std::vector<uint8_t> buffer(300);
  StreamReader reader(source, buffer.data(), buffer.size());
  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.Size(), data.size());

  size_t lines = 0;
  for (size_t at = 0; at < data.size(); ++lines) {
    const StreamReader::Line line = reader.PeekLine(257);
    const size_t end = data.find('\n', at) + 1;
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(line.bytes), line.length), data.substr(at, end - at));
    EXPECT_EQ(reader.Position(), at);  // peeking does not move
    if (lines % 2) {
      reader.Skip(line.length);
    } else {
      for (size_t i = 0; i < line.length; ++i) ASSERT_EQ(reader.Next(), static_cast<uint8_t>(data[at + i]));
    }
    at = end;
  }
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.Next(), -1);
  EXPECT_EQ(reader.PeekLine(257).length, 0u);
  EXPECT_EQ(reader.Remaining(), 0u);

  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.Position(), 0u);
  EXPECT_EQ(reader.Peek(), 'N');
}

TEST(StreamReader, LinesStopAtTheLimitOrTheEnd) {
  const std::string data = std::string(400, 'x') + "\nlast";
  MemorySource source(data.data(), data.size());
  std::vector<uint8_t> buffer(1024);
  StreamReader reader(source, buffer.data(), buffer.size());
  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.PeekLine(257).length, 257u);  // no newline within the limit
  reader.Skip(401);
  const StreamReader::Line last = reader.PeekLine(257);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(last.bytes), last.length), "last");
}

TEST(StreamReader, ReadsLargeStreamsInFewChunks) {
  const std::string data = Numbered(1 << 20);
  MemorySource source(data.data(), data.size());
  std::vector<uint8_t> buffer(64 * 1024 + StreamReader::kPadding);
  StreamReader reader(source, buffer.data(), buffer.size());
  ASSERT_TRUE(reader.Rewind());
  size_t count = 0;
  while (reader.Next() >= 0) ++count;
  EXPECT_EQ(count, data.size());
  EXPECT_LE(reader.ChunkReads(), 16u);
}

TEST(StreamReader, FailingOrStallingSourceEndsReading) {
  std::vector<uint8_t> buffer(64);
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
