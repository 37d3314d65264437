// Saving a result table as a CSV file: UTF-8 without a byte-order mark, ";" between fields, CR LF after
// every line including the last, a header line first, the cells exactly as shown.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

class QWidget;

namespace varnetik {

class OperatorConsole;
class ResultTable;
class UserDialogs;

using CsvRow = std::array<QString, 4>;

// The whole file's bytes.
std::string CsvBytes(const std::vector<CsvRow>& rows);
// The first four cells of every row of the table, in table order.
std::vector<CsvRow> TableCsvRows(const ResultTable& table);

// The handler of "Tabelle als CSV speichern...": asks for the path, writes the file and reports the
// outcome through the console.
void ExportCsv(const ResultTable& table, OperatorConsole& console, UserDialogs& dialogs, QWidget* owner);

}  // namespace varnetik
