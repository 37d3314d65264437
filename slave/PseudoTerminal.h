// A new pseudo-terminal pair standing in for a serial line: the slave reads and writes the master side,
// the program that plays the Modbus master opens the terminal side by its path. PseudoTerminal.cpp gives
// them on POSIX; PseudoTerminalWin32.cpp says that Windows has none.
#pragma once

#include <string>

namespace varnetik::slave {

struct PseudoTerminal {
  int master = -1;    // non-blocking
  int terminal = -1;  // held open so that the master side never reads EIO while no program has it open
  std::string path;   // of the terminal side, e.g. "/dev/pts/7"
};

bool PseudoTerminalsAvailable();

// raw: no echo, no line editing, no CR/LF mapping, 8-bit clean; otherwise the kernel's defaults stay.
// False with errno set when no pair can be had.
bool OpenPseudoTerminal(PseudoTerminal& pair, bool raw);

// Closes both sides; the terminal's path goes away with them.
void ClosePseudoTerminal(PseudoTerminal& pair);

}  // namespace varnetik::slave
