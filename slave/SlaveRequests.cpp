#include "slave/SlaveRequests.h"

namespace varnetik::slave {

namespace {

constexpr size_t kMaxPduSize = 253;

}  // namespace

int64_t RtuRequestLength(const Bytes& buffer) {
  if (buffer.size() < 2) return 0;
  switch (buffer[1]) {
    case 0x03:
    case 0x04:
    case 0x06:
      return 8;
    case 0x10:
      return buffer.size() < 7 ? 0 : 9 + buffer[6];
    default:
      return -1;
  }
}

bool RtuCrcMatches(const Bytes& frame) {
  if (frame.size() < 4) return false;
  uint16_t crc = SlaveCrc16(frame.data(), frame.size() - 2);
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

MbapHeader ReadMbapHeader(const Bytes& buffer) {
  auto word = [&](size_t at) { return static_cast<uint16_t>(buffer[at] << 8 | buffer[at + 1]); };
  return {word(0), word(2), word(4), buffer[6]};
}

bool PlausibleMbapLength(uint16_t length) { return length >= 2 && length <= kMaxPduSize + 1; }

}  // namespace varnetik::slave
