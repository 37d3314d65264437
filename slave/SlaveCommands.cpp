#include "slave/SlaveCommands.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <vector>

#include "slave/TableReference.h"

namespace varnetik::slave {

namespace {

constexpr int64_t kAddressCount = 65536;
// As many as one FC01 answer holds; more would only flood the terminal.
constexpr int64_t kMaxGetCount = 2000;

void Complain(const std::string& message) { std::fprintf(stderr, "varnetik-slave: %s\n", message.c_str()); }

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Decimal, or hexadecimal after 0x as the CSV files write addresses.
bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t& number) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  auto [at, failure] = std::from_chars(begin, end, number, hex ? 16 : 10);
  return failure == std::errc() && at == end && begin != end && number >= low && number <= high;
}

// The map a reference names, or nullptr after a complaint.
RegisterMap* MapOf(SlaveServer& server, const TableReference& reference) {
  if (reference.unit == kFirstUnit) return &server.Registers();
  RegisterMap* registers = server.Registers(reference.unit);
  if (registers == nullptr) Complain("unit " + std::to_string(reference.unit) + " is not one of --unit");
  return registers;
}

std::string ValuesText(const TableReference& reference, int64_t address, const std::vector<uint16_t>& table,
                       int64_t count) {
  std::string text = ReferenceText(reference) + " " + std::to_string(address) + " =";
  for (int64_t k = 0; k < count; ++k) text += " " + std::to_string(table[static_cast<size_t>(address + k)]);
  return text;
}

// The words after the command's name: [UNIT:]TABLE ADDR, then numbers. False after a complaint.
bool ReadTableAndAddress(const std::vector<std::string>& words, const char* usage, TableReference& reference,
                         int64_t& address) {
  std::string error;
  if (words.size() < 3) {
    Complain(std::string("expected ") + usage);
    return false;
  }
  if (!ParseTableReference(words[1], reference, error)) {
    Complain(error);
    return false;
  }
  if (!ParseNumber(words[2], 0, kAddressCount - 1, address)) {
    Complain("address '" + words[2] + "' is not a number from 0 to 65535 (or 0x0000 to 0xFFFF)");
    return false;
  }
  return true;
}

void Get(SlaveServer& server, const std::vector<std::string>& words) {
  const char* usage = "get [UNIT:]TABLE ADDR [COUNT]";
  TableReference reference;
  int64_t address = 0;
  if (!ReadTableAndAddress(words, usage, reference, address)) return;
  int64_t count = 1;
  if (words.size() > 4 || (words.size() == 4 && !ParseNumber(words[3], 1, kMaxGetCount, count))) {
    Complain(std::string("expected ") + usage + ", COUNT from 1 to 2000");
    return;
  }
  if (address + count > kAddressCount) {
    Complain("addresses " + std::to_string(address) + " and on: " + std::to_string(count) + " go past 65535");
    return;
  }
  RegisterMap* registers = MapOf(server, reference);
  if (registers != nullptr) Say(ValuesText(reference, address, TableValues(*registers, reference.table), count));
}

void Set(SlaveServer& server, const std::vector<std::string>& words) {
  TableReference reference;
  int64_t address = 0;
  if (!ReadTableAndAddress(words, "set [UNIT:]TABLE ADDR VALUE...", reference, address)) return;
  if (words.size() < 4) {
    Complain("expected set [UNIT:]TABLE ADDR VALUE...");
    return;
  }
  const uint16_t highest = TableMaxValue(reference.table);
  std::vector<uint16_t> values;
  for (size_t k = 3; k < words.size(); ++k) {
    int64_t value = 0;
    if (!ParseNumber(words[k], 0, highest, value)) {
      Complain("value '" + words[k] + "' is not " + (highest == 1 ? "0 or 1" : "a number from 0 to 65535"));
      return;
    }
    values.push_back(static_cast<uint16_t>(value));
  }
  const auto count = static_cast<int64_t>(values.size());
  if (address + count > kAddressCount) {
    Complain("addresses " + std::to_string(address) + " and on: " + std::to_string(count) + " go past 65535");
    return;
  }
  RegisterMap* registers = MapOf(server, reference);
  if (registers == nullptr) return;
  std::vector<uint16_t>& table = TableValues(*registers, reference.table);
  std::copy(values.begin(), values.end(), table.begin() + address);
  Say("set " + ValuesText(reference, address, table, count));
}

void Stats(const SlaveServer& server) {
  for (const auto& [link, counts] : server.OpenCounts()) Say("stats " + link + ": " + CountsText(counts));
  Say("stats all: " + CountsText(server.TotalCounts()) + ", " + std::to_string(server.ConnectionsAccepted()) +
      " TCP connections");
}

void Fault(SlaveServer& server, const std::vector<std::string>& words) {
  if (words.size() == 1) {
    std::printf("fault modes, as in 'fault MODE' or 'fault MODE:N':\n%s", FaultModeHelp());
    std::fflush(stdout);
    return;
  }
  if (words.size() > 2) {
    Complain("expected fault MODE[:N]");
    return;
  }
  FaultSetting setting;
  std::string error;
  if (!ParseFault(words[1], setting, error)) {
    Complain(error);
    return;
  }
  server.Faults().Set(setting);
  Say("fault " + words[1]);
}

}  // namespace

void ExecuteCommand(SlaveServer& server, const std::string& line) {
  std::istringstream split(line);
  std::vector<std::string> words;
  for (std::string word; split >> word;) words.push_back(word);
  if (words.empty()) return;
  if (words[0] == "fault") {
    Fault(server, words);
  } else if (words[0] == "get") {
    Get(server, words);
  } else if (words[0] == "set") {
    Set(server, words);
  } else if (words[0] == "stats" && words.size() == 1) {
    Stats(server);
  } else {
    const size_t first = line.find_first_not_of(" \t");
    Complain("unknown command '" + line.substr(first, line.find_last_not_of(" \t") + 1 - first) +
             "'; the commands are: get [UNIT:]TABLE ADDR [COUNT], set [UNIT:]TABLE ADDR VALUE..., stats, "
             "fault MODE[:N], and fault alone for the modes");
  }
}

}  // namespace varnetik::slave
