// The real main window for the operation tests: offscreen, dialogs recorded instead of shown, no port
// scan of the machine, and small helpers to type, click and read the log and the tables.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTest>
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
#include "tests/support/RecordingDialogs.h"

namespace varnetik::testing {

struct WindowHarness {
  AppState state;
  RecordingDialogs dialogs;
  std::unique_ptr<MainWindow> window;

  WindowHarness() {
    ShellConfig config = DefaultShellConfig();
    config.portCandidates.clear();  // the machine's serial ports are none of the tests' business
    window = std::make_unique<MainWindow>(state, dialogs, config);
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

  // Log lines from line `from` on, without their "[hh:mm:ss] " stamps.
  std::vector<std::string> Log(size_t from = 0) const {
    std::vector<std::string> lines;
    std::vector<std::string> stamped = StampedLog();
    // Every stamp is as wide as any other; the window's own stamp says how wide.
    const auto stampWidth = static_cast<size_t>(LogStamp(QTime(0, 0)).toStdString().size());
    for (size_t i = from; i < stamped.size(); ++i) lines.push_back(stamped[i].substr(stampWidth));
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
