#include "operator/OperationEntries.h"

#include <string>

#include "modbus/Frames.h"
#include "modbus/InputParsing.h"
#include "operator/OperationTexts.h"
#include "operator/ResultMessages.h"

namespace varnetik {

uint16_t FieldNumber(const OperatorConsole& console, ControlId field) {
  return ParseNumber(console.ControlText(field));
}

uint8_t ReadFunctionCode(const OperatorConsole& console, ControlId typeCombo) {
  return console.SelectedEntry(typeCombo) == 0 ? kFcReadHolding : kFcReadInput;
}

bool ReadCountAccepted(uint16_t count, OperatorConsole& console) {
  if (count == 0 || count > kMaxReadQuantity) {
    console.ShowMessage(kHintTitle, kReadCountHint);
    return false;
  }
  return true;
}

int64_t WriteManyValues(OperatorConsole& console, ControlId valuesField, std::vector<uint16_t>& values) {
  std::string text = console.ControlText(valuesField);
  if (IsBlankEntry(text)) {
    console.ShowMessage(kHintTitle, kValuesMissingHint);
    return 0;
  }
  int64_t count = ParseValueList(text, values);
  if (count < 1 || count > kMaxWriteQuantity) {
    console.ShowMessage(kHintTitle, kValueCountHint);
    return 0;
  }
  return count;
}

void ReportFailure(ResultCode rc, OperatorConsole& console) {
  console.LogLine(FailureLine(rc));
  console.ShowMessage(kErrorTitle, ResultMessage(rc));
}

}  // namespace varnetik
