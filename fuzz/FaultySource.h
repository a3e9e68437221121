#pragma once
// A byte source over memory that misbehaves where a fault plan says: short
// reads, a Read that fails, yields nothing or claims more than it was asked
// for, a Seek that fails, and a size (Seek to the end) that is not the data's
// size. Streams handed over by a shell or a network share do all of these.
#include <cstdint>
#include <cstring>

#include "ByteSource.h"

struct FaultPlan {
  enum ReadFault : uint8_t { Fails, YieldsNothing, ClaimsTooMuch, ReadFaultCount };

  uint32_t maxChunk = 0;       // a Read returns at most this many bytes; 0: no limit
  uint32_t readFaultAt = 0;    // the n-th Read (from 1) misbehaves; 0: never
  ReadFault readFault = Fails;
  bool readFaultSticks = false;  // every later Read misbehaves as well
  uint32_t seekFaultAt = 0;    // the n-th Seek (from 1) fails; 0: never
  bool seekFaultSticks = false;
  int32_t sizeError = 0;       // added to the size that Seek to the end reports

  // Only short reads: the bytes delivered are the same as from memory.
  bool Harmless() const { return readFaultAt == 0 && seekFaultAt == 0 && sizeError == 0; }
};

class FaultySource final : public ByteSource {
 public:
  FaultySource(const uint8_t* data, size_t size, const FaultPlan& plan)
      : data_(data), size_(size), plan_(plan) {}

  bool Read(void* buffer, uint32_t size, uint32_t* got) override {
    ++reads_;
    uint32_t count = 0;
    if (position_ < size_) {
      const size_t left = size_ - position_;
      count = size < left ? size : static_cast<uint32_t>(left);
    }
    if (plan_.maxChunk != 0 && count > plan_.maxChunk) count = plan_.maxChunk;

    if (Hits(reads_, plan_.readFaultAt, plan_.readFaultSticks)) {
      switch (plan_.readFault) {
        case FaultPlan::Fails:
          if (got != nullptr) *got = 0;
          return false;
        case FaultPlan::YieldsNothing:
          if (got != nullptr) *got = 0;
          return true;
        case FaultPlan::ClaimsTooMuch:
          // Copies what it has but reports a byte more than was asked for.
          if (count > 0) std::memcpy(buffer, data_ + position_, count);
          position_ += count;
          if (got != nullptr) *got = size + 1;
          return true;
        default:
          break;
      }
    }
    if (count > 0) std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    if (got != nullptr) *got = count;
    return true;
  }

  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) override {
    ++seeks_;
    if (Hits(seeks_, plan_.seekFaultAt, plan_.seekFaultSticks)) return false;
    int64_t base = 0;
    if (origin == SeekOrigin::Current) base = static_cast<int64_t>(position_);
    if (origin == SeekOrigin::End) base = ReportedSize();
    if (offset < 0 && -offset > base) return false;
    if (offset > 0 && offset > INT64_MAX - base) return false;
    const int64_t target = base + offset;
    // As a file: a position past the end is allowed and reads nothing.
    position_ = static_cast<size_t>(target);
    if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(target);
    return true;
  }

 private:
  static bool Hits(uint32_t call, uint32_t at, bool sticks) {
    return at != 0 && (call == at || (sticks && call > at));
  }
  int64_t ReportedSize() const {
    const int64_t size = static_cast<int64_t>(size_) + plan_.sizeError;
    return size < 0 ? 0 : size;
  }

  const uint8_t* data_;
  size_t size_;
  FaultPlan plan_;
  size_t position_ = 0;
  uint32_t reads_ = 0;
  uint32_t seeks_ = 0;
};
