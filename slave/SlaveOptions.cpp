#include "slave/SlaveOptions.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <set>

#include "slave/PseudoTerminal.h"
#include "slave/SlaveEndpoints.h"
#include "slave/SlaveServer.h"

namespace varnetik::slave {

namespace {

bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t& number) {
  const char* end = text.data() + text.size();
  auto [at, failure] = std::from_chars(text.data(), end, number);
  return failure == std::errc() && at == end && !text.empty() && number >= low && number <= high;
}

bool ParseListen(const std::string& text, SlaveOptions& options) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  int64_t port = 0;
  if (!IsIpv4Address(text.substr(0, colon))) return false;
  if (!ParseNumber(text.substr(colon + 1), 0, 65535, port)) return false;
  options.listenHost = text.substr(0, colon);
  options.listenPort = static_cast<uint16_t>(port);
  return true;
}

// The usual rates, of which a refused one lists those the serial service can set.
constexpr int64_t kCommonBaudRates[] = {300,    600,    1200,   2400,   4800,    9600,    14400,   19200,
                                        38400,  57600,  115200, 230400, 460800,  500000,  576000,  921600,
                                        1000000, 1500000, 2000000, 3000000, 4000000};

std::string UsableBaudRates() {
  std::string list;
  for (int64_t rate : kCommonBaudRates) {
    if (!BaudRateUsable(rate)) continue;
    list += (list.empty() ? "" : ", ") + std::to_string(rate);
  }
  return list;
}

constexpr int64_t kMaxGapMs = 1000;

// "1,2,17" or "any".
bool ParseUnits(const std::string& text, SlaveOptions& options, std::string& error) {
  options.unitIds.clear();
  if (text == "any") {
    options.unitIds.push_back(ServerSettings::kAnyUnit);
    return true;
  }
  for (size_t begin = 0; begin <= text.size();) {
    const size_t comma = std::min(text.find(',', begin), text.size());
    int64_t unit = 0;
    if (!ParseNumber(text.substr(begin, comma - begin), 1, 247, unit)) return false;
    if (std::find(options.unitIds.begin(), options.unitIds.end(), unit) != options.unitIds.end()) {
      error = "unit " + std::to_string(unit) + " is listed twice";
      return false;
    }
    options.unitIds.push_back(static_cast<int>(unit));
    begin = comma + 1;
  }
  return true;
}

// Gives each file of --load or --save its unit and refuses a unit not served and a table named twice,
// where which file was meant would not be known.
bool CheckTableFiles(const char* option, std::vector<TableFile>& files, const std::vector<int>& unitIds,
                     std::string& error) {
  const bool anyUnit = unitIds.front() == ServerSettings::kAnyUnit;
  std::set<std::pair<int, Table>> named;
  std::set<std::string> paths;
  for (TableFile& file : files) {
    const std::string given = ReferenceText(file.where);
    if (file.where.unit == kFirstUnit) file.where.unit = unitIds.front();
    if (anyUnit) file.where.unit = ServerSettings::kAnyUnit;
    if (!anyUnit && std::find(unitIds.begin(), unitIds.end(), file.where.unit) == unitIds.end()) {
      error = std::string(option) + " " + given + "=" + file.path + ": unit " + std::to_string(file.where.unit) +
              " is not one of --unit";
      return false;
    }
    if (!named.insert({file.where.unit, file.where.table}).second) {
      error = std::string(option) + " names the table " + given + " twice";
      return false;
    }
    // Two tables saved into one file would leave only the one written last.
    if (std::string(option) == "--save" && !paths.insert(file.path).second) {
      error = "--save names the file " + file.path + " twice";
      return false;
    }
  }
  return true;
}

using ValueReader = std::function<bool(const std::string& value, SlaveOptions& options, std::string& error)>;

