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
  lineCursor_ = SIZE_MAX;
  cursor_ = filled_ = 0;
  bufferStart_ = 0;
  failed_ = true;
  uint64_t end = 0;
  if (!source_.Seek(0, SeekOrigin::End, &end)) return false;
  if (!source_.Seek(0, SeekOrigin::Set, nullptr)) return false;
  size_ = end;
  failed_ = false;
  return true;
}

void StreamReader::Seek(uint64_t position) {
  if (position >= bufferStart_ && position <= bufferStart_ + filled_) {
    cursor_ = static_cast<size_t>(position - bufferStart_);
    return;
  }
  lineCursor_ = SIZE_MAX;
  cursor_ = filled_ = 0;
  bufferStart_ = position < size_ ? position : size_;
  if (failed_ || bufferStart_ == size_) return;
  if (!source_.Seek(static_cast<int64_t>(bufferStart_), SeekOrigin::Set, nullptr)) failed_ = true;
}

bool StreamReader::Fill() {
  const uint64_t sourcePosition = bufferStart_ + filled_;
  if (failed_ || sourcePosition >= size_) return false;
  // Keep the unread bytes, moved to the front, and read behind them.
  lineCursor_ = SIZE_MAX;
  const size_t unread = filled_ - cursor_;
  std::memmove(buffer_, buffer_ + cursor_, unread);
  bufferStart_ += cursor_;
  cursor_ = 0;
  filled_ = unread;

  const uint64_t left = size_ - sourcePosition;
  const size_t room = capacity_ - unread;
  const uint32_t want = static_cast<uint32_t>(left < room ? left : room);
  uint32_t got = 0;
  ++chunkReads_;
  if (!source_.Read(buffer_ + unread, want, &got) || got == 0 || got > want) {
    // An error, or a stream that yields nothing before its end: stop here
    // instead of asking again and again.
    failed_ = true;
    return false;
  }
  filled_ += got;
  return true;
}

StreamReader::Line StreamReader::FindLine(size_t limit) {
  // Each round adds at least one byte or ends, so it stops by `limit`.
  for (;;) {
    const size_t available = filled_ - cursor_;
    const size_t window = available < limit ? available : limit;
    const uint8_t* bytes = buffer_ + cursor_;
    size_t length = FindNewline(bytes, window);
    if (length < window) {
      ++length;
    } else if (available < limit && Fill()) {
      continue;
    } else {
      length = window;
    }
    lineCursor_ = cursor_;
    lineLimit_ = limit;
    lineLength_ = length;
    return {buffer_ + cursor_, length};
  }
}
