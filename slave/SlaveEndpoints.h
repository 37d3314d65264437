// Opening what varnetik-slave serves: a serial device with the line settings of the command line, and
// a listening TCP socket. Both non-blocking; on failure -1 with the reason in error.
#pragma once

#include <cstdint>
#include <string>

#include "slave/SlaveOptions.h"

namespace varnetik::slave {

// Exclusively, raw and 8-bit clean, through the same serial service the window uses. Returns the port
// identifier, which is its descriptor; SerialClose releases it.
int64_t OpenSerialDevice(const SlaveOptions& options, std::string& error);

// Listens on options.listenHost:listenPort; boundPort tells the port taken when 0 was asked for.
int OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error);

}  // namespace varnetik::slave
