#pragma once
// The interpreter's input: a byte source with the stream operations of a COM
// IStream (Read, and Seek relative to the start, the current position or the
// end), and StreamReader, the buffered reader the interpreter actually reads
// through. Only whole chunks cross the virtual ByteSource boundary; single
// bytes, whole lines and positions are served inline from the reader's buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

enum class SeekOrigin { Set, Current, End };

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes; `*got` receives how many were read.
  // Returns false on an error. Zero bytes read means the end of the data.
  virtual bool Read(void* buffer, uint32_t size, uint32_t* got) = 0;
  // Moves the position; `*newPosition` (may be null) receives the new one.
  virtual bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) = 0;
};

// A source over bytes held in memory. It does not own them.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  bool Read(void* buffer, uint32_t size, uint32_t* got) override;
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

// Buffered reader over a ByteSource. The buffer belongs to the caller (the
// interpreter keeps it on its stack), so nothing is allocated. Bytes come one
// at a time (Next, Peek) or a whole line at a time (PeekLine), which the
// block scanner and the word reader both read without moving the source.
class StreamReader {
 public:
  // The last kPadding bytes of the buffer are never filled, so that 16 bytes
  // can be loaded at once from any byte of a line (SIMD); those beyond the
  // line's end hold anything and must be masked off.
  static constexpr size_t kPadding = 16;

  // Index of the first newline among the first n bytes at `bytes`, or n.
  // The bytes lie in a reader's buffer, whose padding makes 16 bytes
  // loadable from any filled byte. Lines are short: the first 16 bytes
  // usually hold the newline, found without a call.
  static size_t FindNewline(const uint8_t* bytes, size_t n) {
#if defined(__SSE2__)
    for (size_t i = 0; i < n; i += 16) {
      const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      const unsigned hits =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, _mm_set1_epi8('\n'))));
      if (hits != 0) {
        // The first newline of the group, which may lie past the n bytes.
        const size_t at = i + static_cast<size_t>(__builtin_ctz(hits));
        return at < n ? at : n;
      }
    }
    return n;
#else
    const void* newline = std::memchr(bytes, '\n', n);
    return newline ? static_cast<size_t>(static_cast<const uint8_t*>(newline) - bytes) : n;
#endif
  }

  // A line's bytes, contiguous in the buffer, up to and including its
  // newline when one lies within the limit asked for.
  struct Line {
    const uint8_t* bytes;
    size_t length;
  };

  // `capacity` is the buffer's whole size, kPadding included.
  StreamReader(ByteSource& source, uint8_t* buffer, size_t capacity)
      : source_(source), buffer_(buffer), capacity_(capacity > kPadding ? capacity - kPadding : 0) {}

  // Goes to position 0 and learns the size. Returns false, and leaves the
  // reader at its end, when the source cannot seek.
  bool Rewind();

  // The next byte, or -1 when no byte is left (end of data, or a failed
  // read: both end the pass).
  int Next() {
    if (cursor_ < filled_ || Fill()) return buffer_[cursor_++];
    return -1;
  }
  // The next byte without consuming it, or -1.
  int Peek() {
    if (cursor_ < filled_ || Fill()) return buffer_[cursor_];
    return -1;
  }
  // True when no byte is left before a read.
  bool AtEnd() { return Peek() < 0; }

  // The line at the current position, at most `limit` bytes (limit must be
  // below the buffer's capacity less kPadding). Length 0 means no byte is
  // left.
  Line PeekLine(size_t limit) {
    if (cursor_ == lineCursor_ && limit == lineLimit_) return {buffer_ + cursor_, lineLength_};
    return FindLine(limit);
  }
  // The bytes read from the source and not yet consumed, without reading
  // more; 16 bytes can be loaded from each of them.
  Line Unread() const { return {buffer_ + cursor_, filled_ - cursor_}; }
  // Moves past the rest of the line and its newline.
  void SkipLine() {
    for (uint64_t left = Remaining(); left > 0; --left) {
      if (Next() == '\n') return;
    }
  }
  // Moves past n bytes that PeekLine showed.
  void Skip(size_t n) { cursor_ += n < filled_ - cursor_ ? n : filled_ - cursor_; }
  // Goes to `position` (a jump of the program): within the buffer without
  // reading, elsewhere by a Seek of the source. A position at or past the
  // end leaves nothing to read.
  void Seek(uint64_t position);

  uint64_t Position() const { return bufferStart_ + cursor_; }
  uint64_t Size() const { return size_; }
  uint64_t Remaining() const { return size_ > Position() ? size_ - Position() : 0; }
  // Number of chunk reads made on the source so far.
  uint64_t ChunkReads() const { return chunkReads_; }

 private:
  // Appends the next chunk behind the unread bytes. False at the end of the
  // data or after a failure.
  bool Fill();
  Line FindLine(size_t limit);

  ByteSource& source_;
  uint8_t* buffer_;
  size_t capacity_;          // bytes that may be filled, kPadding less than the buffer
  size_t cursor_ = 0;        // index of the next byte in buffer_
  size_t filled_ = 0;        // bytes valid in buffer_
  uint64_t bufferStart_ = 0; // stream position of buffer_[0]
  uint64_t size_ = 0;
  bool failed_ = true;       // set until Rewind succeeds; a failure ends reading
  uint64_t chunkReads_ = 0;
  // The last line PeekLine found: the scanner and the word reader ask for
  // the same line one after the other. Valid until the buffer moves.
  size_t lineCursor_ = SIZE_MAX;
  size_t lineLimit_ = 0;
  size_t lineLength_ = 0;
};
