#include "slave/SlaveFrames.h"

namespace varnetik::slave {
namespace {

// The standard's limits: a read answer and a write-many request must fit the 253-byte PDU.
constexpr uint16_t kMaxReadQuantity = 125;
constexpr uint16_t kMaxWriteQuantity = 123;
constexpr uint16_t kMaxBitReadQuantity = 2000;
constexpr uint16_t kMaxBitWriteQuantity = 1968;
constexpr uint32_t kAddressCount = 65536;
// FC05's only two values: on and off.
constexpr uint16_t kCoilOn = 0xFF00;
constexpr uint16_t kCoilOff = 0x0000;

bool IsReadFunction(uint8_t functionCode) { return functionCode >= 0x01 && functionCode <= 0x04; }

size_t BitBytes(uint16_t quantity) { return (quantity + 7u) / 8u; }

uint16_t Word(const Bytes& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]); }

void PutWord(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value >> 8));
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
}

Bytes ExceptionPdu(uint8_t functionCode, uint8_t code) {
  return {static_cast<uint8_t>(functionCode | 0x80), code};
}

Bytes ReadAnswer(const Bytes& request, const std::vector<uint16_t>& table, const Reply& reply) {
  uint16_t start = Word(request, 1);
  uint16_t quantity = Word(request, 3);
  Bytes pdu{request[0], static_cast<uint8_t>(2 * quantity)};
  if (reply.kind == Misbehaviour::BadByteCount) pdu[1] = static_cast<uint8_t>(pdu[1] - 2);
  for (uint16_t k = 0; k < quantity; ++k) PutWord(pdu, table[static_cast<uint16_t>(start + k)]);
  return pdu;
}

// Bits packed eight to a byte, the first one in the lowest bit; the last byte padded with 0.
Bytes ReadBitsAnswer(const Bytes& request, const std::vector<uint16_t>& table, const Reply& reply) {
  uint16_t start = Word(request, 1);
  uint16_t quantity = Word(request, 3);
  const size_t count = BitBytes(quantity);
  Bytes pdu(2 + count, 0);
  pdu[0] = request[0];
  pdu[1] = static_cast<uint8_t>(count);
  // One lower rather than two: a byte count of 1 would otherwise turn into 255.
  if (reply.kind == Misbehaviour::BadByteCount) pdu[1] = static_cast<uint8_t>(pdu[1] - 1);
  for (uint16_t k = 0; k < quantity; ++k) {
    if (table[static_cast<uint16_t>(start + k)] != 0) pdu[2 + k / 8] |= static_cast<uint8_t>(1u << (k % 8));
  }
  return pdu;
}

Bytes WriteCoilsAnswer(const Bytes& request, RegisterMap& registers) {
  uint16_t start = Word(request, 1);
  uint16_t quantity = Word(request, 3);
  for (uint16_t k = 0; k < quantity; ++k) {
    registers.coils[static_cast<uint16_t>(start + k)] = (request[6 + k / 8] >> (k % 8)) & 1u;
  }
  return Bytes(request.begin(), request.begin() + 5);
}

Bytes WriteMultipleAnswer(const Bytes& request, RegisterMap& registers) {
  uint16_t start = Word(request, 1);
  uint16_t quantity = Word(request, 3);
  for (uint16_t k = 0; k < quantity; ++k) {
    registers.holding[static_cast<uint16_t>(start + k)] = Word(request, 6 + 2u * k);
  }
  return Bytes(request.begin(), request.begin() + 5);
}

// Exception 3 for a quantity outside 1..maxQuantity, 2 for a block past the last address.
uint8_t BlockFault(const Bytes& request, uint16_t maxQuantity, bool addressesWrap) {
  uint16_t quantity = Word(request, 3);
  if (quantity < 1 || quantity > maxQuantity) return kIllegalDataValue;
  if (!addressesWrap && uint32_t{Word(request, 1)} + quantity > kAddressCount) return kIllegalDataAddress;
  return 0;
}

// The exception code a request PDU earns, 0 when it can be carried out. A PDU whose length does not
// match its function is an illegal value, as the standard has it for a malformed request.
uint8_t RequestFault(const Bytes& request, bool addressesWrap) {
  switch (request[0]) {
    case 0x01:
    case 0x02:
      if (request.size() != 5) return kIllegalDataValue;
      return BlockFault(request, kMaxBitReadQuantity, addressesWrap);
    case 0x03:
    case 0x04:
      if (request.size() != 5) return kIllegalDataValue;
      return BlockFault(request, kMaxReadQuantity, addressesWrap);
    case 0x05:
      if (request.size() != 5) return kIllegalDataValue;
      return Word(request, 3) == kCoilOn || Word(request, 3) == kCoilOff ? 0 : kIllegalDataValue;
    case 0x06:
      return request.size() == 5 ? 0 : kIllegalDataValue;
    case 0x0F:
      if (request.size() < 6 || request.size() != 6u + request[5]) return kIllegalDataValue;
      // Quantity first: a byte count is only judged against a quantity that is allowed.
      if (Word(request, 3) < 1 || Word(request, 3) > kMaxBitWriteQuantity) return kIllegalDataValue;
      if (request[5] != BitBytes(Word(request, 3))) return kIllegalDataValue;
      return BlockFault(request, kMaxBitWriteQuantity, addressesWrap);
    case 0x10:
      if (request.size() < 6 || request.size() != 6u + request[5]) return kIllegalDataValue;
      if (request[5] != 2u * Word(request, 3)) return kIllegalDataValue;
      return BlockFault(request, kMaxWriteQuantity, addressesWrap);
    default:
      return kIllegalFunction;
  }
}

