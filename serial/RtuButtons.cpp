// The settings row of the serial side, the "Verbinden" and "Trennen" buttons and the status text.
#include <string>

#include "modbus/InputParsing.h"
#include "serial/RtuLink.h"
#include "serial/SerialPort.h"

namespace varnetik {

namespace {

// ParityCombo lists None, Even, Odd; the link stores the driver's codes 0 none, 1 odd, 2 even.
void ReadParity(RtuLink& link, int entry) {
  if (entry == 0) link.parity = 0;
  if (entry == 1) link.parity = 2;
  if (entry == 2) link.parity = 1;
}

char ParityLetter(int64_t parity) {
  if (parity == 0) return 'N';
  if (parity == 2) return 'E';
  return 'O';
}

}  // namespace

void RtuReadSettings(RtuLink& link, uint8_t& slaveId, const OperatorConsole& console) {
  link.portName = console.ControlText(ControlId::PortCombo);
  link.baudRate = TextToInteger(console.ControlText(ControlId::BaudCombo));
  ReadParity(link, console.SelectedEntry(ControlId::ParityCombo));
  link.dataBits = console.SelectedEntry(ControlId::DataBitsCombo) == 0 ? 7 : 8;
  link.stopBits = console.SelectedEntry(ControlId::StopBitsCombo) == 0 ? 1.0f : 2.0f;
  slaveId = static_cast<uint8_t>(console.SpinValue(ControlId::SlaveIdSpin) & 0xFF);
  link.rxTimeoutMs = console.SpinValue(ControlId::RtuTimeoutSpin);
  // Line settings wait for the next open; the receive timeout applies to the open port at once.
  if (link.IsOpen()) {
    SerialSetTimeouts(link.portHandle, link.readIntervalTimeoutMs, link.rxTimeoutMs,
                      link.readTotalTimeoutMultiplierMs, link.writeTotalTimeoutConstantMs,
                      link.writeTotalTimeoutMultiplierMs);
  }
}

void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console) {
  RtuReadSettings(link, slaveId, console);
  if (link.portName.empty()) {
    console.ShowMessage("Hinweis", "Bitte einen Port wählen/eingeben.");
    return;
  }
  if (link.RtuOpenPort()) {
    console.LogLine("Port geöffnet: " + link.portName);
  } else {
    console.LogLine("Konnte Port nicht öffnen: " + link.portName);
    console.ShowMessage("Fehler", "Port konnte nicht geöffnet werden.");
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
