#include "tcp/TcpOperations.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/TcpTransactions.h"
#include "operator/OperationEntries.h"
#include "operator/OperationTexts.h"
#include "tcp/TcpButtons.h"

namespace varnetik {
namespace {

constexpr const char* kNotConnectedHint = "Bitte zuerst TCP verbinden.";
constexpr const char* kResyncLine =
    "Hinweis: TCP-Stream neu synchronisieren \u2013 Verbindung wird neu aufgebaut...";
constexpr const char* kReadRetryLine = "TCP erneut verbunden. Erneuter Leseversuch...";
constexpr const char* kWriteOneRetryLine = "TCP erneut verbunden. Erneuter Schreibversuch (FC06)...";
constexpr const char* kWriteManyRetryLine = "TCP erneut verbunden. Erneuter Schreibversuch (FC16)...";
constexpr auto kReconnectPause = std::chrono::milliseconds(50);

using Transaction = std::function<ResultCode()>;

// Results that show the stream out of step with the server; only these earn a reconnect.
bool StreamOutOfStep(ResultCode rc) {
  return rc == TcpTransactionIdMismatch || rc == TcpBadExceptionCode || rc == TcpUnitIdMismatch ||
         rc == TcpTimeoutOrShort || rc == TcpConnectionLost;
}

// At most one reconnect and one repetition per click. When the reconnect fails the first result stands
// and the link stays disconnected; the status bar is left to the connect buttons.
ResultCode TcpResync(TcpLink& link, OperatorConsole& console, ResultCode first, const char* retryLine,
                     const Transaction& transaction) {
  if (!StreamOutOfStep(first)) return first;
  console.LogLine(kResyncLine);
  link.TcpDisconnect();
  std::this_thread::sleep_for(kReconnectPause);
  if (!link.TcpConnect()) return first;
  console.LogLine(retryLine);
  return transaction();
}

// The common sequence of the three buttons after their entry checks and the preparing of their request:
// run, resync, dump the request as sent last (its header carries the id of that run), then report.
// Returns true on success, after the response dump.
bool RunAndReport(TcpLink& link, OperatorConsole& console, const char* retryLine,
                  const Transaction& transaction) {
  ResultCode rc = TcpResync(link, console, transaction(), retryLine, transaction);
  console.LogHexDump("TX-TCP", link.txFrame.data(), link.txLength);
  if (rc < 0) {
    ReportFailure(rc, console);
    return false;
  }
  console.LogHexDump("RX-TCP", link.rxFrame.data(), link.rxLength);
  return true;
}

// Refuses without a connection; otherwise takes host, port and timeout from the window.
bool StartOperation(TcpLink& link, OperatorConsole& console) {
  if (!link.IsConnected()) {
    console.ShowMessage(kHintTitle, kNotConnectedHint);
    return false;
  }
  TcpReadSettings(link, console);
  return true;
}

}  // namespace

void TcpReadClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  if (!StartOperation(link, console)) return;
  uint8_t functionCode = ReadFunctionCode(console, ControlId::TcpReadTypeCombo);
  uint16_t start = FieldNumber(console, ControlId::TcpReadStartField);
  uint16_t count = FieldNumber(console, ControlId::TcpReadCountField);
  if (!ReadCountAccepted(count, console)) return;

  const TcpTransactionContext context = link.TransactionContext(slaveId);
  const TcpRequest request = TcpPrepareRead(context, functionCode, start, count);
  std::vector<uint16_t> registers;
  auto read = [&] { return TcpReadRegisters(context, request, registers); };
  if (!RunAndReport(link, console, kReadRetryLine, read)) return;
  console.LogLine(ReadOkLine(functionCode, count, start));
  console.ReplaceTableRows(ControlId::TcpResultTable, ResultRows(start, registers, count));
}

void TcpWriteOneClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  if (!StartOperation(link, console)) return;
  uint16_t address = FieldNumber(console, ControlId::TcpWriteAddressField);
  uint16_t value = FieldNumber(console, ControlId::TcpWriteValueField);

  const TcpTransactionContext context = link.TransactionContext(slaveId);
  const TcpRequest request = TcpPrepareWriteSingle(context, address, value);
  auto write = [&] { return TcpWriteSingleRegister(context, request); };
  if (!RunAndReport(link, console, kWriteOneRetryLine, write)) return;
  console.LogLine(WriteOneOkLine(address, value, true));
}

void TcpWriteManyClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  if (!StartOperation(link, console)) return;
  uint16_t start = FieldNumber(console, ControlId::TcpWriteManyStartField);
  std::vector<uint16_t> values;
  int64_t count = WriteManyValues(console, ControlId::TcpWriteManyValuesField, values);
  if (count == 0) return;

  const TcpTransactionContext context = link.TransactionContext(slaveId);
  const TcpRequest request = TcpPrepareWriteMultiple(context, start, values, count);
  auto write = [&] { return TcpWriteMultipleRegisters(context, request); };
  if (!RunAndReport(link, console, kWriteManyRetryLine, write)) return;
  console.LogLine(WriteManyOkLine(count, start, true));
}

}  // namespace varnetik
