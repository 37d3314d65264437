// How the command line and the commands name a table of a unit: "[UNIT:]TABLE" (as in "2:co" or "hr")
// and, for --load and --save, "[UNIT:][TABLE=]FILE" (as in "2:co=coils.csv" or "plant.csv").
#pragma once

#include <string>

#include "slave/RegisterTables.h"

namespace varnetik::slave {

// No UNIT given: the first unit of --unit.
inline constexpr int kFirstUnit = 0;

struct TableReference {
  int unit = kFirstUnit;  // else 1 to 247
  Table table = Table::Holding;
};

// "2:co" as the user wrote it back, "hr" without a unit.
std::string ReferenceText(const TableReference& reference);

// "[UNIT:]TABLE". On failure returns false with what is wrong in error.
bool ParseTableReference(const std::string& text, TableReference& reference, std::string& error);

struct TableFile {
  TableReference where;  // the table hr when the text names none
  std::string path;
};

// "[UNIT:][TABLE=]FILE": a UNIT is 1 to 3 digits before the first ':', so "C:\x.csv" is a file name.
bool ParseTableFile(const std::string& text, TableFile& file, std::string& error);

}  // namespace varnetik::slave
