// The three buttons of the serial tabs: read registers, write one, write several.
#pragma once

#include <cstdint>

#include "operator/OperatorConsole.h"
#include "serial/RtuLink.h"

namespace varnetik {

void RtuReadClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuWriteOneClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuWriteManyClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);

}  // namespace varnetik
