#include "ByteSource.h"

bool MemorySource::Read(void* buffer, uint32_t size, uint32_t* got) {
  const size_t left = size_ - position_;
  const size_t count = size < left ? size : left;
  if (count > 0) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  if (got) *got = static_cast<uint32_t>(count);
  return true;
}

bool MemorySource::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  int64_t base = 0;
  if (origin == SeekOrigin::Current) base = static_cast<int64_t>(position_);
  if (origin == SeekOrigin::End) base = static_cast<int64_t>(size_);
  // Positions beyond the end are allowed, as in a stream; before 0 is not.
  if (offset < 0 && -offset > base) return false;
  position_ = static_cast<size_t>(base + offset);
  if (position_ > size_) position_ = size_;
  if (newPosition) *newPosition = position_;
  return true;
}

bool StreamReader::Rewind() {
  cursor_ = filled_ = 0;
  bufferStart_ = 0;
  failed_ = true;
  uint64_t end = 0;
  if (!source_.Seek(0, SeekOrigin::End, &end)) return false;
  if (!source_.Seek(0, SeekOrigin::Set, nullptr)) return false;
  size_ = end;
  sourcePos_ = 0;
  failed_ = false;
  return true;
}

// Brings the next chunk into the buffer behind the last kHistory bytes, so a
// step-back over the block just read stays inside the buffer.
bool StreamReader::Refill() {
  if (failed_ || Position() >= size_) return false;
  if (sourcePos_ != Position()) {
    // A step-back went before the buffer: the source must be moved.
    if (!source_.Seek(static_cast<int64_t>(Position()), SeekOrigin::Set, nullptr)) {
      failed_ = true;
      return false;
    }
    sourcePos_ = Position();
    cursor_ = filled_ = 0;
    bufferStart_ = sourcePos_;
  }
  const size_t keep = filled_ < kHistory ? filled_ : kHistory;
  std::memmove(buffer_, buffer_ + filled_ - keep, keep);
  bufferStart_ += filled_ - keep;
  cursor_ = filled_ = keep;

  const uint64_t left = size_ - sourcePos_;
  const size_t room = capacity_ - keep;
  const uint32_t want = static_cast<uint32_t>(left < room ? left : room);
  uint32_t got = 0;
  ++chunkReads_;
  if (!source_.Read(buffer_ + keep, want, &got) || got == 0 || got > want) {
    // An error, or a stream that yields nothing before its end: stop here
    // instead of asking again and again.
    failed_ = true;
    return false;
  }
  filled_ = keep + got;
  sourcePos_ += got;
  return true;
}

void StreamReader::SeekTo(uint64_t position) {
  // Only reached for a step-back longer than the kept history; the next
  // read moves the source.
  bufferStart_ = position;
  cursor_ = filled_ = 0;
}
