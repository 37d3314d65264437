// The three operation buttons of either side: read registers, write one, write several. Each refuses
// without an open link, takes the side's settings, checks its entries, sends one request with at most
// one recovery of an out-of-step stream, and reports in the log, a box and, for a read, the table.
#pragma once

#include "operator/LinkSide.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

void ReadClicked(LinkSide& side, OperatorConsole& console);
void WriteOneClicked(LinkSide& side, OperatorConsole& console);
void WriteManyClicked(LinkSide& side, OperatorConsole& console);

}  // namespace varnetik
