#include "modbus/Frames.h"

#include <algorithm>

#include "modbus/BigEndian.h"

namespace varnetik {

namespace {

// The builders write into fixed 261-byte buffers, so a count outside 0..123 must never widen the frame.
int64_t ClampedWriteCount(int64_t count) { return std::clamp<int64_t>(count, 0, kMaxWriteQuantity); }

// Writes count values from at; entries the vector does not have go out as 0 instead of being read
// past its end.
void PutValues(uint8_t* at, const std::vector<uint16_t>& values, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(i);
    PutU16(at + 2 * i, index < values.size() ? values[index] : 0);
  }
}

int64_t AppendCrc(uint8_t* frame, int64_t length) {
  const uint16_t crc = Crc16(frame, length);
  frame[length] = static_cast<uint8_t>(crc & 0xFF);
  frame[length + 1] = static_cast<uint8_t>(crc >> 8);
  return length + 2;
}

}  // namespace

uint16_t Crc16(const uint8_t* bytes, int64_t count) {
  uint16_t crc = 0xFFFF;
  for (int64_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool lowBitSet = (crc & 0x0001) != 0;
      crc = static_cast<uint16_t>(crc >> 1);
      if (lowBitSet) crc ^= 0xA001;
    }
  }
  return crc;
}

bool RtuCrcMatches(const uint8_t* frame, int64_t length) {
  if (length < 2) return false;
  const uint16_t received = static_cast<uint16_t>(frame[length - 2] | (frame[length - 1] << 8));
  return received == Crc16(frame, length - 2);
}

int64_t ExpectedReadResponseLength(uint16_t quantity) { return 2 * static_cast<int64_t>(quantity) + 5; }

bool IsKnownExceptionCode(uint8_t code) {
  return (code >= 1 && code <= 6) || code == 8 || code == 10 || code == 11;
}

int64_t BuildRtuReadRequest(uint8_t* frame, uint8_t slaveId, uint8_t functionCode, uint16_t start,
                            uint16_t quantity) {
  frame[0] = slaveId;
  BuildReadPdu(frame + 1, functionCode, start, quantity);
  return AppendCrc(frame, 6);
}

int64_t BuildRtuWriteSingleRequest(uint8_t* frame, uint8_t slaveId, uint16_t address, uint16_t value) {
  frame[0] = slaveId;
  BuildWriteSinglePdu(frame + 1, address, value);
  return AppendCrc(frame, 6);
}

int64_t BuildRtuWriteMultipleRequest(uint8_t* frame, uint8_t slaveId, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count) {
  frame[0] = slaveId;
  const int64_t pduLength = BuildWriteMultiplePdu(frame + 1, start, values, count);
  return AppendCrc(frame, 1 + pduLength);
}

int64_t BuildReadPdu(uint8_t* pdu, uint8_t functionCode, uint16_t start, uint16_t quantity) {
  pdu[0] = functionCode;
  PutU16(pdu + 1, start);
  PutU16(pdu + 3, quantity);
  return 5;
}

int64_t BuildWriteSinglePdu(uint8_t* pdu, uint16_t address, uint16_t value) {
  pdu[0] = kFcWriteSingle;
  PutU16(pdu + 1, address);
  PutU16(pdu + 3, value);
  return 5;
}

int64_t BuildWriteMultiplePdu(uint8_t* pdu, uint16_t start, const std::vector<uint16_t>& values,
                              int64_t count) {
  const int64_t n = ClampedWriteCount(count);
  pdu[0] = kFcWriteMultiple;
  PutU16(pdu + 1, start);
  PutU16(pdu + 3, static_cast<uint16_t>(n));
  pdu[5] = static_cast<uint8_t>(2 * n);
  PutValues(pdu + 6, values, n);
  return 6 + 2 * n;
}

}  // namespace varnetik
