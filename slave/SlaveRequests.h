// Splitting the requests out of the bytes a link delivers: RTU frames by their function code's length
// (or, for a code without one, by the pause that ends every RTU frame), Modbus TCP by the MBAP header.
// Nothing here does I/O, so that the fuzz targets reach the same code the server runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "slave/SlaveFrames.h"

namespace varnetik::slave {

// The longest RTU request a length can be read from: FC15 or FC16 with a byte count of 255.
inline constexpr size_t kLongestRtuRequest = 9 + 255;

// The length of the RTU request at the front of buffer; 0 while too few bytes are there to tell, -1 for
// a function code that does not give it (the frame then ends at the next pause on the line).
int64_t RtuRequestLength(const Bytes& buffer);
int64_t RtuRequestLength(const uint8_t* bytes, size_t size);

// At least address, function code and CRC, and the CRC matches the bytes before it.
bool RtuCrcMatches(const Bytes& frame);
bool RtuCrcMatches(const uint8_t* bytes, size_t size);

// What the bytes of a serial line are cut into, in the order they came.
struct RtuPiece {
  Bytes bytes;
  bool request;  // a frame whose CRC matches; otherwise bytes that frame no request (noise, a broken frame)
};

// Takes what can be decided from the front of buffer into pieces and removes it. A request is cut by its
// function code's length. Where the front holds no request with a matching CRC (noise, another slave's
// answer, a broken frame), the first request with a matching CRC at a later offset is looked for, so
// that the line is in step again at once instead of after the next pause. atPause: the line has been
// silent for the RTU gap, so what is left is one frame (answered when its CRC matches, as for a function
// code without a length) and nothing is still arriving. Without a pause the buffer keeps at most what a
// request still arriving could need.
void CutRtuRequests(Bytes& buffer, bool atPause, std::vector<RtuPiece>& pieces);

inline constexpr size_t kMbapHeaderSize = 7;

struct MbapHeader {
  uint16_t transactionId = 0;
  uint16_t protocolId = 0;
  uint16_t length = 0;  // unit id + PDU
  uint8_t unitId = 0;
};

// The header at the front of buffer, which holds at least kMbapHeaderSize bytes.
MbapHeader ReadMbapHeader(const Bytes& buffer);
MbapHeader ReadMbapHeader(const uint8_t* bytes);

// A length field that frames a unit id and a PDU of 1 to 253 bytes. Anything else leaves no way to find
// the next request in the stream.
bool PlausibleMbapLength(uint16_t length);

enum class TcpCut {
  NeedMore,     // the request at the front is not complete yet
  Request,      // a whole request of `length` bytes (MBAP header + PDU) is at the front
  Unframeable,  // the front header's length is not plausible: the stream cannot be followed any further
};

// What the front of a connection's input holds.
TcpCut CutTcpRequest(const uint8_t* bytes, size_t size, size_t& length);

}  // namespace varnetik::slave
