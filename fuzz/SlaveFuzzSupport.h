// What the slave's fuzz targets share: the input cut into the segments a link might deliver, and the
// checks every answer the slave builds must pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "slave/SlaveFrames.h"

namespace varnetik::fuzz {

// Input: the number of segment sizes (mod 16), one byte each, then the stream. A size byte's low 7 bits
// plus 1 give the segment's length, its top bit a pause on the line after it; the sizes repeat until
// the stream is used up.
struct Segment {
  size_t length;
  bool pauseAfter;
};

inline std::vector<Segment> TakeSegments(FuzzInput& input) {
  std::vector<Segment> segments;
  const size_t count = input.TakeByte() % 16;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t size = input.TakeByte();
    segments.push_back({static_cast<size_t>(size & 0x7F) + 1u, (size & 0x80) != 0});
  }
  if (segments.empty()) segments.push_back({SIZE_MAX, false});
  return segments;
}

// A whole fuzz input for a stream target: the fault to apply, the segment sizes, and the stream itself.
struct SegmentedStream {
  slave::Reply fault;
  std::vector<Segment> segments;
  slave::Bytes stream;
};

// A reply with a fault from one byte: the kind, and now and then an exception code with it.
inline slave::Reply FaultFromByte(uint8_t byte) {
  slave::Reply reply;
  reply.kind = static_cast<slave::Misbehaviour>(byte % 16);
  if ((byte & 0x30) == 0x30) reply.exceptionCode = static_cast<uint8_t>(byte >> 6);
  reply.copies = 1 + (byte >> 6);
  reply.mbapLength = byte;
  return reply;
}

inline SegmentedStream TakeSegmentedStream(FuzzInput& input) {
  SegmentedStream taken;
  taken.fault = FaultFromByte(input.TakeByte());
  taken.segments = TakeSegments(input);
  taken.stream = input.TakeRest();
  return taken;
}

// Appends the next segment of the stream, from at, to buffer, as a link would deliver it; returns the
// new position.
inline size_t DeliverSegment(const slave::Bytes& stream, size_t at, const Segment& segment, slave::Bytes& buffer) {
  const size_t length = std::min(segment.length, stream.size() - at);
  buffer.insert(buffer.end(), stream.begin() + static_cast<int64_t>(at),
                stream.begin() + static_cast<int64_t>(at + length));
  return at + length;
}

// One register map for every input: allocating two 64 K tables per input would be most of the work.
inline slave::RegisterMap& SharedRegisters() {
  static slave::RegisterMap registers;
  return registers;
}

// The correct answer PDU to a request PDU, as --help promises it: the request's function code with its
// data, or an exception with 01 (function code not served), 02 (addresses) or 03 (quantity, value,
// malformed).
inline void CheckAnswerPdu(const slave::Bytes& request, const slave::Bytes& answer) {
  FUZZ_CHECK(!request.empty() && answer.size() >= 2);
  const uint8_t functionCode = request[0];
  const bool served = (functionCode >= 0x01 && functionCode <= 0x06) || functionCode == 0x0F || functionCode == 0x10;
  if ((answer[0] & 0x80) != 0) {
    FUZZ_CHECK(answer[0] == (functionCode | 0x80) && answer.size() == 2);
    FUZZ_CHECK(answer[1] == (served ? answer[1] : 0x01));
    FUZZ_CHECK(answer[1] >= 0x01 && answer[1] <= 0x03);
    return;
  }
  FUZZ_CHECK(served && answer[0] == functionCode);
  const size_t quantity = request.size() >= 5 ? static_cast<size_t>(request[3] << 8 | request[4]) : 0;
  if (functionCode == 0x01 || functionCode == 0x02) {
    FUZZ_CHECK(request.size() == 5);
    const size_t bytes = (quantity + 7) / 8;
    FUZZ_CHECK(quantity >= 1 && quantity <= 2000 && answer.size() == 2 + bytes && answer[1] == bytes);
    // The bits past the quantity are padding and 0.
    FUZZ_CHECK(quantity % 8 == 0 || (answer.back() >> (quantity % 8)) == 0);
  } else if (functionCode == 0x03 || functionCode == 0x04) {
    FUZZ_CHECK(request.size() == 5);
    FUZZ_CHECK(quantity >= 1 && quantity <= 125 && answer.size() == 2 + 2 * quantity && answer[1] == 2 * quantity);
  } else if (functionCode == 0x05 || functionCode == 0x06) {
    FUZZ_CHECK(answer == request);
    FUZZ_CHECK(functionCode == 0x06 || ((request[3] == 0xFF || request[3] == 0x00) && request[4] == 0x00));
  } else {
    FUZZ_CHECK(answer.size() == 5 && std::equal(answer.begin(), answer.end(), request.begin()));
    FUZZ_CHECK(request.size() == 6u + request[5]);
    FUZZ_CHECK(functionCode == 0x10 ? request[5] == 2 * quantity : request[5] == (quantity + 7) / 8);
  }
}

}  // namespace varnetik::fuzz
