#include "slave/SlaveEndpoints.h"

#include <cerrno>

namespace varnetik::slave {

namespace {

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
  if (port.Open(options.port, line, 4096, 4096)) return true;
  error = "cannot open " + options.port + ": " + SerialOpenFailure();
  return false;
}

}  // namespace varnetik::slave
