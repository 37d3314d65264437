// Saving a result table of the Qt window as a CSV file (the file's bytes: operator/CsvText.h).
#pragma once

#include <vector>

#include "operator/CsvText.h"

class QWidget;

namespace varnetik {

class OperatorConsole;
class ResultTable;
class UserDialogs;

// The first four cells of every row of the table, in table order.
std::vector<CsvRow> TableCsvRows(const ResultTable& table);

// The handler of "Tabelle als CSV speichern...": asks for the path, writes the file and reports the
// outcome through the console.
void ExportCsv(const ResultTable& table, OperatorConsole& console, UserDialogs& dialogs, QWidget* owner);

}  // namespace varnetik
