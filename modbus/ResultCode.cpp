#include "modbus/ResultCode.h"

#include <ostream>

namespace varnetik {

namespace {

struct ExceptionFamily {
  ResultCode base;
  ResultCode lowest;
};

// The function family of an exception answer is carried in the code, so a code tells its function
// without the link. The write-many range stops short of -1000: the TCP link's codes live there, and a
// write-many exception is only ever made from a named exception code (at most 11), so nothing of it is
// lost.
constexpr ExceptionFamily kExceptionFamilies[] = {
    {ReadException, ExceptionResult(ReadException, 255)},
    {WriteOneException, ExceptionResult(WriteOneException, 255)},
    {WriteManyException, ResultCode(TcpNotConnected.Number() + 1)},
};

}  // namespace

std::ostream& operator<<(std::ostream& out, ResultCode code) { return out << code.Number(); }

std::optional<uint8_t> ExceptionCodeIn(ResultCode code, ResultCode base) {
  for (const ExceptionFamily& family : kExceptionFamilies) {
    const int64_t number = code.Number();
    if (family.base == base && number <= base.Number() && number >= family.lowest.Number()) {
      return static_cast<uint8_t>(base.Number() - number);
    }
  }
  return std::nullopt;
}

bool IsDefinedResult(ResultCode code) {
  for (const ExceptionFamily& family : kExceptionFamilies) {
    if (ExceptionCodeIn(code, family.base)) return true;
  }
  switch (code.Number()) {
#define VARNETIK_RESULT_CODE_CASE(name, number) case number:
    VARNETIK_SINGLE_RESULT_CODES(VARNETIK_RESULT_CODE_CASE)
#undef VARNETIK_RESULT_CODE_CASE
    return true;
    default: return false;
  }
}

}  // namespace varnetik