// Each option that takes a value, with what it does to the options; false with error when the value is bad.
const std::map<std::string, ValueReader>& ValueOptions() {
  static const std::map<std::string, ValueReader> readers = {
      {"--port", [](const std::string& v, SlaveOptions& o, std::string&) { o.port = v; return !v.empty(); }},
      {"--baud",
       [](const std::string& v, SlaveOptions& o, std::string& error) {
         if (ParseNumber(v, 1, 4000000, o.baudRate) && BaudRateUsable(o.baudRate)) return true;
         error = "expected a baud rate the serial line can be set to: " + UsableBaudRates();
         return false;
       }},
      {"--parity",
       [](const std::string& v, SlaveOptions& o, std::string&) {
         if (v != "N" && v != "E" && v != "O") return false;
         o.parity = v[0];
         return true;
       }},
      {"--data-bits",
       [](const std::string& v, SlaveOptions& o, std::string&) {
         if (!ParseNumber(v, 7, 8, o.dataBits)) return false;
         // Taken all the same: the window offers 7 and is tried with it.
         if (o.dataBits == 7) o.warnings.push_back("--data-bits 7: Modbus RTU uses 8 data bits; a byte above 127 loses its top bit");
         return true;
       }},
      {"--gap-ms", [](const std::string& v, SlaveOptions& o, std::string&) { return ParseNumber(v, 1, kMaxGapMs, o.gapMs); }},
      {"--stop-bits", [](const std::string& v, SlaveOptions& o, std::string&) { return ParseNumber(v, 1, 2, o.stopBits); }},
      {"--listen", [](const std::string& v, SlaveOptions& o, std::string&) { return ParseListen(v, o); }},
      {"--unit", [](const std::string& v, SlaveOptions& o, std::string& error) { return ParseUnits(v, o, error); }},
      {"--load",
       [](const std::string& v, SlaveOptions& o, std::string& error) {
         o.loads.emplace_back();
         return ParseTableFile(v, o.loads.back(), error);
       }},
      {"--save",
       [](const std::string& v, SlaveOptions& o, std::string& error) {
         o.saves.emplace_back();
         return ParseTableFile(v, o.saves.back(), error);
       }},
      {"--fault",
       [](const std::string& v, SlaveOptions& o, std::string& error) {
         o.faultText = v;
         return ParseFault(v, o.fault, error);
       }},
  };
  return readers;
}

const std::map<std::string, const char*> kExpected = {
    {"--port", "a device such as /dev/ttyUSB0 or COM3"},
    {"--baud", "a baud rate such as 9600 or 19200"},
    {"--parity", "N, E or O"},
    {"--data-bits", "7 or 8"},
    {"--gap-ms", "milliseconds from 1 to 1000"},
    {"--stop-bits", "1 or 2"},
    {"--listen", "an IPv4 address and a port, as in 127.0.0.1:1502"},
    {"--unit", "slave ids from 1 to 247 separated by commas, as in 1,2,17, or any"},
    {"--load", "[UNIT:][TABLE=]FILE, as in plant.csv or 2:co=coils.csv"},
    {"--save", "[UNIT:][TABLE=]FILE, as in plant.csv or 2:co=coils.csv"},
    {"--fault", "MODE or MODE:N, see --help"},
};

bool CheckCombination(const SlaveOptions& options, bool lineSettingsGiven, std::string& error) {
  if (options.pty && !PseudoTerminalsAvailable()) {
    error = "--pty: this system has no pseudo-terminals; serve a COM port (--port COM3) or TCP (--listen)";
  } else if (options.pty && !options.port.empty()) {
    error = "--pty and --port exclude each other: one serial line at a time";
  } else if (lineSettingsGiven && !options.pty && options.port.empty()) {
    error = "--baud, --parity, --data-bits, --stop-bits and --gap-ms need --port or --pty";
  } else if (!options.pty && options.port.empty() && options.listenHost.empty()) {
    error = "nothing to serve: give --pty, --port DEVICE or --listen ADDRESS:PORT";
  }
  return error.empty();
}

bool CheckFiles(SlaveOptions& options, std::string& error) {
  return CheckTableFiles("--load", options.loads, options.unitIds, error) &&
         CheckTableFiles("--save", options.saves, options.unitIds, error);
}

}  // namespace

