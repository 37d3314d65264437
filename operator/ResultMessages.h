// The operator's German texts for the result codes of both links and for the Modbus exception codes.
#pragma once

#include <cstdint>
#include <string>

#include "modbus/ResultCode.h"

namespace varnetik {

// UTF-8 text for any code ("Fehler <code>" for a code without a text of its own).
std::string ResultMessage(ResultCode code);

// Name of a Modbus exception code, or "EXC <e>" for an unnamed one.
std::string ExceptionText(uint8_t code);

}  // namespace varnetik
