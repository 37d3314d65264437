// The command line of varnetik-slave and its help text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "slave/FaultPlan.h"

namespace varnetik::slave {

struct SlaveOptions {
  bool help = false;
  bool pty = false;
  std::string port;  // a serial device; empty for none
  int64_t baudRate = 9600;
  char parity = 'N';  // N, E or O
  int64_t dataBits = 8;
  int64_t stopBits = 1;
  std::string listenHost;  // empty: no TCP
  uint16_t listenPort = 0;
  int unitId = 1;  // ServerSettings::kAnyUnit for "any"
  std::string loadPath;
  std::string savePath;
  std::string faultText = "none";
  FaultSetting fault;
  bool quiet = false;
};

// Reads argv[1..]. On failure returns false with a message for the user in error.
bool ParseSlaveOptions(const std::vector<std::string>& arguments, SlaveOptions& options, std::string& error);

// The --help text, written like a manual page.
std::string SlaveHelpText();

}  // namespace varnetik::slave
