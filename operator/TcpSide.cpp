#include "operator/TcpSide.h"

#include "modbus/InputParsing.h"
#include "operator/LinkButtons.h"
#include "operator/LinkOperations.h"

namespace varnetik {
namespace {

constexpr OperationControls kTcpControls{
    .readTypeCombo = ControlId::TcpReadTypeCombo,
    .readStartField = ControlId::TcpReadStartField,
    .readCountField = ControlId::TcpReadCountField,
    .resultTable = ControlId::TcpResultTable,
    .writeAddressField = ControlId::TcpWriteAddressField,
    .writeValueField = ControlId::TcpWriteValueField,
    .writeManyStartField = ControlId::TcpWriteManyStartField,
    .writeManyValuesField = ControlId::TcpWriteManyValuesField,
};

constexpr LinkTexts kTcpTexts{
    .notOpenHint = "Bitte zuerst TCP verbinden.",
    .destinationMissingHint = "Bitte Host/IP und Port angeben.",
    .openedLine = "TCP verbunden: ",
    .openFailedLine = "TCP-Verbindung fehlgeschlagen: ",
    .openFailedBox = "TCP-Verbindung konnte nicht aufgebaut werden.",
    .closedLine = "TCP getrennt.",
    .statusBeforeClosedLine = false,
    .resyncLine = "Hinweis: TCP-Stream neu synchronisieren \u2013 Verbindung wird neu aufgebaut...",
    .retryLines = {"TCP erneut verbunden. Erneuter Leseversuch...",
                   "TCP erneut verbunden. Erneuter Schreibversuch (FC06)...",
                   "TCP erneut verbunden. Erneuter Schreibversuch (FC16)..."},
    .overTcp = true,
    .listsWrittenValues = false,
};

// The connect and disconnect buttons need no unit id.
constexpr uint8_t kNoUnitId = 0;

}  // namespace

void TcpReadSettings(TcpLink& link, const OperatorConsole& console) {
  link.host = console.ControlText(ControlId::TcpHostField);
  link.port = TextToInteger(console.ControlText(ControlId::TcpPortField));
  link.rxTimeoutMs = console.SpinValue(ControlId::TcpTimeoutSpin);
}

std::string TcpStatusText(const TcpLink& link) {
  if (!link.IsConnected()) return "TCP: getrennt";
  return "TCP: verbunden (" + link.Destination() + ")";
}

const OperationControls& TcpSide::Controls() const { return kTcpControls; }
const LinkTexts& TcpSide::Texts() const { return kTcpTexts; }

void TcpConnectClicked(TcpLink& link, OperatorConsole& console) {
  TcpSide side(link, kNoUnitId);
  ConnectClicked(side, console);
}

void TcpDisconnectClicked(TcpLink& link, OperatorConsole& console) {
  TcpSide side(link, kNoUnitId);
  DisconnectClicked(side, console);
}

void TcpReadClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  TcpSide side(link, slaveId);
  ReadClicked(side, console);
}

void TcpWriteOneClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  TcpSide side(link, slaveId);
  WriteOneClicked(side, console);
}

void TcpWriteManyClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console) {
  TcpSide side(link, slaveId);
  WriteManyClicked(side, console);
}

}  // namespace varnetik
