#include "tcp/TcpButtons.h"

#include <string>

#include "modbus/InputParsing.h"

namespace varnetik {

namespace {

std::string Endpoint(const TcpLink& link) { return link.host + ":" + std::to_string(link.port); }

}  // namespace

void TcpReadSettings(TcpLink& link, const OperatorConsole& console) {
  link.host = console.ControlText(ControlId::TcpHostField);
  link.port = TextToInteger(console.ControlText(ControlId::TcpPortField));
  link.rxTimeoutMs = console.SpinValue(ControlId::TcpTimeoutSpin);
}

void TcpConnectClicked(TcpLink& link, OperatorConsole& console) {
  TcpReadSettings(link, console);
  if (link.host.empty() || !TcpPortInRange(link.port)) {
    console.ShowMessage(kHintTitle, "Bitte Host/IP und Port angeben.");
    return;
  }
  if (link.TcpConnect()) {
    console.LogLine("TCP verbunden: " + Endpoint(link));
  } else {
    console.LogLine("TCP-Verbindung fehlgeschlagen: " + Endpoint(link));
    console.ShowMessage(kErrorTitle, "TCP-Verbindung konnte nicht aufgebaut werden.");
  }
  console.ShowLinkStatus();
}

void TcpDisconnectClicked(TcpLink& link, OperatorConsole& console) {
  link.TcpDisconnect();
  console.LogLine("TCP getrennt.");
  console.ShowLinkStatus();
}

std::string TcpStatusText(const TcpLink& link) {
  if (!link.IsConnected()) return "TCP: getrennt";
  return "TCP: verbunden (" + Endpoint(link) + ")";
}

}  // namespace varnetik
