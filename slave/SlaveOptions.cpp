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
    {"--unit", "a slave id from 1 to 247, or any; several as in 1,2,17"},
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
             "  Answers Modbus RTU on a serial line and/or Modbus TCP for one or several units, each with a\n"
             "  map of its own: 65536 coils, 65536 discrete inputs, 65536 input registers and 65536 holding\n"
             "  registers. Function codes 01 (read coils), 02 (read discrete inputs), 03 (read holding\n"
             "  registers), 04 (read input registers), 05 (write one coil), 06 (write one register), 15\n"
             "  (write coils) and 16 (write registers) are served; any other function code gets exception\n"
             "  01, a block past address 65535 exception 02, and exception 03 goes to a quantity outside\n"
             "  the standard's limits (register reads 1 to 125, register writes 1 to 123, bit reads 1 to\n"
             "  2000, coil writes 1 to 1968), a byte count that does not fit the quantity, an 05 value\n"
             "  other than FF00 (on) or 0000 (off), or a malformed request. Bits are packed eight to a\n"
             "  byte, the first in the lowest bit. A broadcast (RTU address 0) write is carried out in\n"
             "  every unit's map and answered by none.\n"
             "  Input register 0 counts the seconds since the start, input register 1 ramps from 0 to 99\n"
             "  in steps of 100 ms, so that a reading shows life; in every unit, whatever --load or set\n"
             "  put into these two.\n"
             "\n"
             "  To try the Varnetik window without hardware, start 'varnetik-slave --pty', type the path it\n"
             "  prints into \"RTU Port\", press \"Verbinden\", then \"Lesen\".\n"
             "\n"
             "  Every request and answer is printed as one line: the time, the link (RTU or TCP#n for the\n"
             "  n-th connection), RX or TX, the bytes in hexadecimal and the fault applied, if any. A late\n"
             "  or split answer is stamped when its first byte is sent. A closed connection, and on stop\n"
             "  every open link, is printed with its counts of requests, answers, exceptions and faults\n"
             "  applied; --load and --save say how many entries they read and wrote.\n"
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
             "  --unit N[,N]...|any  the slave ids answered, 1 to 247, default 1, e.g. 1,2,17 for three\n"
             "                       devices on one line or port, each with its own map. On RTU requests\n"
             "                       for an id not listed are ignored, as on a real bus; on TCP they get\n"
             "                       exception 0B (gateway target device failed to respond), and units 0\n"
             "                       and 255, which many masters send, address the first unit listed.\n"
             "                       'any' answers every id from one map\n"
             "  --load [UNIT:][TABLE=]FILE\n"
             "                       a table from a CSV file as the Varnetik window saves a table\n"
             "                       (\"Adresse;Adresse dez.;Hex;Dezimal\"); the rest starts at 0. TABLE is\n"
             "                       hr (holding registers, the default), ir (input registers), co (coils)\n"
             "                       or di (discrete inputs), whose values are 0 and 1; UNIT is one of\n"
             "                       --unit, default the first. A byte-order mark and a blank last line\n"
             "                       are fine; a directory, an empty file or a row whose columns disagree\n"
             "                       is refused. Once per table, e.g. --load plant.csv --load 2:co=c.csv\n"
             "  --save [UNIT:][TABLE=]FILE\n"
             "                       on exit, the entries of that table that are not 0 into FILE, in the\n"
             "                       same format; once per table, each into a file of its own. Checked\n"
             "                       at the start without touching FILE (it may be the --load file); if\n"
             "                       the save fails at exit all the same, the table goes to\n"
             "                       FILE.unsaved, or to that name in the temporary folder, and the slave\n"
             "                       says where\n"
             "  --fault MODE[:N]     answer with this fault from the start; with :N only the next N\n"
             "                       answers it changes, then correctly again\n"
             "  --quiet              no line per request, answer or connection; the --load, --save and\n"
             "                       stop lines still come\n"
             "  --help               this text\n"
             "  --version            the version\n"
             "  Options with a value also take the form --option=value; each option at most once, but\n"
             "  --load and --save once per table.\n"
             "\n"
             "FAULT MODES\n") +
         FaultModeHelp() +
         "  The modes apply to every function code and every unit alike. A mode meant for one link\n"
         "  leaves the other link's answers correct, and N counts only the answers the mode changed.\n"
         "  bytecount has no meaning for a write's or an exception's answer and leaves it alone; in\n"
         "  the answer to a bit read (01, 02) the byte count is one lower, not two. The pieces of a\n"
         "  split answer never mix with another answer's bytes; a late one may be overtaken. A write\n"
         "  (05, 06, 15, 16) is carried out under every mode but silent, close, reset and exception,\n"
         "  which leave the map as it was. A request to a unit not served gets no fault: on RTU it is\n"
         "  ignored, on TCP it gets exception 0B.\n"
         "\n"
         "COMMANDS\n"
         "  Lines on standard input while the slave runs; a value set shows in the next answer:\n"
         "  get [UNIT:]TABLE ADDR [COUNT]\n"
         "                       prints COUNT (1 to 2000, default 1) values from ADDR on, as in\n"
         "                       'get 2:co 0 8' -> '2:co 0 = 1 0 0 1 0 0 0 0'\n"
         "  set [UNIT:]TABLE ADDR VALUE...\n"
         "                       sets the values from ADDR on (0 or 1 in co and di) and prints them\n"
         "                       as get does, after 'set '\n"
         "  stats                the counts of requests, answers, exceptions and faults applied of\n"
         "                       every open link and of the whole run, one line each\n"
         "  fault MODE[:N]       from now on, as --fault; 'fault none' ends any fault\n"
         "  fault                lists the modes\n"
         "  TABLE and UNIT as for --load; ADDR and VALUE decimal, or hexadecimal after 0x. Blanks\n"
         "  before, after and between the words do not matter; a command that cannot be carried out\n"
         "  says why on standard error and changes nothing.\n"
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
         "  varnetik-slave --listen 127.0.0.1:1502 --fault late=1500:3\n"
         "  varnetik-slave --listen 127.0.0.1:1502 --unit 1,2 --load 2:co=coils.csv --save 2:co=coils.csv\n";
}

}  // namespace varnetik::slave
