#include "slave/TableReference.h"

#include <algorithm>
#include <cctype>

namespace varnetik::slave {

namespace {

constexpr int kHighestUnit = 247;

// Takes "UNIT:" from the front of text when it is there; false with error for a unit out of range.
bool TakeUnit(std::string& text, int& unit, std::string& error) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 3) return true;
  const std::string digits = text.substr(0, colon);
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) return true;
  unit = std::stoi(digits);
  if (unit < 1 || unit > kHighestUnit) {
    error = "unit " + digits + " is not a slave id from 1 to 247";
    return false;
  }
  text.erase(0, colon + 1);
  return true;
}

}  // namespace

std::string ReferenceText(const TableReference& reference) {
  const std::string table = TableName(reference.table);
  return reference.unit == kFirstUnit ? table : std::to_string(reference.unit) + ":" + table;
}

bool ParseTableReference(const std::string& text, TableReference& reference, std::string& error) {
  reference = TableReference{};
  std::string rest = text;
  if (!TakeUnit(rest, reference.unit, error)) return false;
  if (ParseTableName(rest, reference.table)) return true;
  error = "'" + text + "' names no table: expected [UNIT:]TABLE, TABLE one of hr, ir, co, di";
  return false;
}

bool ParseTableFile(const std::string& text, TableFile& file, std::string& error) {
  file = TableFile{};
  std::string rest = text;
  if (!TakeUnit(rest, file.where.unit, error)) return false;
  const size_t equals = rest.find('=');
  if (equals != std::string::npos && ParseTableName(rest.substr(0, equals), file.where.table)) {
    rest.erase(0, equals + 1);
  }
  if (rest.empty()) {
    error = "expected [UNIT:][TABLE=]FILE, the file name missing";
    return false;
  }
  file.path = rest;
  return true;
}

}  // namespace varnetik::slave
