// The TCP settings row, the "TCP verbinden" and "TCP trennen" buttons and the status text.
#pragma once

#include <string>

#include "operator/OperatorConsole.h"
#include "tcp/TcpLink.h"

namespace varnetik {

// Copies TcpHostField, TcpPortField and TcpTimeoutSpin into the link.
void TcpReadSettings(TcpLink& link, const OperatorConsole& console);

// "TCP verbinden" and "TCP trennen".
void TcpConnectClicked(TcpLink& link, OperatorConsole& console);
void TcpDisconnectClicked(TcpLink& link, OperatorConsole& console);

// Status-bar field 1: "TCP: getrennt" or "TCP: verbunden (127.0.0.1:502)".
std::string TcpStatusText(const TcpLink& link);

}  // namespace varnetik
