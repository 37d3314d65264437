// The one vocabulary of outcomes for both links, as numbers; the operator's texts for them are in
// operator/ResultMessages.h.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <optional>

namespace varnetik {

// How a transaction or an exchange ended: a success that carries a count (registers read, 1 for a
// single write, registers written, bytes of a response), or a failure with its fixed negative number.
// A type of its own so that a count is never passed on as a failure, or a failure used as a count:
// each way round takes a word of its own (Success, Count, or the number spelled out).
class ResultCode {
 public:
  // The code with this number: 0 or more is a success with that count, negative a failure.
  constexpr explicit ResultCode(int64_t number) : number_(number) {}

  // A success that counted count (0 or more).
  static constexpr ResultCode Success(int64_t count) { return ResultCode(count); }

  constexpr bool IsSuccess() const { return number_ >= 0; }
  constexpr bool IsFailure() const { return number_ < 0; }
  // What a success counted; a failure counted nothing.
  constexpr int64_t Count() const { return IsSuccess() ? number_ : 0; }
  // The number as the texts and the log show it.
  constexpr int64_t Number() const { return number_; }

  friend constexpr bool operator==(const ResultCode&, const ResultCode&) = default;
  // By number, only so that codes can be kept in sorted containers.
  friend constexpr std::strong_ordering operator<=>(const ResultCode&, const ResultCode&) = default;

 private:
  int64_t number_;
};

// Writes the number; for test and tally output.
std::ostream& operator<<(std::ostream& out, ResultCode code);

// Every single failure code: X(name, number). The constants and IsDefinedResult are made from it.
#define VARNETIK_SINGLE_RESULT_CODES(X) \
  X(NoPortOpen, -1)                      \
  X(SendFailed, -2)                      \
  X(ReadBadQuantity, -10)                \
  X(ReadShortOrTimeout, -20)             \
  X(ReadCrcError, -21)                   \
  X(ReadUnexpectedLength, -22)           \
  X(ReadByteCountMismatch, -23)          \
  X(WriteOneShortOrTimeout, -30)         \
  X(WriteOneCrcError, -31)               \
  X(WriteOneUnexpectedLength, -32)       \
  X(WriteManyBadQuantity, -40)           \
  X(WriteManyShortOrTimeout, -41)        \
  X(WriteManyCrcError, -42)              \
  X(WriteManyUnexpectedLength, -43)      \
  X(RtuBadExceptionCode, -52)            \
  X(TcpNotConnected, -1000)              \
  X(TcpSendFailed, -1001)                \
  X(TcpTimeoutOrShort, -1010)            \
  X(TcpProtocolIdNotZero, -1011)         \
  X(TcpBadMbapLength, -1012)             \
  X(TcpConnectionLost, -1013)            \
  X(TcpTransactionIdMismatch, -1014)     \
  X(TcpBadExceptionCode, -1015)          \
  X(TcpUnitIdMismatch, -1016)            \
  X(TcpReadByteCountMismatch, -1020)     \
  X(TcpWriteOneUnexpectedLength, -1030)  \
  X(TcpWriteManyUnexpectedLength, -1040)

#define VARNETIK_RESULT_CODE_CONSTANT(name, number) inline constexpr ResultCode name{number};
VARNETIK_SINGLE_RESULT_CODES(VARNETIK_RESULT_CODE_CONSTANT)
#undef VARNETIK_RESULT_CODE_CONSTANT

// Bases of the three exception families, one per function: an exception answer with exception code
// byte e is reported as base - e, on either link.
inline constexpr ResultCode ReadException{-256};
inline constexpr ResultCode WriteOneException{-512};
inline constexpr ResultCode WriteManyException{-768};

// The code for an exception answer with exception code byte e in the family of base.
constexpr ResultCode ExceptionResult(ResultCode base, uint8_t e) { return ResultCode(base.Number() - e); }

// The exception code byte that code carries when it lies in the family of base; nothing otherwise, also
// for a base that is none of the three.
std::optional<uint8_t> ExceptionCodeIn(ResultCode code, ResultCode base);

// True for every single failure code above and every code of the three exception families: the codes
// that have a text of their own.
bool IsDefinedResult(ResultCode code);

}  // namespace varnetik
