// Opening what varnetik-slave serves: a serial device with the line settings of the command line, and
// a listening TCP socket. Both non-blocking; on failure -1 with the reason in error.
#pragma once

#include <cstdint>
#include <string>

#include "serial/SerialPort.h"
#include "slave/SlaveOptions.h"

namespace varnetik::slave {

// Exclusively, raw and 8-bit clean, through the same serial service the window uses, so the slave
// respects and holds the same lock files. False, with the reason in error, leaves port closed.
bool OpenSerialDevice(const SlaveOptions& options, SerialPort& port, std::string& error);

// Listens on options.listenHost:listenPort; boundPort tells the port taken when 0 was asked for.
int OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error);

}  // namespace varnetik::slave
