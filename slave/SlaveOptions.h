// The command line of varnetik-slave and its help text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "slave/FaultPlan.h"
#include "slave/TableReference.h"

namespace varnetik::slave {

struct SlaveOptions {
  bool help = false;
  bool version = false;
  bool pty = false;
  std::string port;  // a serial device; empty for none
  int64_t baudRate = 9600;
  char parity = 'N';  // N, E or O
  int64_t dataBits = 8;
  int64_t stopBits = 1;
  std::string listenHost;  // empty: no TCP
  uint16_t listenPort = 0;
  // The units answered, the first one first; {ServerSettings::kAnyUnit} for "any".
  std::vector<int> unitIds = {1};
  // The files of --load and --save, each with its unit (kFirstUnit already replaced by the first unit).
  std::vector<TableFile> loads;
  std::vector<TableFile> saves;
  std::string faultText = "none";
  FaultSetting fault;
  bool quiet = false;
  int64_t gapMs = 0;  // the RTU pause; 0: from the baud rate
  // Said on standard error before the slave starts, e.g. for --data-bits 7.
  std::vector<std::string> warnings;
};

// The pause that ends an RTU frame: --gap-ms, else 3.5 character times of 11 bits (1.75 ms above 19200
// baud, as the standard has it), but never under kMinRtuGapMs.
int RtuGapMs(const SlaveOptions& options);
// Covers the loop's own waiting and the chunks in which USB serial adapters hand bytes on.
inline constexpr int kMinRtuGapMs = 4;

// Reads argv[1..]. On failure returns false with a message for the user in error.
bool ParseSlaveOptions(const std::vector<std::string>& arguments, SlaveOptions& options, std::string& error);

// The --help text, written like a manual page.
std::string SlaveHelpText();

// "varnetik-slave 1.0.1"
std::string SlaveVersionText();

}  // namespace varnetik::slave
