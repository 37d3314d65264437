// The real main window as built at start-up, on Qt's offscreen platform: no port scan of the machine,
// dialogs recorded (or the desktop's real ones, to be answered from the keyboard), and small helpers to
// type, click and read the log, the tables and the status line. Shared by the window's own tests, the
// operations driven through it and the slave's window test.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTime>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/LogStamp.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/ResultTable.h"
#include "app/ShellConfig.h"
#include "app/StatusLine.h"
#include "app/UserDialogs.h"
#include "tests/support/RecordingDialogs.h"

namespace varnetik::testing {

// The machine's serial ports are none of the tests' business: only `ports` are offered.
inline ShellConfig TestConfig(std::vector<std::string> ports = {}) {
  ShellConfig config = DefaultShellConfig();
  config.portCandidates = std::move(ports);
  return config;
}

inline ShellConfig ConfigWithoutLogo() {
  ShellConfig config = TestConfig();
  config.logoFile.clear();
  return config;
}

// Recorded: boxes and save dialogs answer at once. Desktop: the real modal boxes and file dialog, to be
// answered with ModalAnswers; never used where a web page would open.
enum class Dialogs { Recorded, Desktop };

struct WindowHarness {
  AppState state;
  RecordingDialogs dialogs;
  DesktopDialogs desktop;
  std::unique_ptr<MainWindow> window;

  explicit WindowHarness(const ShellConfig& config = TestConfig(), Dialogs kind = Dialogs::Recorded)
      : window(std::make_unique<MainWindow>(
            state, kind == Dialogs::Desktop ? static_cast<UserDialogs&>(desktop) : dialogs, config)) {}
  explicit WindowHarness(Dialogs kind) : WindowHarness(TestConfig(), kind) {}

  template <typename Widget>
  Widget* Get(ControlId id) const {
    return qobject_cast<Widget*>(window->Control(id));
  }

  void ShowAndSettle() {
    window->show();
    QApplication::processEvents();
  }

  void Type(ControlId id, const std::string& text) {
    QWidget* control = window->Control(id);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
      combo->setEditText(QString::fromStdString(text));
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
      spin->findChild<QLineEdit*>()->setText(QString::fromStdString(text));
    } else {
      qobject_cast<QLineEdit*>(control)->setText(QString::fromStdString(text));
    }
  }

  void Select(ControlId id, int entry) {
    qobject_cast<QComboBox*>(window->Control(id))->setCurrentIndex(entry);
  }

  void Click(ControlId id) { QTest::mouseClick(qobject_cast<QPushButton*>(window->Control(id)), Qt::LeftButton); }

  // Log lines as shown, time stamps included.
  std::vector<std::string> StampedLog() const {
    std::vector<std::string> lines;
    for (int64_t i = 0; i < window->Log()->LineCount(); ++i)
      lines.push_back(window->Log()->Line(i).toStdString());
    return lines;
  }

  // Log lines without their "[hh:mm:ss] " stamps.
  QStringList LogLines() const {
    // Every stamp is as wide as any other; the window's own stamp says how wide.
    const auto stampWidth = LogStamp(QTime(0, 0)).size();
    QStringList lines;
    for (int64_t i = 0; i < window->Log()->LineCount(); ++i) lines << window->Log()->Line(i).mid(stampWidth);
    return lines;
  }

  // The same from line `from` on, as standard strings.
  std::vector<std::string> Log(size_t from = 0) const {
    const QStringList all = LogLines();
    std::vector<std::string> lines;
    for (auto i = static_cast<qsizetype>(from); i < all.size(); ++i) lines.push_back(all[i].toStdString());
    return lines;
  }

  size_t LogSize() const { return static_cast<size_t>(window->Log()->LineCount()); }

  std::vector<ResultRow> Rows(ControlId table) const {
    ResultTable* view = window->Table(table);
    std::vector<ResultRow> rows;
    for (int r = 0; r < view->RowCount(); ++r) {
      rows.push_back({view->CellText(r, 0).toStdString(), view->CellText(r, 1).toStdString(),
                      view->CellText(r, 2).toStdString(), view->CellText(r, 3).toStdString()});
    }
    return rows;
  }

  std::string StatusField(int index) const { return window->Status().Field(index).toStdString(); }
};

}  // namespace varnetik::testing
