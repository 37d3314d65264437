#include "slave/SlaveEndpoints.h"

#include <cerrno>

namespace varnetik::slave {

namespace {

// The loop reads what is there and never waits in a read. On Windows that takes a read interval of
// MAXDWORD with both read totals 0; all three 0 would mean "wait until every byte asked for has come".
// POSIX reads never wait and keep only the write bound, which stays the port's default.
constexpr PortTimeouts kServedLineTimeouts{0xFFFFFFFF, 0, 0, PortTimeouts{}.writeTotalConstantMs,
                                           PortTimeouts{}.writeTotalMultiplierMs};

int64_t ParityCode(char parity) {
  if (parity == 'O') return kParityOdd;
  if (parity == 'E') return kParityEven;
  return kParityNone;
}

}  // namespace

bool OpenSerialDevice(const SlaveOptions& options, SerialPort& port, std::string& error) {
  LineSettings line;
  line.baudRate = options.baudRate;
  line.parity = ParityCode(options.parity);
  line.dataBits = options.dataBits;
  line.stopBits = static_cast<float>(options.stopBits);
  // The POSIX service leaves its reason in errno, and none for refused line settings.
  errno = 0;
  if (port.Open(options.port, line, 4096, 4096)) {
    port.SetTimeouts(kServedLineTimeouts);
    return true;
  }
  error = "cannot open " + options.port + ": " + SerialOpenFailure();
  return false;
}

}  // namespace varnetik::slave
