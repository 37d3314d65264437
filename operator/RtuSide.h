// The serial side of the window: its settings row, the ids and words of its tabs, its status text, and
// its five buttons bound to the link-neutral handlers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operator/LinkSide.h"
#include "operator/OperatorConsole.h"
#include "serial/RtuLink.h"

namespace varnetik {

// Copies the serial row, SlaveIdSpin and RtuTimeoutSpin into the link and slaveId; re-applies the
// timeouts to an open port.
void RtuReadSettings(RtuLink& link, uint8_t& slaveId, const OperatorConsole& console);

// Status-bar field 0: "RTU: getrennt" or "RTU: verbunden (COM3 @ 9600 8N1)".
std::string RtuStatusText(const RtuLink& link);

class RtuSide : public LinkSide {
 public:
  RtuSide(RtuLink& link, uint8_t& slaveId) : link_(link), slaveId_(slaveId) {}
  ModbusLink& Link() override { return link_; }
  const OperationControls& Controls() const override;
  const LinkTexts& Texts() const override;
  void TakeSettings(const OperatorConsole& console) override { RtuReadSettings(link_, slaveId_, console); }
  uint8_t SlaveId() const override { return slaveId_; }
  std::vector<std::string> OpenOutcomeLines(LinkOpenResult result) const override;

 private:
  RtuLink& link_;
  uint8_t& slaveId_;  // the serial settings are where the window's "Slave-ID" is taken over
};

// "Verbinden", "Trennen" and the three buttons of the tabs "RTU Lesen" and "RTU Schreiben".
void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuDisconnectClicked(RtuLink& link, OperatorConsole& console);
void RtuReadClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuWriteOneClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuWriteManyClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);

}  // namespace varnetik
