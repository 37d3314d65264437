// What every fuzz target shares: reading its input field by field, a check that stops the run loudly,
// and marking bytes beyond the current frame as unreadable for AddressSanitizer.
#pragma once

#include <sanitizer/asan_interface.h>  // the poisoning macros are no-ops without AddressSanitizer

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "modbus/ResultCode.h"

// Every fuzz target defines this; libFuzzer or our standalone driver calls it once per input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace varnetik::fuzz {

[[noreturn]] inline void FailCheck(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
  std::abort();
}

// An abort is what both libFuzzer and the standalone driver report as a crash with the input saved.
#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::varnetik::fuzz::FailCheck(#condition, __FILE__, __LINE__))

// Hands out the input field by field; an exhausted input reads as zeros so every input is usable.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t TakeByte() { return offset_ < size_ ? data_[offset_++] : 0; }

  uint16_t TakeU16() {
    const uint8_t high = TakeByte();
    return static_cast<uint16_t>((high << 8) | TakeByte());
  }

  std::vector<uint8_t> TakeRest() {
    std::vector<uint8_t> rest(data_ + offset_, data_ + size_);
    offset_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

// Bytes in [begin, end) stay in their buffer but hold nothing of the current frame: any read of them is
// a read past the frame, which AddressSanitizer then reports.
inline void MarkStale(const uint8_t* begin, const uint8_t* end) {
  if (end > begin) ASAN_POISON_MEMORY_REGION(begin, static_cast<size_t>(end - begin));
}

inline void MarkCurrent(const uint8_t* begin, const uint8_t* end) {
  if (end > begin) ASAN_UNPOISON_MEMORY_REGION(begin, static_cast<size_t>(end - begin));
}

// A heap block of which exactly size bytes are readable for AddressSanitizer. Its allocator hands out one
// readable byte even for a request of 0, so the block is made larger and its tail marked unreadable.
class ExactBuffer {
 public:
  explicit ExactBuffer(size_t size) : size_(size), room_(size / 8 * 8 + 8), bytes_(new uint8_t[room_]) {
    MarkStale(bytes_.get() + size_, bytes_.get() + room_);
  }
  ~ExactBuffer() { MarkCurrent(bytes_.get(), bytes_.get() + room_); }
  ExactBuffer(const ExactBuffer&) = delete;
  ExactBuffer& operator=(const ExactBuffer&) = delete;

  uint8_t* data() { return bytes_.get(); }
  size_t size() const { return size_; }

 private:
  size_t size_;
  size_t room_;
  std::unique_ptr<uint8_t[]> bytes_;
};

// Every code a transaction hands to an operation must have a text of its own: be a defined code.
inline bool HasOwnMessage(ResultCode code) { return IsDefinedResult(code); }

}  // namespace varnetik::fuzz
