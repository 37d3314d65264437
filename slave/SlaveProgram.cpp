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

void Fail(const std::string& message) { std::fprintf(stderr, "varnetik-slave: %s\n", message.c_str()); }

// A line typed on standard input; only "fault MODE[:N]" is known, and "fault" alone lists the modes.
void ExecuteCommand(SlaveServer& server, const std::string& typed) {
  const size_t first = typed.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  const std::string line = typed.substr(first, typed.find_last_not_of(" \t") + 1 - first);
  if (line == "fault") {
    std::printf("fault modes, as in 'fault MODE' or 'fault MODE:N':\n%s", FaultModeHelp());
    std::fflush(stdout);
    return;
  }
  if (line.rfind("fault", 0) != 0 || (line[5] != ' ' && line[5] != '\t')) {
    Fail("unknown command '" + line + "'; the command is: fault MODE[:N], or fault alone for the modes");
    return;
  }
  const std::string text = line.substr(line.find_first_not_of(" \t", 5));
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
    // Alone on its line, as scripts read the port from it.
    std::printf("listening on %s:%u\n", options.listenHost.c_str(), port);
    server.ServeTcp(endpoints.listenFd);
  }
  std::fflush(stdout);
  return true;
}

void PrintSettings(const SlaveOptions& options) {
  const std::string unit = options.unitId == ServerSettings::kAnyUnit ? "any" : std::to_string(options.unitId);
  if (options.pty || !options.port.empty()) {
    std::printf("RTU %s %lld %lld%c%lld, unit %s, gap %d ms\n", options.pty ? "pseudo-terminal" : options.port.c_str(),
                static_cast<long long>(options.baudRate), static_cast<long long>(options.dataBits), options.parity,
                static_cast<long long>(options.stopBits), unit.c_str(), RtuGapMs(options));
  }
  if (!options.listenHost.empty()) {
    std::printf("TCP unit %s (0 and 255 answered as well)\n", unit.c_str());
  }
  std::printf("fault %s\n", options.faultText.c_str());
  std::fflush(stdout);
}

// The counts of every link still open, and of the whole run, once the loop has ended.
void LogStop(SlaveLog& log, const SlaveServer& server) {
  for (const auto& [link, counts] : server.OpenCounts()) log.Event(link, "stopped: " + CountsText(counts));
  log.Event("all", "stopped: " + CountsText(server.TotalCounts()) + ", " +
                       std::to_string(server.ConnectionsAccepted()) + " TCP connections");
}

// False after a message when the registers could not go where --save says; they then go to a copy.
bool Save(const std::string& path, SlaveLog& log, const SlaveServer& server) {
  const std::vector<uint16_t>& holding = server.Registers().holding;
  std::string error;
  if (SaveRegisterCsv(path, holding, error)) {
    size_t rows = 0;
    RegisterCsvText(holding, rows);
    log.Event("--save", "saved " + std::to_string(rows) + " registers to " + path);
    return true;
  }
  std::string copyError;
  const std::string copy = SaveRegisterCsvCopy(path, holding, copyError);
  Fail("--save " + error + (copy.empty() ? "; no copy could be written either: " + copyError
                                         : "; the registers were written to " + copy + " instead"));
  return false;
}

}  // namespace

int RunSlave(const SlaveOptions& options) {
  SlaveLog log(stdout);
  ServerSettings settings;
  settings.unitId = options.unitId;
  settings.liveInputs = true;
  settings.rtuGapMs = RtuGapMs(options);
  SlaveServer server(settings, options.quiet ? nullptr : &log);
  server.Faults().Set(options.fault);
  std::string error;
  if (!WatchProgramInput(server, [&server](const std::string& line) { ExecuteCommand(server, line); }, error)) {
    Fail(error);
    return 1;
  }
  size_t loaded = 0;
  if (!options.loadPath.empty() && !LoadRegisterCsv(options.loadPath, server.Registers().holding, loaded, error)) {
    Fail("--load " + error);
    return 1;
  }
  // Refused now rather than after a session whose writes would then be lost.
  if (!options.savePath.empty() && !CheckSavePath(options.savePath, error)) {
    Fail("--save " + error);
    return 1;
  }
  int status = 0;
  {
    Endpoints endpoints;
    if (!OpenEndpoints(options, endpoints, server)) return 1;
    if (!options.quiet) PrintSettings(options);
    if (!options.loadPath.empty()) {
      log.Event("--load", "loaded " + std::to_string(loaded) + " registers from " + options.loadPath);
    }
    if (!server.Run()) {
      Fail("serial line: " + server.Failure());
      status = 1;
    }
    LogStop(log, server);
  }
  if (!options.savePath.empty() && !Save(options.savePath, log, server)) status = 1;
  return status;
}

}  // namespace varnetik::slave
