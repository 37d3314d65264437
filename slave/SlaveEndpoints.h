// Opening what varnetik-slave serves: a serial device with the line settings of the command line, and
// a listening TCP socket. Both non-blocking; on failure the reason in error. SlaveEndpoints.cpp holds
// what both systems share; SlaveEndpointsPosix.cpp and SlaveEndpointsWin32.cpp the rest.
#pragma once

#include <cstdint>
#include <string>

#include "serial/SerialPort.h"
#include "slave/SlaveOptions.h"
#include "slave/SlaveSockets.h"

namespace varnetik::slave {

// Exclusively, raw and 8-bit clean, through the same serial service the window uses, so the slave
// respects and holds the same lock files. False, with the reason in error, leaves port closed.
bool OpenSerialDevice(const SlaveOptions& options, SerialPort& port, std::string& error);

// Listens on options.listenHost:listenPort; boundPort tells the port taken when 0 was asked for.
// kNoHandle on failure.
Handle OpenListener(const SlaveOptions& options, uint16_t& boundPort, std::string& error);

// Why SerialPort::Open refused a port, in words for the user.
std::string SerialOpenFailure(const PortOpenResult& result);

// Whether text is a dotted IPv4 address, and whether the serial service can set this baud rate.
bool IsIpv4Address(const std::string& text);
bool BaudRateUsable(int64_t baudRate);

}  // namespace varnetik::slave
