#include "tests/soak/DefinedCodes.h"

#include <stdexcept>

#include "operator/ResultMessages.h"

namespace varnetik::testing {
namespace {

constexpr uint8_t kKnownExceptionCodes[] = {1, 2, 3, 4, 5, 6, 8, 10, 11};

void AddKnownExceptions(std::vector<ResultCode>& codes, ResultCode base) {
  for (uint8_t e : kKnownExceptionCodes) codes.push_back(ExceptionResult(base, e));
}

std::vector<ResultCode> RtuFailures(SoakOperation operation) {
  std::vector<ResultCode> codes;
  switch (operation) {
    case SoakOperation::Read:
      codes = {ReadShortOrTimeout, ReadCrcError, ReadByteCountMismatch, RtuBadExceptionCode};
      AddKnownExceptions(codes, ReadException);
      break;
    case SoakOperation::WriteOne:
      // The single write passes every exception byte on, named or not.
      codes = {WriteOneShortOrTimeout, WriteOneCrcError, WriteOneUnexpectedLength};
      for (int e = 0; e <= 255; ++e) {
        codes.push_back(ExceptionResult(WriteOneException, static_cast<uint8_t>(e)));
      }
      break;
    case SoakOperation::WriteMany:
      codes = {WriteManyShortOrTimeout, WriteManyCrcError, WriteManyUnexpectedLength, RtuBadExceptionCode};
      AddKnownExceptions(codes, WriteManyException);
      break;
  }
  return codes;
}

std::vector<ResultCode> TcpFailures(SoakOperation operation) {
  std::vector<ResultCode> codes{TcpSendFailed,      TcpTimeoutOrShort,        TcpProtocolIdNotZero,
                                TcpBadMbapLength,   TcpConnectionLost,        TcpTransactionIdMismatch,
                                TcpBadExceptionCode, TcpUnitIdMismatch};
  switch (operation) {
    case SoakOperation::Read:
      codes.insert(codes.end(), {ReadShortOrTimeout, ReadUnexpectedLength, TcpReadByteCountMismatch});
      AddKnownExceptions(codes, ReadException);
      break;
    case SoakOperation::WriteOne:
      codes.push_back(TcpWriteOneUnexpectedLength);
      AddKnownExceptions(codes, WriteOneException);
      break;
    case SoakOperation::WriteMany:
      codes.push_back(TcpWriteManyUnexpectedLength);
      AddKnownExceptions(codes, WriteManyException);
      break;
  }
  return codes;
}

}  // namespace

const char* OperationName(SoakOperation operation) {
  switch (operation) {
    case SoakOperation::Read: return "read";
    case SoakOperation::WriteOne: return "write one";
    case SoakOperation::WriteMany: return "write many";
  }
  return "?";
}

std::vector<ResultCode> DefinedFailures(SoakLink link, SoakOperation operation) {
  return link == SoakLink::Rtu ? RtuFailures(operation) : TcpFailures(operation);
}

std::map<std::string, ResultCode> FailuresByMessage(SoakLink link, SoakOperation operation) {
  std::map<std::string, ResultCode> byMessage;
  for (ResultCode code : DefinedFailures(link, operation)) {
    if (!byMessage.emplace(ResultMessage(code), code).second) {
      throw std::logic_error("two failures share the text " + ResultMessage(code));
    }
  }
  return byMessage;
}

}  // namespace varnetik::testing
