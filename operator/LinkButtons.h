// The connect and disconnect buttons of either side.
#pragma once

#include "operator/LinkSide.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

// Takes the settings, refuses without a destination, opens the link, logs the outcome (with its reason
// when the link gives one) and refreshes the status bar.
void ConnectClicked(LinkSide& side, OperatorConsole& console);
// Closes the link, logs it and refreshes the status bar, also when nothing was open.
void DisconnectClicked(LinkSide& side, OperatorConsole& console);

}  // namespace varnetik
