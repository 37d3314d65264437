#include "slave/SlaveRequests.h"

namespace varnetik::slave {

namespace {

constexpr size_t kMaxPduSize = 253;
// Address, function code and CRC.
constexpr size_t kShortestRtuFrame = 4;

// The length of a complete request with a matching CRC at the front of bytes, 0 when there is none.
size_t WholeRequestAt(const uint8_t* bytes, size_t size) {
  const int64_t length = RtuRequestLength(bytes, size);
  if (length <= 0 || size < static_cast<size_t>(length)) return 0;
  return RtuCrcMatches(bytes, static_cast<size_t>(length)) ? static_cast<size_t>(length) : 0;
}

}  // namespace

int64_t RtuRequestLength(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  switch (bytes[1]) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
      return 8;
    case 0x0F:
    case 0x10:
      return size < 7 ? 0 : 9 + bytes[6];
    default:
      return -1;
  }
}

int64_t RtuRequestLength(const Bytes& buffer) { return RtuRequestLength(buffer.data(), buffer.size()); }

bool RtuCrcMatches(const uint8_t* bytes, size_t size) {
  if (size < kShortestRtuFrame) return false;
  uint16_t crc = SlaveCrc16(bytes, size - 2);
  return bytes[size - 2] == (crc & 0xFF) && bytes[size - 1] == (crc >> 8);
}

bool RtuCrcMatches(const Bytes& frame) { return RtuCrcMatches(frame.data(), frame.size()); }

void CutRtuRequests(Bytes& buffer, bool atPause, std::vector<RtuPiece>& pieces) {
  const uint8_t* bytes = buffer.data();
  const size_t size = buffer.size();
  auto take = [&](size_t from, size_t count, bool request) {
    pieces.push_back({Bytes(bytes + from, bytes + from + count), request});
  };
  size_t at = 0;
  while (at < size) {
    const size_t rest = size - at;
    if (const size_t whole = WholeRequestAt(bytes + at, rest); whole != 0) {
      take(at, whole, true);
      at += whole;
      continue;
    }
    const int64_t length = RtuRequestLength(bytes + at, rest);
    const bool frontBroken = length < 0 || (length > 0 && rest >= static_cast<size_t>(length));
    // A request whose length is known but whose bytes are still arriving is waited for.
    if (!frontBroken && !atPause) break;
    size_t later = 1;
    while (later + kShortestRtuFrame <= rest && WholeRequestAt(bytes + at + later, rest - later) == 0) ++later;
    if (later + kShortestRtuFrame <= rest) {
      // What comes before it is a frame of its own when its CRC matches (a function code without a
      // length, answered with its exception), else noise.
      take(at, later, RtuCrcMatches(bytes + at, later));
      at += later;
      continue;
    }
    if (atPause) {
      take(at, rest, RtuCrcMatches(bytes + at, rest));
      at = size;
      break;
    }
    // No request can start this far before the end and still be arriving.
    if (rest > kLongestRtuRequest) {
      take(at, rest - kLongestRtuRequest, false);
      at = size - kLongestRtuRequest;
    }
    break;
  }
  buffer.erase(buffer.begin(), buffer.begin() + static_cast<int64_t>(at));
}

MbapHeader ReadMbapHeader(const uint8_t* bytes) {
  auto word = [&](size_t at) { return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]); };
  return {word(0), word(2), word(4), bytes[6]};
}

MbapHeader ReadMbapHeader(const Bytes& buffer) { return ReadMbapHeader(buffer.data()); }

bool PlausibleMbapLength(uint16_t length) { return length >= 2 && length <= kMaxPduSize + 1; }

TcpCut CutTcpRequest(const uint8_t* bytes, size_t size, size_t& length) {
  if (size < kMbapHeaderSize) return TcpCut::NeedMore;
  const MbapHeader header = ReadMbapHeader(bytes);
  if (!PlausibleMbapLength(header.length)) return TcpCut::Unframeable;
  length = 6u + header.length;
  return size < length ? TcpCut::NeedMore : TcpCut::Request;
}

}  // namespace varnetik::slave
