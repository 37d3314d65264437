// Saving a result table as a CSV file, whatever window asks for the path and whatever system writes it:
// the bytes (UTF-8 without a byte-order mark, ";" between fields, CR LF after every line including the
// last, a header line first, the cells exactly as shown), the save dialog's texts, and what the operator
// is told before and after.
#pragma once

#include <string>
#include <vector>

#include "operator/OperatorConsole.h"
#include "operator/TableTexts.h"

namespace varnetik {

using CsvRow = ResultCells;

// The whole file's bytes.
std::string CsvBytes(const std::vector<CsvRow>& rows);

// The save dialog: its title, the name it proposes and its one filter. No extension is appended and an
// existing file is replaced without a question: the operator asked for that name.
inline constexpr const char* kCsvDialogTitle = "CSV speichern";
inline constexpr const char* kCsvProposedName = "register.csv";
inline constexpr const char* kCsvFilterText = "CSV (*.csv)";
inline constexpr const char* kCsvFilterPattern = "*.csv";

// How writing the file ended.
enum class WriteOutcome {
  Written,       // every byte is in the file at path
  CannotCreate,  // neither a new file nor the existing one could be opened; nothing was changed
  WriteFailed,   // opened, but not every byte could be written
};

// The export's first step: a table without rows is answered with a box and not saved. True when there is
// something to save.
bool CsvHasRows(const std::vector<CsvRow>& rows, OperatorConsole& console);
// The export's last step: the log line of the saved path (UTF-8), or the box of the failure.
void ReportCsvWrite(WriteOutcome outcome, const std::string& path, OperatorConsole& console);

}  // namespace varnetik