bool ParseSlaveOptions(const std::vector<std::string>& arguments, SlaveOptions& options, std::string& error) {
  options = SlaveOptions{};
  bool lineSettingsGiven = false;
  std::set<std::string> given;
  // A second value would silently replace the first: which one was meant is not known.
  auto once = [&](const std::string& name) {
    if (given.insert(name).second) return true;
    error = name + " is given twice";
    return false;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return true;
    }
    if (name == "--version") {
      options.version = true;
      return true;
    }
    if (name == "--pty" || name == "--quiet") {
      if (!once(name)) return false;
      (name == "--pty" ? options.pty : options.quiet) = true;
      continue;
    }
    // --name=value and --name value alike.
    std::string value;
    const size_t equals = name.find('=');
    const bool inline_value = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inline_value) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    auto reader = ValueOptions().find(name);
    if (reader == ValueOptions().end()) {
      error = "unknown option '" + name + "'";
      return false;
    }
    // One --load and one --save per table, which CheckFiles sees to.
    if (name != "--load" && name != "--save" && !once(name)) return false;
    if (!inline_value) {
      if (i + 1 == arguments.size()) {
        error = name + " needs a value: " + kExpected.at(name);
        return false;
      }
      value = arguments[++i];
    }
    std::string why;
    if (!reader->second(value, options, why)) {
      error = name + " " + value + ": " + (why.empty() ? std::string("expected ") + kExpected.at(name) : why);
      return false;
    }
    lineSettingsGiven = lineSettingsGiven || name == "--baud" || name == "--parity" || name == "--data-bits" ||
                        name == "--stop-bits" || name == "--gap-ms";
  }
  return CheckCombination(options, lineSettingsGiven, error) && CheckFiles(options, error);
}

int RtuGapMs(const SlaveOptions& options) {
  if (options.gapMs > 0) return static_cast<int>(options.gapMs);
  // 3.5 characters of 11 bits is 38500 / baud ms, rounded up; above 19200 baud the standard fixes 1.75 ms.
  const int64_t standard = options.baudRate > 19200 ? 2 : (38500 + options.baudRate - 1) / options.baudRate;
  return static_cast<int>(std::max<int64_t>(kMinRtuGapMs, standard));
}

std::string SlaveVersionText() { return std::string("varnetik-slave ") + VARNETIK_SLAVE_VERSION; }

