// Splitting the requests out of the bytes a link delivers: RTU frames by their function code's length
// (or, for a code without one, by the pause that ends every RTU frame), Modbus TCP by the MBAP header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "slave/SlaveFrames.h"

namespace varnetik::slave {

// The length of the RTU request at the front of buffer; 0 while too few bytes are there to tell, -1 for
// a function code that does not give it (the frame then ends at the next pause on the line).
int64_t RtuRequestLength(const Bytes& buffer);

// At least address, function code and CRC, and the CRC matches the bytes before it.
bool RtuCrcMatches(const Bytes& frame);

inline constexpr size_t kMbapHeaderSize = 7;

struct MbapHeader {
  uint16_t transactionId = 0;
  uint16_t protocolId = 0;
  uint16_t length = 0;  // unit id + PDU
  uint8_t unitId = 0;
};

// The header at the front of buffer, which holds at least kMbapHeaderSize bytes.
MbapHeader ReadMbapHeader(const Bytes& buffer);

// A length field that frames a unit id and a PDU of 1 to 253 bytes. Anything else leaves no way to find
// the next request in the stream.
bool PlausibleMbapLength(uint16_t length);

}  // namespace varnetik::slave
