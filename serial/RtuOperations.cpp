#include "serial/RtuOperations.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "modbus/RtuTransactions.h"
#include "operator/OperationEntries.h"
#include "operator/OperationTexts.h"
#include "serial/RtuButtons.h"

namespace varnetik {
namespace {

constexpr const char* kPortClosedHint = "Bitte zuerst den Port öffnen.";
constexpr const char* kResyncLine =
    "Hinweis: RTU-Stream neu synchronisieren \u2013 RX spülen & einmal erneut senden...";
constexpr auto kResyncPause = std::chrono::milliseconds(5);

// The common start of every RTU button: refuse without an open port, otherwise take the window's
// serial settings, slave id and timeout before any entry is checked.
bool StartOperation(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!link.IsOpen()) {
    console.ShowMessage(kHintTitle, kPortClosedHint);
    return false;
  }
  RtuReadSettings(link, slaveId, console);
  return true;
}

// The request as prepared in txFrame: the very bytes the transaction sends, however often.
void LogRequest(const RtuLink& link, const RtuRequest& request, OperatorConsole& console) {
  console.LogHexDump("TX", link.txFrame.data(), request.length);
}

// After a success the answer in rxFrame has exactly the expected length.
void LogAnswer(const RtuLink& link, const RtuRequest& request, OperatorConsole& console) {
  console.LogHexDump("RX", link.rxFrame.data(), request.expectedLength);
}

}  // namespace

void RtuReadClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint8_t functionCode = ReadFunctionCode(console, ControlId::RtuReadTypeCombo);
  uint16_t start = FieldNumber(console, ControlId::RtuReadStartField);
  uint16_t count = FieldNumber(console, ControlId::RtuReadCountField);
  if (!ReadCountAccepted(count, console)) return;

  RtuTransactionContext context = link.TransactionContext(slaveId);
  const RtuRequest request = RtuPrepareRead(context, functionCode, start, count);
  LogRequest(link, request, console);

  std::vector<uint16_t> registers;
  ResultCode rc = RtuReadRegisters(context, request, registers);
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  LogAnswer(link, request, console);
  console.LogLine(ReadOkLine(functionCode, count, start));
  console.ReplaceTableRows(ControlId::RtuResultTable, ResultRows(start, registers, count));
}

void RtuWriteOneClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint16_t address = FieldNumber(console, ControlId::RtuWriteAddressField);
  uint16_t value = FieldNumber(console, ControlId::RtuWriteValueField);

  RtuTransactionContext context = link.TransactionContext(slaveId);
  const RtuRequest request = RtuPrepareWriteSingle(context, address, value);
  LogRequest(link, request, console);

  ResultCode rc = RtuWriteSingleRegister(context, request);
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  LogAnswer(link, request, console);
  console.LogLine(WriteOneOkLine(address, value, false));
}

void RtuWriteManyClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint16_t start = FieldNumber(console, ControlId::RtuWriteManyStartField);
  std::vector<uint16_t> values;
  int64_t count = WriteManyValues(console, ControlId::RtuWriteManyValuesField, values);
  if (count == 0) return;

  RtuTransactionContext context = link.TransactionContext(slaveId);
  const RtuRequest request = RtuPrepareWriteMultiple(context, start, values, count);
  LogRequest(link, request, console);

  ResultCode rc = RtuWriteMultipleRegisters(context, request);
  if (rc == RtuBadExceptionCode) {
    // An exception code outside the known set means the byte stream is out of step: drop what waits and
    // send the same request once more; its result is final.
    console.LogLine(kResyncLine);
    link.RtuFlushRx();
    std::this_thread::sleep_for(kResyncPause);
    rc = RtuWriteMultipleRegisters(context, request);
  }
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  LogAnswer(link, request, console);
  console.LogLine(WriteManyOkLine(count, start, false));
  for (const std::string& line : WriteManyDetailLines(start, values, count)) console.LogLine(line);
}

}  // namespace varnetik
