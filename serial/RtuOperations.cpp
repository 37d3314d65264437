#include "serial/RtuOperations.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/OperationEntries.h"
#include "modbus/OperationTexts.h"
#include "modbus/RtuTransactions.h"

namespace varnetik {
namespace {

constexpr const char* kPortClosedHint = "Bitte zuerst den Port öffnen.";
constexpr const char* kResyncLine =
    "Hinweis: RTU-Stream neu synchronisieren \u2013 RX spülen & einmal erneut senden...";
constexpr auto kResyncPause = std::chrono::milliseconds(5);
// Both write answers are the 8-byte echo of address (or start) and value (or count).
constexpr int64_t kWriteAnswerLength = 8;

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

}  // namespace

void RtuReadClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint8_t functionCode = ReadFunctionCode(console, ControlId::RtuReadTypeCombo);
  uint16_t start = FieldNumber(console, ControlId::RtuReadStartField);
  uint16_t count = FieldNumber(console, ControlId::RtuReadCountField);
  if (!ReadCountAccepted(count, console)) return;

  // Built with the transaction's own builder, so the dump shows the bytes that go out.
  int64_t length = BuildRtuReadRequest(link.txFrame.data(), slaveId, functionCode, start, count);
  console.LogHexDump("TX", link.txFrame.data(), length);

  std::vector<uint16_t> registers;
  ResultCode rc = RtuReadRegisters(link.TransactionContext(slaveId), functionCode, start, count, registers);
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  console.LogHexDump("RX", link.rxFrame.data(), ExpectedReadResponseLength(count));
  console.LogLine(ReadOkLine(functionCode, count, start));
  console.ReplaceTableRows(ControlId::RtuResultTable, ResultRows(start, registers, count));
}

void RtuWriteOneClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint16_t address = FieldNumber(console, ControlId::RtuWriteAddressField);
  uint16_t value = FieldNumber(console, ControlId::RtuWriteValueField);

  int64_t length = BuildRtuWriteSingleRequest(link.txFrame.data(), slaveId, address, value);
  console.LogHexDump("TX", link.txFrame.data(), length);

  ResultCode rc = RtuWriteSingleRegister(link.TransactionContext(slaveId), address, value);
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  console.LogHexDump("RX", link.rxFrame.data(), kWriteAnswerLength);
  console.LogLine(WriteOneOkLine(address, value, false));
}

void RtuWriteManyClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  if (!StartOperation(link, slaveId, console)) return;
  uint16_t start = FieldNumber(console, ControlId::RtuWriteManyStartField);
  std::vector<uint16_t> values;
  int64_t count = WriteManyValues(console, ControlId::RtuWriteManyValuesField, values);
  if (count == 0) return;

  int64_t length = BuildRtuWriteMultipleRequest(link.txFrame.data(), slaveId, start, values, count);
  console.LogHexDump("TX", link.txFrame.data(), length);

  RtuTransactionContext context = link.TransactionContext(slaveId);
  ResultCode rc = RtuWriteMultipleRegisters(context, start, values, count);
  if (rc == RtuBadExceptionCode) {
    // An exception code outside the known set means the byte stream is out of step: drop what waits and
    // send the same request once more; its result is final.
    console.LogLine(kResyncLine);
    link.RtuFlushRx();
    std::this_thread::sleep_for(kResyncPause);
    rc = RtuWriteMultipleRegisters(context, start, values, count);
  }
  if (rc < 0) {
    ReportFailure(rc, console);
    return;
  }
  console.LogHexDump("RX", link.rxFrame.data(), kWriteAnswerLength);
  console.LogLine(WriteManyOkLine(count, start, false));
  for (const std::string& line : WriteManyDetailLines(start, values, count)) console.LogLine(line);
}

}  // namespace varnetik
