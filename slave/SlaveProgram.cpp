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
#include "slave/RegisterTables.h"
#include "slave/SlaveCommands.h"
#include "slave/SlaveEndpoints.h"
#include "slave/SlaveLog.h"
#include "slave/SlaveServer.h"

namespace varnetik::slave {

namespace {

void Fail(const std::string& message) { std::fprintf(stderr, "varnetik-slave: %s\n", message.c_str()); }

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

// "unit 5", "units 1,2,17", "unit any".
std::string UnitsText(const std::vector<int>& unitIds) {
  if (unitIds.front() == ServerSettings::kAnyUnit) return "unit any";
  std::string list;
  for (int unit : unitIds) list += (list.empty() ? "" : ",") + std::to_string(unit);
  return (unitIds.size() == 1 ? "unit " : "units ") + list;
}

void PrintSettings(const SlaveOptions& options) {
  const std::string units = UnitsText(options.unitIds);
  if (options.pty || !options.port.empty()) {
    std::printf("RTU %s %lld %lld%c%lld, %s, gap %d ms\n", options.pty ? "pseudo-terminal" : options.port.c_str(),
                static_cast<long long>(options.baudRate), static_cast<long long>(options.dataBits), options.parity,
                static_cast<long long>(options.stopBits), units.c_str(), RtuGapMs(options));
  }
  if (!options.listenHost.empty()) {
    if (options.unitIds.size() == 1) {
      std::printf("TCP %s (0 and 255 answered as well)\n", units.c_str());
    } else {
      std::printf("TCP %s (0 and 255 answered as unit %d)\n", units.c_str(), options.unitIds.front());
    }
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

// The map a file of --load or --save belongs to; its unit is one the server stands for.
RegisterMap& MapOf(SlaveServer& server, const TableFile& file) {
  if (file.where.unit == ServerSettings::kAnyUnit) return server.Registers();
  return *server.Registers(file.where.unit);
}

// " of unit 2" where several units are served, so that the log tells which map a file went to or came
// from; nothing for a single unit, whose lines read as before.
std::string WhoseText(const SlaveOptions& options, const TableFile& file) {
  if (options.unitIds.size() == 1) return "";
  return " of unit " + std::to_string(file.where.unit);
}

// False after a message when the table could not go where --save says; it then goes to a copy.
bool Save(const SlaveOptions& options, const TableFile& file, SlaveLog& log, SlaveServer& server) {
  const std::vector<uint16_t>& values = TableValues(MapOf(server, file), file.where.table);
  const std::string entries = TableEntries(file.where.table);
  std::string error;
  if (SaveRegisterCsv(file.path, values, error)) {
    size_t rows = 0;
    RegisterCsvText(values, rows);
    log.Event("--save", "saved " + std::to_string(rows) + " " + entries + WhoseText(options, file) + " to " + file.path);
    return true;
  }
  std::string copyError;
  const std::string copy = SaveRegisterCsvCopy(file.path, values, copyError);
  Fail("--save " + error + (copy.empty() ? "; no copy could be written either: " + copyError
                                         : "; the " + entries + " were written to " + copy + " instead"));
  return false;
}

}  // namespace

int RunSlave(const SlaveOptions& options) {
  SlaveLog log(stdout);
  ServerSettings settings;
  settings.unitId = options.unitIds.front();
  settings.moreUnitIds.assign(options.unitIds.begin() + 1, options.unitIds.end());
  settings.liveInputs = true;
  settings.rtuGapMs = RtuGapMs(options);
  SlaveServer server(settings, options.quiet ? nullptr : &log);
  server.Faults().Set(options.fault);
  std::string error;
  if (!WatchProgramInput(server, [&server](const std::string& line) { ExecuteCommand(server, line); }, error)) {
    Fail(error);
    return 1;
  }
  std::vector<std::string> loadedLines;
  for (const TableFile& file : options.loads) {
    size_t loaded = 0;
    const Table table = file.where.table;
    if (!LoadRegisterCsv(file.path, TableValues(MapOf(server, file), table), loaded, error, TableMaxValue(table))) {
      Fail("--load " + error);
      return 1;
    }
    loadedLines.push_back("loaded " + std::to_string(loaded) + " " + TableEntries(table) + WhoseText(options, file) +
                          " from " + file.path);
  }
  // Refused now rather than after a session whose writes would then be lost.
  for (const TableFile& file : options.saves) {
    if (!CheckSavePath(file.path, error)) {
      Fail("--save " + error);
      return 1;
    }
  }
  int status = 0;
  {
    Endpoints endpoints;
    if (!OpenEndpoints(options, endpoints, server)) return 1;
    if (!options.quiet) PrintSettings(options);
    for (const std::string& line : loadedLines) log.Event("--load", line);
    if (!server.Run()) {
      Fail("serial line: " + server.Failure());
      status = 1;
    }
    LogStop(log, server);
  }
  for (const TableFile& file : options.saves) {
    if (!Save(options, file, log, server)) status = 1;
  }
  return status;
}

}  // namespace varnetik::slave
