// Takes the README's two screenshots from the real main window on Qt's offscreen platform: the window
// after a write and a read against a Modbus TCP slave on 127.0.0.1 (libmodbus, in this process), and the
// log of that exchange in a wider window. Every step goes through the window as an operator's clicks
// and keystrokes do. Usage: varnetik_screenshots OUTPUT_DIRECTORY
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <string>

#include "app/AppState.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/OperationTabs.h"
#include "app/ResultTable.h"
#include "app/ShellConfig.h"
#include "app/UserDialogs.h"
#include "tests/support/LibmodbusSlave.h"

namespace {

using varnetik::ControlId;
using varnetik::MainWindow;

// A message box in a screenshot run means an operation failed: it is reported instead of shown.
class FailingDialogs : public varnetik::UserDialogs {
 public:
  bool failed = false;
  void ShowMessage(QWidget*, const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    failed = true;
  }
  QString AskCsvSavePath(QWidget*) override { return QString(); }
  void OpenWebPage(const QUrl&) override {}
};

void Type(MainWindow& window, ControlId id, const QString& text) {
  QWidget* control = window.Control(id);
  QTest::mouseClick(control, Qt::LeftButton);
  QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(control, text);
}

void Click(MainWindow& window, ControlId id) { QTest::mouseClick(window.Control(id), Qt::LeftButton); }

void ChooseTab(MainWindow& window, int index) {
  QTabBar* bar = window.Tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}

bool Save(const QPixmap& picture, const QDir& directory, const QString& name) {
  const QString path = directory.filePath(name);
  // Quality 0 is the strongest compression of the PNG writer: the pictures live in the repository.
  if (picture.isNull() || !picture.save(path, "PNG", 0)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Ten registers as a device might hold them: set points, counters and a status word.
void RunExchange(MainWindow& window, uint16_t port) {
  Type(window, ControlId::TcpPortField, QString::number(port));
  Click(window, ControlId::TcpConnectButton);
  ChooseTab(window, 3);
  Type(window, ControlId::TcpWriteManyStartField, QStringLiteral("100"));
  Type(window, ControlId::TcpWriteManyValuesField, QStringLiteral("230,1013,4660,0,65535,42,500,1200,7,3000"));
  Click(window, ControlId::TcpWriteManyButton);
  ChooseTab(window, 2);
  Type(window, ControlId::TcpReadStartField, QStringLiteral("100"));
  Type(window, ControlId::TcpReadCountField, QStringLiteral("10"));
  Click(window, ControlId::TcpReadButton);
  QApplication::processEvents();
}

// The log with the button above it, in a window wide enough to show the whole of every dump and no taller
// than it may be.
QPixmap LogPicture(MainWindow& window) {
  window.resize(1500, window.minimumHeight());
  QApplication::processEvents();
  const QWidget* log = window.Log();
  const QWidget* clear = window.Control(ControlId::ClearLogButton);
  const QRect area(log->x() - 10, clear->y() - 10, log->width() + 20, log->geometry().bottom() - clear->y() + 21);
  return window.ControlArea()->grab(area);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  if (!directory.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  varnetik::testing::LibmodbusSlave slave(varnetik::testing::LibmodbusSlave::Link::Tcp);
  varnetik::AppState state;
  FailingDialogs dialogs;
  varnetik::ShellConfig config = varnetik::DefaultShellConfig();
  config.portCandidates.clear();  // the machine's own ports would differ from run to run
  MainWindow window(state, dialogs, config);
  window.show();
  QApplication::processEvents();
  RunExchange(window, slave.TcpPort());
  if (dialogs.failed || window.Table(ControlId::TcpResultTable)->RowCount() != 10) {
    std::fprintf(stderr, "the exchange with the slave did not complete\n");
    return 1;
  }
  if (!Save(window.grab(), directory, QStringLiteral("main-window.png"))) return 1;
  if (!Save(LogPicture(window), directory, QStringLiteral("log.png"))) return 1;
  return 0;
}
