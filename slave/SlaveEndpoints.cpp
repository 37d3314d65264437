#include "slave/SlaveEndpoints.h"

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

// "picocom (PID 4711)", "another program (PID 4711)", or "another program".
std::string OtherProgram(const PortOpenResult& result) {
  const std::string name = result.otherProgram.empty() ? "another program" : result.otherProgram;
  if (result.otherPid == 0) return name;
  return name + " (PID " + std::to_string(result.otherPid) + ")";
}

}  // namespace

std::string SerialOpenFailure(const PortOpenResult& result) {
  switch (result.refusal) {
    case PortRefusal::InUse: return "it is in use by " + OtherProgram(result);
    case PortRefusal::Locked: return "it is locked by " + OtherProgram(result);
    case PortRefusal::NoSuchDevice: return "there is no such port";
    case PortRefusal::PermissionDenied: return "permission denied";
    case PortRefusal::NotATerminal: return "it is not a serial port";
    case PortRefusal::SettingsRefused: return "the line settings are not accepted";
    case PortRefusal::None: break;
  }
  return "unknown reason";
}

bool OpenSerialDevice(const SlaveOptions& options, SerialPort& port, std::string& error) {
  LineSettings line;
  line.baudRate = options.baudRate;
  line.parity = ParityCode(options.parity);
  line.dataBits = options.dataBits;
  line.stopBits = static_cast<float>(options.stopBits);
  const PortOpenResult opened = port.Open(options.port, line, 4096, 4096);
  if (opened) {
    port.SetTimeouts(kServedLineTimeouts);
    return true;
  }
  error = "cannot open " + options.port + ": " + SerialOpenFailure(opened);
  return false;
}

}  // namespace varnetik::slave