Bytes TcpFrame(uint16_t transactionId, uint16_t protocolId, uint8_t unitId, const Bytes& pdu) {
  Bytes frame;
  PutWord(frame, transactionId);
  PutWord(frame, protocolId);
  PutWord(frame, static_cast<uint16_t>(pdu.size() + 1));
  frame.push_back(unitId);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  return frame;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

}  // namespace

uint16_t SlaveCrc16(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
  }
  return crc;
}

Bytes AnswerPdu(const Bytes& request, RegisterMap& registers, const Reply& reply) {
  if (request.empty()) return ExceptionPdu(0, kIllegalFunction);
  uint8_t functionCode = request[0];
  if (reply.kind == Misbehaviour::Exception || reply.exceptionCode != 0) {
    return ExceptionPdu(functionCode, reply.exceptionCode);
  }
  if (uint8_t code = RequestFault(request, registers.addressesWrap); code != 0) {
    return ExceptionPdu(functionCode, code);
  }
  switch (functionCode) {
    case 0x01:
      return ReadBitsAnswer(request, registers.coils, reply);
    case 0x02:
      return ReadBitsAnswer(request, registers.discrete, reply);
    case 0x03:
      return ReadAnswer(request, registers.holding, reply);
    case 0x04:
      return ReadAnswer(request, registers.input, reply);
    case 0x05:
      registers.coils[Word(request, 1)] = Word(request, 3) == kCoilOn ? 1 : 0;
      return request;
    case 0x06:
      registers.holding[Word(request, 1)] = Word(request, 3);
      return request;
    case 0x0F:
      return WriteCoilsAnswer(request, registers);
    default:
      return WriteMultipleAnswer(request, registers);
  }
}

bool IsWriteFunction(uint8_t functionCode) {
  return functionCode == 0x05 || functionCode == 0x06 || functionCode == 0x0F || functionCode == 0x10;
}

bool FaultChangesAnswer(const Bytes& request, const RegisterMap& registers, const Reply& reply) {
  if (reply.delayMs > 0 || reply.pieces > 1) return true;
  const uint8_t earned = request.empty() ? kIllegalFunction : RequestFault(request, registers.addressesWrap);
  switch (reply.kind) {
    case Misbehaviour::None:
      return reply.exceptionCode != 0 && reply.exceptionCode != earned;
    case Misbehaviour::Exception:
      return reply.exceptionCode != earned;
    case Misbehaviour::BadByteCount:
      if (reply.exceptionCode != 0) return reply.exceptionCode != earned;
      return earned == 0 && IsReadFunction(request[0]);
    default:
      return true;
  }
}

Bytes FrameRtuAnswer(uint8_t address, const Bytes& pdu, const Reply& reply) {
  // Built by push_back after a reserve: GCC 12 at -O3 misreads an insert into a one-byte vector as an
  // out-of-bounds copy.
  Bytes frame;
  frame.reserve(pdu.size() + 3);
  frame.push_back(address);
  Append(frame, pdu);
  uint16_t crc = SlaveCrc16(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  if (reply.kind == Misbehaviour::BadCrc) frame.back() ^= 0xFF;
  if (reply.kind == Misbehaviour::OneByteShort) frame.pop_back();
  if (reply.kind == Misbehaviour::OneByteExtra) frame.push_back(0x00);
  return frame;
}

Bytes FrameTcpAnswer(uint16_t transactionId, uint8_t unitId, const Bytes& pdu, const Reply& reply) {
  Bytes shaped = pdu;
  if (reply.kind == Misbehaviour::OneByteShort && !shaped.empty()) shaped.pop_back();
  if (reply.kind == Misbehaviour::OneByteExtra) shaped.push_back(0x00);

  Bytes out;
  switch (reply.kind) {
    case Misbehaviour::TruncatedFrame:
      out = TcpFrame(transactionId, 0, unitId, shaped);
      out.pop_back();
      break;
    case Misbehaviour::WrongTransactionId:
      for (int i = 0; i < reply.copies; ++i) Append(out, TcpFrame(transactionId + 1, 0, unitId, shaped));
      break;
    case Misbehaviour::WrongUnitId:
      for (int i = 0; i < reply.copies; ++i) Append(out, TcpFrame(transactionId, 0, unitId + 1, shaped));
      break;
    case Misbehaviour::StaleAnswerFirst:
      Append(out, TcpFrame(transactionId - 1, 0, unitId, shaped));
      Append(out, TcpFrame(transactionId, 0, unitId, shaped));
      break;
    case Misbehaviour::ProtocolIdOne:
      out = TcpFrame(transactionId, 1, unitId, shaped);
      break;
    case Misbehaviour::MbapLengthZero:
      out = TcpFrame(transactionId, 0, unitId, {});
      out[4] = 0;
      out[5] = 0;
      break;
    case Misbehaviour::MbapLength:
      out = TcpFrame(transactionId, 0, unitId, shaped);
      out[4] = static_cast<uint8_t>(reply.mbapLength >> 8);
      out[5] = static_cast<uint8_t>(reply.mbapLength & 0xFF);
      break;
    default:
      out = TcpFrame(transactionId, 0, unitId, shaped);
      break;
  }
  return out;
}

}  // namespace varnetik::slave
