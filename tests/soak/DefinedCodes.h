// The failures each kind of transaction may end with on each link: the named codes of its link and
// function, and exception codes only in its own function's range.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "modbus/ResultCode.h"

namespace varnetik::testing {

enum class SoakLink { Rtu, Tcp };
enum class SoakOperation { Read, WriteOne, WriteMany };

const char* OperationName(SoakOperation operation);

std::vector<ResultCode> DefinedFailures(SoakLink link, SoakOperation operation);

// Operator text of each defined failure back to its code; the texts are distinct, so a failure shown
// in a box is known exactly.
std::map<std::string, ResultCode> FailuresByMessage(SoakLink link, SoakOperation operation);

}  // namespace varnetik::testing
