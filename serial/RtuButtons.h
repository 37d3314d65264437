// The settings row of the serial side, the "Verbinden" and "Trennen" buttons and the status text.
#pragma once

#include <cstdint>
#include <string>

#include "operator/OperatorConsole.h"
#include "serial/RtuLink.h"

namespace varnetik {

// Copies the serial row, SlaveIdSpin and RtuTimeoutSpin into the link and slaveId; re-applies the
// timeouts to an open port.
void RtuReadSettings(RtuLink& link, uint8_t& slaveId, const OperatorConsole& console);

// "Verbinden" and "Trennen".
void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuDisconnectClicked(RtuLink& link, OperatorConsole& console);

// Status-bar field 0: "RTU: getrennt" or "RTU: verbunden (COM3 @ 9600 8N1)".
std::string RtuStatusText(const RtuLink& link);

}  // namespace varnetik
