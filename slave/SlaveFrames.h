// The slave's own frame code: answers to requests and the faults it can put into them. Written apart
// from the master's protocol core (modbus/) and never built on it, so that the tests of the master's
// judging rules meet a second, independent reading of the Modbus frames instead of a mirror of the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnetik::slave {

using Bytes = std::vector<uint8_t>;

// What goes wrong with the answer to one request.
enum class Misbehaviour {
  None,                // a correct answer
  Silent,              // no answer at all
  Exception,           // an exception answer carrying Reply::exceptionCode (any kind with a code does)
  BadCrc,              // RTU: the CRC's high byte inverted
  BadByteCount,        // read: byte count two (bit reads: one) less than asked, frame otherwise consistent
  OneByteShort,        // RTU: last byte not sent; TCP: PDU one byte shorter, MBAP length to match
  OneByteExtra,        // RTU: one byte after the CRC; TCP: one more PDU byte, MBAP length to match
  TruncatedFrame,      // TCP: the MBAP length announces the whole PDU, its last byte never comes
  WrongTransactionId,  // TCP: Reply::copies answers with the transaction id one higher, nothing else
  WrongUnitId,         // TCP: Reply::copies answers with the unit id one higher, nothing else
  StaleAnswerFirst,    // TCP: the answer to the previous transaction id first, then the right one
  ProtocolIdOne,       // TCP: protocol id 1
  MbapLengthZero,      // TCP: a bare header with length 0
  MbapLength,          // TCP: the whole answer, its MBAP length field replaced by Reply::mbapLength
  Close,               // TCP: the connection is closed instead of answered
  Reset,               // TCP: the connection is reset (RST) instead of answered
};

struct Reply {
  Misbehaviour kind = Misbehaviour::None;
  // Not 0: the answer is an exception answer with this code, to which the kind's fault is applied
  // (e.g. OneByteExtra with code 2 is a 5-byte RTU exception frame followed by one stray byte).
  uint8_t exceptionCode = 0;
  int delayMs = 0;     // before the first byte (or the close/reset)
  int pieces = 1;      // the bytes are sent in this many parts...
  int pieceGapMs = 0;  // ...this far apart
  int copies = 1;      // WrongTransactionId, WrongUnitId: how many foreign answers
  uint16_t mbapLength = 0;  // MbapLength: the length field sent
};

inline constexpr uint8_t kIllegalFunction = 0x01;
inline constexpr uint8_t kIllegalDataAddress = 0x02;
inline constexpr uint8_t kIllegalDataValue = 0x03;
inline constexpr uint8_t kGatewayTargetFailed = 0x0B;

// The four tables of one unit over the whole 16-bit address range. Coils and discrete inputs hold 0 or
// 1 each, kept in the same word-sized tables as the registers so that files and commands treat all four
// alike.
struct RegisterMap {
  std::vector<uint16_t> holding = std::vector<uint16_t>(65536);
  std::vector<uint16_t> input = std::vector<uint16_t>(65536);
  std::vector<uint16_t> coils = std::vector<uint16_t>(65536);
  std::vector<uint16_t> discrete = std::vector<uint16_t>(65536);
  // A block running past 65535 goes on at 0 instead of getting exception 2, as some devices do; the
  // master's tests use it to see a table whose addresses wrap.
  bool addressesWrap = false;
};

// CRC-16/MODBUS, low byte first when framed.
uint16_t SlaveCrc16(const uint8_t* bytes, size_t count);

// Whether a request with this function code changes the map (05, 06, 15, 16): carried out on a broadcast.
bool IsWriteFunction(uint8_t functionCode);

// The answer PDU to a request PDU, checked in the standard's order: function code (exception 1),
// quantity, value and length (3), address range (2). Writes are applied to the map unless the answer is
// an exception.
Bytes AnswerPdu(const Bytes& request, RegisterMap& registers, const Reply& reply);

// Whether the reply makes the answer to request differ from the correct one in its bytes or its timing.
// A mode that concerns some answers only leaves the others as they are: bytecount changes the data of a
// read (01 to 04), exception=CODE nothing where the request earns CODE anyway.
bool FaultChangesAnswer(const Bytes& request, const RegisterMap& registers, const Reply& reply);

// Address byte + PDU + CRC, with the reply's RTU faults applied.
Bytes FrameRtuAnswer(uint8_t address, const Bytes& pdu, const Reply& reply);

// Every byte the TCP slave sends for one request, with the reply's TCP faults applied.
Bytes FrameTcpAnswer(uint16_t transactionId, uint8_t unitId, const Bytes& pdu, const Reply& reply);

}  // namespace varnetik::slave
