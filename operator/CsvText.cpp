#include "operator/CsvText.h"

namespace varnetik {

namespace {

constexpr char kCsvHeader[] = "Adresse;Adresse dez.;Hex;Dezimal";
constexpr char kLineEnd[] = "\r\n";

}  // namespace

std::string CsvBytes(const std::vector<CsvRow>& rows) {
  std::string bytes = std::string(kCsvHeader) + kLineEnd;
  for (const CsvRow& row : rows) bytes += row[0] + ';' + row[1] + ';' + row[2] + ';' + row[3] + kLineEnd;
  return bytes;
}

bool CsvHasRows(const std::vector<CsvRow>& rows, OperatorConsole& console) {
  if (!rows.empty()) return true;
  console.ShowMessage("CSV", "Keine Daten in der Tabelle.");
  return false;
}

void ReportCsvWrite(WriteOutcome outcome, const std::string& path, OperatorConsole& console) {
  switch (outcome) {
    case WriteOutcome::Written:
      console.LogLine("CSV gespeichert: " + path);
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
