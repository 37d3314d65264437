// The one vocabulary of outcomes for both links, with the operator's German texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnetik {

// 0 or more is success (registers read, 1 for a single write, registers written); negative is a failure.
using ResultCode = int64_t;

inline constexpr ResultCode NoPortOpen = -1;
inline constexpr ResultCode SendFailed = -2;
inline constexpr ResultCode ReadBadQuantity = -10;
inline constexpr ResultCode ReadShortOrTimeout = -20;
inline constexpr ResultCode ReadCrcError = -21;
inline constexpr ResultCode ReadUnexpectedLength = -22;
inline constexpr ResultCode ReadByteCountMismatch = -23;
inline constexpr ResultCode WriteOneShortOrTimeout = -30;
inline constexpr ResultCode WriteOneCrcError = -31;
inline constexpr ResultCode WriteOneUnexpectedLength = -32;
inline constexpr ResultCode WriteManyBadQuantity = -40;
inline constexpr ResultCode WriteManyShortOrTimeout = -41;
inline constexpr ResultCode WriteManyCrcError = -42;
inline constexpr ResultCode WriteManyUnexpectedLength = -43;
inline constexpr ResultCode RtuBadExceptionCode = -52;
inline constexpr ResultCode TcpNotConnected = -1000;
inline constexpr ResultCode TcpSendFailed = -1001;
inline constexpr ResultCode TcpTimeoutOrShort = -1010;
inline constexpr ResultCode TcpProtocolIdNotZero = -1011;
inline constexpr ResultCode TcpBadMbapLength = -1012;
inline constexpr ResultCode TcpConnectionLost = -1013;
inline constexpr ResultCode TcpTransactionIdMismatch = -1014;
inline constexpr ResultCode TcpBadExceptionCode = -1015;
inline constexpr ResultCode TcpUnitIdMismatch = -1016;
inline constexpr ResultCode TcpReadByteCountMismatch = -1020;
inline constexpr ResultCode TcpWriteOneUnexpectedLength = -1030;
inline constexpr ResultCode TcpWriteManyUnexpectedLength = -1040;

// Bases of the three exception families, one per function: an exception answer with exception code
// byte e is reported as base - e, on either link.
inline constexpr ResultCode ReadException = -256;
inline constexpr ResultCode WriteOneException = -512;
inline constexpr ResultCode WriteManyException = -768;

// The code for an exception answer with exception code byte e in the family of base.
constexpr ResultCode ExceptionResult(ResultCode base, uint8_t e) { return base - e; }

// The exception code byte that code carries when it lies in the family of base; nothing otherwise, also
// for a base that is none of the three.
std::optional<uint8_t> ExceptionCodeIn(ResultCode code, ResultCode base);

// UTF-8 text for any code ("Fehler <code>" for a code without a text of its own).
std::string ResultMessage(ResultCode code);

// Name of a Modbus exception code, or "EXC <e>" for an unnamed one.
std::string ExceptionText(uint8_t code);

}  // namespace varnetik
