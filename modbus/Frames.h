// Byte layouts of the RTU and Modbus TCP frames, the CRC-16 and the frame buffer sizes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace varnetik {

inline constexpr int64_t kRtuTxFrameSize = 261;
inline constexpr int64_t kRtuRxFrameSize = 513;  // capacity offered to every exchange
inline constexpr int64_t kTcpTxFrameSize = 261;
inline constexpr int64_t kTcpRxFrameSize = 521;
inline constexpr int64_t kMbapHeaderSize = 7;
// Capacity every TCP transaction offers for a response PDU: MBAP lengths up to 514 pass.
inline constexpr int64_t kTcpPduFrameSize = 513;

inline constexpr uint16_t kMaxReadQuantity = 125;
inline constexpr int64_t kMaxWriteQuantity = 123;

inline constexpr uint8_t kFcReadHolding = 0x03;
inline constexpr uint8_t kFcReadInput = 0x04;
inline constexpr uint8_t kFcWriteSingle = 0x06;
inline constexpr uint8_t kFcWriteMultiple = 0x10;
inline constexpr uint8_t kExceptionBit = 0x80;

using RtuTxFrame = std::array<uint8_t, kRtuTxFrameSize>;
using RtuRxFrame = std::array<uint8_t, kRtuRxFrameSize>;
using TcpTxFrame = std::array<uint8_t, kTcpTxFrameSize>;
using TcpRxFrame = std::array<uint8_t, kTcpRxFrameSize>;
using TcpPduFrame = std::array<uint8_t, kTcpPduFrameSize>;

// CRC-16/MODBUS of the first count bytes, computed bit by bit.
uint16_t Crc16(const uint8_t* bytes, int64_t count);

// True when the last two of the length bytes hold the CRC (low byte first) of the bytes before them.
bool RtuCrcMatches(const uint8_t* frame, int64_t length);

// 2 * quantity + 5: the RTU response length of a read of quantity registers.
int64_t ExpectedReadResponseLength(uint16_t quantity);

// True for exactly the exception codes 1..6, 8, 10 and 11.
bool IsKnownExceptionCode(uint8_t code);

// Request builders. Each writes a complete frame from frame[0] and returns its length.
int64_t BuildRtuReadRequest(uint8_t* frame, uint8_t slaveId, uint8_t functionCode, uint16_t start,
                            uint16_t quantity);
int64_t BuildRtuWriteSingleRequest(uint8_t* frame, uint8_t slaveId, uint16_t address, uint16_t value);
// Sends the first count entries of values; count must be 1..123 and values must hold at least count entries.
// Outside that contract the frame stays inside its buffer: count is clamped to 0..123 and entries the
// vector lacks are sent as 0 (the transactions refuse such calls before building anything).
int64_t BuildRtuWriteMultipleRequest(uint8_t* frame, uint8_t slaveId, uint16_t start,
                                     const std::vector<uint16_t>& values, int64_t count);

// TCP request PDUs (no MBAP header), written from pdu[0]; the result is the PDU length.
int64_t BuildReadPdu(uint8_t* pdu, uint8_t functionCode, uint16_t start, uint16_t quantity);
int64_t BuildWriteSinglePdu(uint8_t* pdu, uint16_t address, uint16_t value);
int64_t BuildWriteMultiplePdu(uint8_t* pdu, uint16_t start, const std::vector<uint16_t>& values,
                              int64_t count);

}  // namespace varnetik
