// The three buttons of the TCP tabs, with the reconnect-and-repeat-once rule.
#pragma once

#include <cstdint>

#include "operator/OperatorConsole.h"
#include "tcp/TcpLink.h"

namespace varnetik {

// slaveId is the value stored by the last serial action (the TCP side never reads SlaveIdSpin).
void TcpReadClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);
void TcpWriteOneClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);
void TcpWriteManyClicked(TcpLink& link, uint8_t slaveId, OperatorConsole& console);

}  // namespace varnetik
