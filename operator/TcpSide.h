// The TCP side of the window: its settings row, the ids and words of its tabs, its status text, and its
// five buttons bound to the link-neutral handlers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operator/LinkSide.h"
#include "operator/OperatorConsole.h"
#include "tcp/TcpLink.h"

namespace varnetik {

// Copies TcpHostField, TcpPortField and TcpTimeoutSpin into the link.
void TcpReadSettings(TcpLink& link, const OperatorConsole& console);

// Status-bar field 1: "TCP: getrennt" or "TCP: verbunden (127.0.0.1:502)".
std::string TcpStatusText(const TcpLink& link);

class TcpSide : public LinkSide {
 public:
  TcpSide(TcpLink& link, uint8_t slaveId) : link_(link), slaveId_(slaveId) {}
  ModbusLink& Link() override { return link_; }
  const OperationControls& Controls() const override;
  const LinkTexts& Texts() const override;
  void TakeSettings(const OperatorConsole& console) override { TcpReadSettings(link_, console); }
  uint8_t SlaveId() const override { return slaveId_; }
  std::vector<std::string> OpenOutcomeLines(LinkOpenResult result) const override;

 private:
  TcpLink& link_;
  uint8_t slaveId_;  // as the serial side last took it (or 1): gateway users address the line's device
};

// "TCP verbinden", "TCP trennen" and the three buttons of the tabs "TCP Lesen" and "TCP Schreiben".
// slaveId is the value stored by the last serial action, or 1.
void TcpConnectClicked(TcpLink& link, OperatorConsole& console);
void TcpDisconnectClicked(TcpLink& link, OperatorConsole& console);
void TcpReadClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);
void TcpWriteOneClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);
void TcpWriteManyClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);

}  // namespace varnetik
