#include "slave/RegisterTables.h"

namespace varnetik::slave {

namespace {

struct TableNames {
  Table table;
  const char* name;
  const char* entries;
};

constexpr TableNames kTables[] = {
    {Table::Holding, "hr", "registers"},
    {Table::Input, "ir", "input registers"},
    {Table::Coils, "co", "coils"},
    {Table::DiscreteInputs, "di", "discrete inputs"},
};

const TableNames& NamesOf(Table table) { return kTables[static_cast<int>(table)]; }

}  // namespace

const char* TableName(Table table) { return NamesOf(table).name; }

const char* TableEntries(Table table) { return NamesOf(table).entries; }

bool ParseTableName(const std::string& text, Table& table) {
  for (const TableNames& names : kTables) {
    if (text != names.name) continue;
    table = names.table;
    return true;
  }
  return false;
}

uint16_t TableMaxValue(Table table) {
  return table == Table::Coils || table == Table::DiscreteInputs ? 1 : 0xFFFF;
}

std::vector<uint16_t>& TableValues(RegisterMap& registers, Table table) {
  switch (table) {
    case Table::Holding:
      return registers.holding;
    case Table::Input:
      return registers.input;
    case Table::Coils:
      return registers.coils;
    case Table::DiscreteInputs:
      break;
  }
  return registers.discrete;
}

const std::vector<uint16_t>& TableValues(const RegisterMap& registers, Table table) {
  return TableValues(const_cast<RegisterMap&>(registers), table);
}

}  // namespace varnetik::slave
