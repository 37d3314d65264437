#include "modbus/ResultCode.h"

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
    {ReadException, ReadException - 255},
    {WriteOneException, WriteOneException - 255},
    {WriteManyException, TcpNotConnected + 1},
};

}  // namespace

std::optional<uint8_t> ExceptionCodeIn(ResultCode code, ResultCode base) {
  for (const ExceptionFamily& family : kExceptionFamilies) {
    if (family.base == base && code <= base && code >= family.lowest) {
      return static_cast<uint8_t>(base - code);
    }
  }
  return std::nullopt;
}

bool IsDefinedResult(ResultCode code) {
  for (const ExceptionFamily& family : kExceptionFamilies) {
    if (ExceptionCodeIn(code, family.base)) return true;
  }
  switch (code) {
#define VARNETIK_RESULT_CODE_CASE(name, number) case name:
    VARNETIK_SINGLE_RESULT_CODES(VARNETIK_RESULT_CODE_CASE)
#undef VARNETIK_RESULT_CODE_CASE
    return true;
    default: return false;
  }
}

}  // namespace varnetik