std::string SlaveHelpText() {
  return std::string(
             "NAME\n"
             "  varnetik-slave - a Modbus slave simulator with fault injection, for trying a master\n"
             "\n"
             "SYNOPSIS\n"
             "  varnetik-slave --pty [OPTION]...\n"
             "  varnetik-slave --port DEVICE [--baud N] [--parity N|E|O] [--data-bits 7|8] [--stop-bits 1|2]\n"
             "                 [OPTION]...\n"
             "  varnetik-slave --listen ADDRESS:PORT [OPTION]...\n"
             "\n"
             "DESCRIPTION\n"
             "  Answers Modbus RTU on a serial line and/or Modbus TCP from one register map of 65536 holding\n"
             "  and 65536 input registers. Function codes 03 (read holding registers), 04 (read input\n"
             "  registers), 06 (write one register) and 16 (write registers) are served; any other function\n"
             "  code gets exception 01, a block past address 65535 exception 02, a quantity outside the\n"
             "  standard's limits (reads 1 to 125, writes 1 to 123) or a malformed request exception 03.\n"
             "  Input register 0 counts the seconds since the start, input register 1 ramps from 0 to 99\n"
             "  in steps of 100 ms, so that a reading shows life.\n"
             "\n"
             "  To try the Varnetik window without hardware, start 'varnetik-slave --pty', type the path it\n"
             "  prints into \"RTU Port\", press \"Verbinden\", then \"Lesen\".\n"
             "\n"
             "  Every request and answer is printed as one line: the time, the link (RTU or TCP#n for the\n"
             "  n-th connection), RX or TX, the bytes in hexadecimal and the fault applied, if any. A late\n"
             "  or split answer is stamped when its first byte is sent. A closed connection, and on stop\n"
             "  every open link, is printed with its counts of requests, answers, exceptions and faults\n"
             "  applied; --load and --save say how many registers they read and wrote.\n"
             "\n"
             "OPTIONS\n"
             "  --pty                a new pseudo-terminal as the serial line; the first line printed is\n"
             "                       the path of its terminal side, for the master to open. Not on\n"
             "                       Windows, which has no pseudo-terminals\n"
             "  --port DEVICE        the serial device to serve, e.g. /dev/ttyUSB0 or COM3, opened\n"
             "                       exclusively\n"
             "  --baud N             baud rate, default 9600\n"
             "  --parity N|E|O       none, even or odd, default N\n"
             "  --data-bits 7|8      default 8; 7 is taken with a warning, Modbus RTU uses 8\n"
             "  --stop-bits 1|2      default 1\n"
             "  --gap-ms N           the silence that ends an RTU frame a function code does not give the\n"
             "                       length of, or a broken one, 1 to 1000 ms; default 3.5 characters\n"
             "                       (1.75 ms above 19200 baud), at least 4 ms. A frame with a wrong CRC\n"
             "                       is searched for a request with a right one at a later byte, so a\n"
             "                       request after noise or after another slave's answer is served\n"
             "  --listen ADDRESS:PORT\n"
             "                       Modbus TCP on this IPv4 address and port, e.g. 127.0.0.1:1502, for\n"
             "                       several clients at once; port 0 takes a free one. The line\n"
             "                       'listening on ADDRESS:PORT' tells which\n"
             "  --unit N|any         the slave id answered, 1 to 247, default 1. On RTU requests for other\n"
             "                       ids are ignored, as on a real bus; on TCP they get exception 0B\n"
             "                       (units 0 and 255, which many masters send, are answered as this\n"
             "                       device). 'any' answers every id\n"
             "  --load FILE          holding registers from a CSV file as the Varnetik window saves a\n"
             "                       table (\"Adresse;Adresse dez.;Hex;Dezimal\"); others start at 0. A\n"
             "                       byte-order mark and a blank last line are fine; a directory, an\n"
             "                       empty file or a row whose columns disagree is refused\n"
             "  --save FILE          on exit, the holding registers that are not 0 into FILE, in the\n"
             "                       same format. Checked at the start without touching FILE (it may be\n"
             "                       the --load file); if the save fails at exit all the same, the\n"
             "                       registers go to FILE.unsaved, or to that name in the temporary\n"
             "                       folder, and the slave says where\n"
             "  --fault MODE[:N]     answer with this fault from the start; with :N only the next N\n"
             "                       answers it changes, then correctly again\n"
             "  --quiet              no line per request, answer or connection; the --load, --save and\n"
             "                       stop lines still come\n"
             "  --help               this text\n"
             "  --version            the version\n"
             "  Options with a value also take the form --option=value; each option at most once.\n"
             "\n"
             "FAULT MODES\n") +
         FaultModeHelp() +
         "  A mode meant for one link leaves the other link's answers correct, and N counts only the\n"
         "  answers the mode changed (bytecount leaves a write's or an exception's answer alone). The\n"
         "  pieces of a split answer never mix with another answer's bytes; a late one may be\n"
         "  overtaken. A write (06, 16) is carried out under every mode but silent, close, reset and\n"
         "  exception, which leave the registers as they were.\n"
         "\n"
         "COMMANDS\n"
         "  Lines on standard input change the fault while the slave runs:\n"
         "  fault MODE[:N]       from now on, as --fault; 'fault none' ends any fault\n"
         "  fault                lists the modes\n"
         "  Blanks before and after a command do not matter.\n"
         "\n"
         "EXIT STATUS\n"
         "  0  stopped by Ctrl+C (SIGINT) or SIGTERM, on Windows by Ctrl+C, Ctrl+Break or closing\n"
         "     its console window (log-off, shut-down); the pseudo-terminal is removed, --save written\n"
         "  1  the serial port, the TCP address, the --load or the --save file could not be used\n"
         "  2  bad arguments\n"
         "  SIGHUP (the terminal closed) stops it like SIGTERM.\n"
         "\n"
         "EXAMPLES\n"
         "  varnetik-slave --pty\n"
         "  varnetik-slave --port /dev/ttyUSB0 --baud 19200 --parity E --unit 5 --load plant.csv\n"
         "  varnetik-slave --listen 127.0.0.1:1502 --fault late=1500:3\n";
}

}  // namespace varnetik::slave
