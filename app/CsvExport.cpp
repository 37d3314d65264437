#include "app/CsvExport.h"

#include <QFile>

#include "app/ResultTable.h"
#include "app/SafeFileWrite.h"
#include "app/UserDialogs.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

namespace {

constexpr char kCsvHeader[] = "Adresse;Adresse dez.;Hex;Dezimal";
constexpr char kLineEnd[] = "\r\n";

}  // namespace

std::string CsvBytes(const std::vector<CsvRow>& rows) {
  std::string bytes = std::string(kCsvHeader) + kLineEnd;
  for (const CsvRow& row : rows) {
    bytes += row[0].toStdString() + ';' + row[1].toStdString() + ';' + row[2].toStdString() + ';' +
             row[3].toStdString() + kLineEnd;
  }
  return bytes;
}

std::vector<CsvRow> TableCsvRows(const ResultTable& table) {
  std::vector<CsvRow> rows;
  rows.reserve(static_cast<size_t>(table.RowCount()));
  for (int row = 0; row < table.RowCount(); ++row) {
    rows.push_back({table.CellText(row, 0), table.CellText(row, 1), table.CellText(row, 2), table.CellText(row, 3)});
  }
  return rows;
}

void ExportCsv(const ResultTable& table, OperatorConsole& console, UserDialogs& dialogs, QWidget* owner) {
  if (table.RowCount() == 0) {
    console.ShowMessage("CSV", "Keine Daten in der Tabelle.");
    return;
  }
  const QString path = dialogs.AskCsvSavePath(owner);
  if (path.isEmpty()) return;
  switch (WriteFileReplacing(QFile::encodeName(path).toStdString(), CsvBytes(TableCsvRows(table)))) {
    case WriteOutcome::Written:
      console.LogLine("CSV gespeichert: " + path.toStdString());
      return;
    case WriteOutcome::CannotCreate:
      console.ShowMessage(kErrorTitle, "Datei konnte nicht erstellt werden.");
      return;
    case WriteOutcome::WriteFailed:
      console.ShowMessage(kErrorTitle, "Datei konnte nicht geschrieben werden.");
      return;
  }
}

}  // namespace varnetik
