#include "serial/RtuButtons.h"

#include <string>

#include "modbus/InputParsing.h"
#include "operator/PortOpenTexts.h"
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

void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuReadSettings(link, slaveId, console);
  if (link.portName.empty()) {
    console.ShowMessage(kHintTitle, "Bitte einen Port wählen/eingeben.");
    return;
  }
  if (const PortOpenResult opened = link.RtuOpenPort()) {
    console.LogLine("Port geöffnet: " + link.portName);
    for (const std::string& note : PortOpenNoteLines(opened)) console.LogLine(note);
  } else {
    console.LogLine("Konnte Port nicht öffnen: " + link.portName);
    console.LogLine(PortRefusalLine(opened));
    console.ShowMessage(kErrorTitle, "Port konnte nicht geöffnet werden.");
  }
  console.ShowLinkStatus();
}

void RtuDisconnectClicked(RtuLink& link, OperatorConsole& console) {
  link.RtuClosePort();
  console.ShowLinkStatus();
  console.LogLine("Port geschlossen.");
}

std::string RtuStatusText(const RtuLink& link) {
  if (!link.IsOpen()) return "RTU: getrennt";
  return "RTU: verbunden (" + link.portName + " @ " + std::to_string(link.baudRate) + " " +
         std::to_string(link.dataBits) + ParityLetter(link.parity) + (link.stopBits < 2.0f ? "1" : "2") +
         ")";
}

}  // namespace varnetik
