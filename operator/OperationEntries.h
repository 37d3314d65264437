// The entry checks and the failure report that the serial and the TCP buttons run alike, so both links
// refuse the same entries with the same hints.
#pragma once

#include <cstdint>
#include <vector>

#include "modbus/ResultCode.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

// The field's text read as a register number.
uint16_t FieldNumber(const OperatorConsole& console, ControlId field);

// Entry 0 of the type list is "Holding (FC 03)"; any other selection reads input registers.
uint8_t ReadFunctionCode(const OperatorConsole& console, ControlId typeCombo);

// False, after the hint, when count is outside 1..125.
bool ReadCountAccepted(uint16_t count, OperatorConsole& console);

// The values to write from the field; 0, after the hint, when the field is blank or does not hold
// 1..123 values.
int64_t WriteManyValues(OperatorConsole& console, ControlId valuesField, std::vector<uint16_t>& values);

// Logs the failure and shows its message.
void ReportFailure(ResultCode rc, OperatorConsole& console);

}  // namespace varnetik
