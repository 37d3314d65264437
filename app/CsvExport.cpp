#include "app/CsvExport.h"

#include <QFile>

#include "app/ResultTable.h"
#include "app/SafeFileWrite.h"
#include "app/UserDialogs.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

std::vector<CsvRow> TableCsvRows(const ResultTable& table) {
  std::vector<CsvRow> rows;
  rows.reserve(static_cast<size_t>(table.RowCount()));
  for (int row = 0; row < table.RowCount(); ++row) {
    CsvRow& cells = rows.emplace_back();
    for (int column = 0; column < kResultTextColumnCount; ++column) cells[column] = table.CellText(row, column).toStdString();
  }
  return rows;
}

void ExportCsv(const ResultTable& table, OperatorConsole& console, UserDialogs& dialogs, QWidget* owner) {
  const std::vector<CsvRow> rows = TableCsvRows(table);
  if (!CsvHasRows(rows, console)) return;
  const QString path = dialogs.AskCsvSavePath(owner);
  if (path.isEmpty()) return;
  ReportCsvWrite(WriteFileReplacing(QFile::encodeName(path).toStdString(), CsvBytes(rows)), path.toStdString(),
                 console);
}

}  // namespace varnetik
