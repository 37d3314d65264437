#include "slave/SlaveProgram.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "serial/SerialPort.h"
#include "slave/ProgramInput.h"
#include "slave/PseudoTerminal.h"
#include "slave/RegisterCsv.h"
#include "slave/SlaveEndpoints.h"
#include "slave/SlaveLog.h"
#include "slave/SlaveServer.h"

namespace varnetik::slave {

namespace {

// The pause that ends an RTU frame: 3.5 characters of 11 bits, but never under 20 ms, which covers the
// chunks in which USB serial adapters hand bytes on.
int RtuGapMs(int64_t baudRate) { return static_cast<int>(std::max<int64_t>(20, (38500 + baudRate - 1) / baudRate)); }

void Fail(const std::string& message) { std::fprintf(stderr, "varnetik-slave: %s\n", message.c_str()); }

// A line typed on standard input; only "fault MODE[:N]" is known.
void ExecuteCommand(SlaveServer& server, const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  if (line.rfind("fault ", 0) != 0) {
    Fail("unknown command '" + line + "'; the command is: fault MODE[:N]");
    return;
  }
  const std::string text = line.substr(line.find_first_not_of(' ', 5));
  FaultSetting setting;
  std::string error;
  if (!ParseFault(text, setting, error)) {
    Fail(error);
    return;
  }
  server.Faults().Set(setting);
  std::printf("fault %s\n", text.c_str());
  std::fflush(stdout);
}

// What is open while the slave runs, closed again in any case.
struct Endpoints {
  PseudoTerminal pty;
  SerialPort serialPort;  // closes itself, and removes its lock file, when the slave ends
  Handle listenFd = kNoHandle;

  ~Endpoints() {
    ClosePseudoTerminal(pty);
    if (listenFd != kNoHandle) CloseSocket(listenFd, false);
  }
};

// Opens the serial line and the listener and says where the slave can be reached. False after a
// message on standard error.
bool OpenEndpoints(const SlaveOptions& options, Endpoints& endpoints, SlaveServer& server) {
  std::string error;
  if (options.pty) {
    if (!OpenPseudoTerminal(endpoints.pty, true)) {
      Fail(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
      return false;
    }
    // The path first, alone on its line, so that a script can take it.
    std::printf("%s\n", endpoints.pty.path.c_str());
    server.ServeSerial(endpoints.pty.master);
  }
  if (!options.port.empty()) {
    if (!OpenSerialDevice(options, endpoints.serialPort, error)) {
      Fail(error);
      return false;
    }
    server.ServeSerial(endpoints.serialPort.NativeHandle());
  }
  if (!options.listenHost.empty()) {
    uint16_t port = 0;
    endpoints.listenFd = OpenListener(options, port, error);
    if (endpoints.listenFd == kNoHandle) {
      Fail(error);
      return false;
    }
    std::printf("listening on %s:%u\n", options.listenHost.c_str(), port);
    server.ServeTcp(endpoints.listenFd);
  }
  std::fflush(stdout);
  return true;
}

void PrintSettings(const SlaveOptions& options) {
  const std::string unit = options.unitId == ServerSettings::kAnyUnit ? "any" : std::to_string(options.unitId);
  if (options.pty || !options.port.empty()) {
    std::printf("RTU %s %lld %lld%c%lld, unit %s\n", options.pty ? "pseudo-terminal" : options.port.c_str(),
                static_cast<long long>(options.baudRate), static_cast<long long>(options.dataBits), options.parity,
                static_cast<long long>(options.stopBits), unit.c_str());
  }
  std::printf("fault %s\n", options.faultText.c_str());
  std::fflush(stdout);
}

}  // namespace

int RunSlave(const SlaveOptions& options) {
  SlaveLog log(stdout);
  ServerSettings settings;
  settings.unitId = options.unitId;
  settings.liveInputs = true;
  settings.rtuGapMs = RtuGapMs(options.baudRate);
  SlaveServer server(settings, options.quiet ? nullptr : &log);
  server.Faults().Set(options.fault);
  std::string error;
  if (!WatchProgramInput(server, [&server](const std::string& line) { ExecuteCommand(server, line); }, error)) {
    Fail(error);
    return 1;
  }
  if (!options.loadPath.empty() && !LoadRegisterCsv(options.loadPath, server.Registers().holding, error)) {
    Fail("--load " + error);
    return 1;
  }
  int status = 0;
  {
    Endpoints endpoints;
    if (!OpenEndpoints(options, endpoints, server)) return 1;
    if (!options.quiet) PrintSettings(options);
    if (!server.Run()) {
      Fail("serial line: " + server.Failure());
      status = 1;
    }
  }
  if (!options.savePath.empty() && !SaveRegisterCsv(options.savePath, server.Registers().holding, error)) {
    Fail("--save " + error);
    status = 1;
  }
  return status;
}

}  // namespace varnetik::slave
