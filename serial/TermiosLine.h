// The termios form of the serial line settings; used by the POSIX serial port only.
#pragma once

#include <termios.h>

#include <cstdint>

#include "serial/LineSettings.h"

namespace varnetik {

// The termios speed constant of a baud rate; false when there is none.
bool TermiosSpeedForBaud(int64_t baudRate, speed_t& speed);

// Turns the settings read from the driver into a raw, 8-bit clean line: no echo, no line editing, no
// character translation, no XON/XOFF (it would swallow 0x11 and 0x13 of binary frames), CLOCAL and
// CREAD, input parity checking when parity is on. Handshake 0 also switches hardware flow control off.
// False when a setting has no termios equivalent; settings is then unspecified.
bool ApplyLineSettings(termios& settings, const LineSettings& line);

// A line as its driver had it before this program changed anything: the termios settings and, where
// the device has them (a pseudo-terminal has none), the modem control lines DTR and RTS.
struct SavedLine {
  termios settings{};
  int modemLines = 0;
  bool hasModemLines = false;
};

// False when fd is no terminal.
bool SaveLine(int fd, SavedLine& saved);
// Settings first, then the lines: a change of flow control may move RTS.
void RestoreLine(int fd, const SavedLine& saved);

}  // namespace varnetik
