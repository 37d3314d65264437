// The CSV file's bytes and every outcome of the export: no rows, cancelled, written, replaced, and the
// failures that must never be reported as saved.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/CsvExport.h"
#include "app/ResultTable.h"
#include "tests/support/WindowHarness.h"

namespace varnetik {
namespace {

using testing::WindowHarness;

const char kHeader[] = "Adresse;Adresse dez.;Hex;Dezimal\r\n";

TEST(CsvBytes, HeaderThenOneCrLfLinePerRowAndNothingAfter) {
  const struct {
    std::vector<CsvRow> rows;
    std::string bytes;
  } cases[] = {
      {{}, kHeader},
      {{{"0x000A", "10", "$00FF", "255"}}, std::string(kHeader) + "0x000A;10;$00FF;255\r\n"},
      {{{"0x000A", "10", "$00FF", "255"}, {"0x000B", "11", "$0000", "0"}},
       std::string(kHeader) + "0x000A;10;$00FF;255\r\n0x000B;11;$0000;0\r\n"},
      // Table order is kept: the wrapped address 0 comes after 65535.
      {{{"0xFFFF", "65535", "$0001", "1"}, {"0x0000", "0", "$0002", "2"}},
       std::string(kHeader) + "0xFFFF;65535;$0001;1\r\n0x0000;0;$0002;2\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvBytes(c.rows), c.bytes);
}

class CsvExportFixture : public ::testing::Test {
 protected:
  void Fill() {
    shell.window->ReplaceTableRows(ControlId::RtuResultTable, {{"0x000A", "10", "$00FF", "255"}});
  }
  void Export(const QString& path) {
    shell.dialogs.nextSavePath = path;
    logBefore = shell.window->Log()->LineCount();
    ExportCsv(*shell.window->Table(ControlId::RtuResultTable), *shell.window, shell.dialogs, shell.window.get());
  }
  bool LoggedNothing() const { return shell.window->Log()->LineCount() == logBefore; }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }
  using Box = std::pair<QString, QString>;

  WindowHarness shell;
  QTemporaryDir dir;
  int64_t logBefore = 0;
  const QByteArray expected = QByteArray(kHeader) + "0x000A;10;$00FF;255\r\n";
};

TEST_F(CsvExportFixture, EmptyTableIsRefusedBeforeTheDialog) {
  Export(dir.filePath("x.csv"));
  EXPECT_EQ(shell.dialogs.messages, std::vector<Box>({{"CSV", "Keine Daten in der Tabelle."}}));
  EXPECT_EQ(shell.dialogs.saveDialogs, 0);
  EXPECT_TRUE(LoggedNothing());
}

TEST_F(CsvExportFixture, CancelledDialogDoesNothing) {
  Fill();
  Export(QString());
  EXPECT_EQ(shell.dialogs.saveDialogs, 1);
  EXPECT_TRUE(shell.dialogs.messages.empty());
  EXPECT_TRUE(LoggedNothing());
}

TEST_F(CsvExportFixture, WritesExactlyTheChosenNameAndReplacesWithoutAsking) {
  Fill();
  const QString plain = dir.filePath("werte");
  Export(plain);
  EXPECT_EQ(Read(plain), expected);
  EXPECT_FALSE(QFile::exists(plain + ".csv"));
  EXPECT_EQ(shell.LogLines().last(), "CSV gespeichert: " + plain);

  const QString existing = dir.filePath("register.csv");
  QFile old(existing);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write(QByteArray(4096, 'o'));
  old.close();
  Export(existing);
  EXPECT_EQ(Read(existing), expected);
  EXPECT_TRUE(shell.dialogs.messages.empty());
  // Nothing is left beside the file.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"register.csv", "werte"}));
}

TEST_F(CsvExportFixture, FailuresAreReportedAndNeverLoggedAsSaved) {
  Fill();
  const struct {
    QString path;
    const char* text;
  } cases[] = {
      // Nothing can be created in /proc, not even by root.
      {"/proc/varnetik-test-register.csv", "Datei konnte nicht erstellt werden."},
      {dir.filePath("fehlt/register.csv"), "Datei konnte nicht erstellt werden."},
      {dir.path(), "Datei konnte nicht erstellt werden."},
      // The full device takes the open but no byte.
      {"/dev/full", "Datei konnte nicht geschrieben werden."},
  };
  for (const auto& c : cases) {
    shell.dialogs.messages.clear();
    Export(c.path);
    EXPECT_EQ(shell.dialogs.messages, std::vector<Box>({{"Fehler", c.text}})) << c.path.toStdString();
    EXPECT_TRUE(LoggedNothing()) << c.path.toStdString();
  }
}

}  // namespace
}  // namespace varnetik
