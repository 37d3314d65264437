#include "operator/RtuSide.h"

#include "modbus/InputParsing.h"
#include "operator/LinkButtons.h"
#include "operator/LinkOperations.h"
#include "operator/PortOpenTexts.h"
#include "operator/SideWords.h"
#include "serial/LineSettings.h"

namespace varnetik {

void RtuReadSettings(RtuLink& link, uint8_t& slaveId, const OperatorConsole& console) {
  link.portName = console.ControlText(ControlId::PortCombo);
  link.baudRate = TextToInteger(console.ControlText(ControlId::BaudCombo));
  // With no entry selected the stored parity stays.
  if (auto parity = ParityOfComboEntry(console.SelectedEntry(ControlId::ParityCombo))) link.parity = *parity;
  link.dataBits = console.SelectedEntry(ControlId::DataBitsCombo) == 0 ? 7 : 8;
  link.stopBits = console.SelectedEntry(ControlId::StopBitsCombo) == 0 ? 1.0f : 2.0f;
  slaveId = static_cast<uint8_t>(console.SpinValue(ControlId::SlaveIdSpin) & 0xFF);
  link.rxTimeoutMs = console.SpinValue(ControlId::RtuTimeoutSpin);
  // Line settings wait for the next open; the receive timeout applies to the open port at once.
  if (link.IsOpen()) link.serialPort.SetTimeouts(link.Timeouts());
}

std::string RtuStatusText(const RtuLink& link) {
  if (!link.IsOpen()) return "RTU: getrennt";
  return "RTU: verbunden (" + link.portName + " @ " + std::to_string(link.baudRate) + " " +
         std::to_string(link.dataBits) + ParityLetter(link.parity) + (link.stopBits < 2.0f ? "1" : "2") +
         ")";
}

const OperationControls& RtuSide::Controls() const { return ControlsOf(WindowSide::Serial); }
const LinkTexts& RtuSide::Texts() const { return TextsOf(WindowSide::Serial); }

std::vector<std::string> RtuSide::OpenOutcomeLines(LinkOpenResult result) const {
  const PortOpenResult& opened = link_.LastOpenResult();
  if (result == LinkOpenResult::Opened) return PortOpenNoteLines(opened);
  return {PortRefusalLine(opened)};
}

void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuSide side(link, slaveId);
  ConnectClicked(side, console);
}

void RtuDisconnectClicked(RtuLink& link, OperatorConsole& console) {
  uint8_t unused = 0;  // closing takes no settings
  RtuSide side(link, unused);
  DisconnectClicked(side, console);
}

void RtuReadClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuSide side(link, slaveId);
  ReadClicked(side, console);
}

void RtuWriteOneClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuSide side(link, slaveId);
  WriteOneClicked(side, console);
}

void RtuWriteManyClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuSide side(link, slaveId);
  WriteManyClicked(side, console);
}

}  // namespace varnetik
