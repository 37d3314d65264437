#include "operator/LinkOperations.h"

#include <span>
#include <string>
#include <vector>

#include "operator/OperationEntries.h"
#include "operator/OperationTexts.h"

namespace varnetik {
namespace {

// The common start of every operation button: refuse while the link is closed, otherwise take the
// side's settings before any entry is checked.
bool StartOperation(LinkSide& side, OperatorConsole& console) {
  if (!side.Link().IsOpen()) {
    console.ShowMessage(kHintTitle, side.Texts().notOpenHint);
    return false;
  }
  side.TakeSettings(console);
  return true;
}

void LogBytes(OperatorConsole& console, const char* label, std::span<const uint8_t> bytes) {
  console.LogHexDump(label, bytes.data(), static_cast<int64_t>(bytes.size()));
}

// Runs the prepared request; a result that shows the stream out of step earns one recovery and, when
// the link is back in step, one repetition whose result is final.
ResultCode ExchangeWithRecovery(LinkSide& side, ModbusFunction function, OperatorConsole& console,
                                std::vector<uint16_t>& registers) {
  ModbusLink& link = side.Link();
  const ResultCode first = link.Exchange(registers);
  if (!link.OutOfStep(function, first)) return first;
  console.LogLine(side.Texts().resyncLine);
  if (!link.Resynchronise()) return first;
  if (const char* retryLine = side.Texts().retryLines[static_cast<int>(function)]) console.LogLine(retryLine);
  return link.Exchange(registers);
}

// The request dump comes once per click: before the first run where the prepared bytes are those sent,
// otherwise after the last run, whose bytes it then shows. A failure is reported with no answer dump.
// True on success, after the answer dump.
bool ExchangeAndReport(LinkSide& side, ModbusFunction function, OperatorConsole& console,
                       std::vector<uint16_t>& registers) {
  ModbusLink& link = side.Link();
  const bool dumpFirst = link.RequestFinalWhenPrepared();
  if (dumpFirst) LogBytes(console, link.RequestLabel(), link.SentRequest());
  const ResultCode rc = ExchangeWithRecovery(side, function, console, registers);
  if (!dumpFirst) LogBytes(console, link.RequestLabel(), link.SentRequest());
  if (rc.IsFailure()) {
    ReportFailure(rc, console);
    return false;
  }
  LogBytes(console, link.AnswerLabel(), link.ReceivedAnswer());
  return true;
}

}  // namespace

void ReadClicked(LinkSide& side, OperatorConsole& console) {
  if (!StartOperation(side, console)) return;
  const OperationControls& controls = side.Controls();
  uint8_t functionCode = ReadFunctionCode(console, controls.readTypeCombo);
  uint16_t start = FieldNumber(console, controls.readStartField);
  uint16_t count = FieldNumber(console, controls.readCountField);
  if (!ReadCountAccepted(count, console)) return;

  side.Link().PrepareRead(side.SlaveId(), functionCode, start, count);
  std::vector<uint16_t> registers;
  if (!ExchangeAndReport(side, ModbusFunction::Read, console, registers)) return;
  console.LogLine(ReadOkLine(functionCode, count, start));
  console.ReplaceTableRows(controls.resultTable, ResultRows(start, registers, count));
}

void WriteOneClicked(LinkSide& side, OperatorConsole& console) {
  if (!StartOperation(side, console)) return;
  const OperationControls& controls = side.Controls();
  uint16_t address = FieldNumber(console, controls.writeAddressField);
  uint16_t value = FieldNumber(console, controls.writeValueField);

  side.Link().PrepareWriteOne(side.SlaveId(), address, value);
  std::vector<uint16_t> unused;
  if (!ExchangeAndReport(side, ModbusFunction::WriteOne, console, unused)) return;
  console.LogLine(WriteOneOkLine(address, value, side.Texts().overTcp));
}

void WriteManyClicked(LinkSide& side, OperatorConsole& console) {
  if (!StartOperation(side, console)) return;
  const OperationControls& controls = side.Controls();
  uint16_t start = FieldNumber(console, controls.writeManyStartField);
  std::vector<uint16_t> values;
  int64_t count = WriteManyValues(console, controls.writeManyValuesField, values);
  if (count == 0) return;

  side.Link().PrepareWriteMany(side.SlaveId(), start, values, count);
  std::vector<uint16_t> unused;
  if (!ExchangeAndReport(side, ModbusFunction::WriteMany, console, unused)) return;
  console.LogLine(WriteManyOkLine(count, start, side.Texts().overTcp));
  if (side.Texts().listsWrittenValues) {
    for (const std::string& line : WriteManyDetailLines(start, values, count)) console.LogLine(line);
  }
}

}  // namespace varnetik
