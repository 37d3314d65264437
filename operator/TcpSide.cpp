#include "operator/TcpSide.h"

#include "modbus/InputParsing.h"
#include "operator/LinkButtons.h"
#include "operator/LinkOperations.h"
#include "operator/OperationTexts.h"
#include "operator/SideWords.h"

namespace varnetik {
namespace {

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

const OperationControls& TcpSide::Controls() const { return ControlsOf(WindowSide::Tcp); }
const LinkTexts& TcpSide::Texts() const { return TextsOf(WindowSide::Tcp); }

std::vector<std::string> TcpSide::OpenOutcomeLines(LinkOpenResult result) const {
  if (const char* reason = OpenFailureReason(result)) return {ReasonLine(reason)};
  return {};
}

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
