// A main window built as at start-up, with recorded dialogs and without the machine's serial ports.
#pragma once

#include <QApplication>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/ShellConfig.h"
#include "tests/support/RecordingDialogs.h"

namespace varnetik::testing {

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

struct ShellHarness {
  AppState state;
  RecordingDialogs dialogs;
  std::unique_ptr<MainWindow> window;

  explicit ShellHarness(const ShellConfig& config = TestConfig())
      : window(std::make_unique<MainWindow>(state, dialogs, config)) {}

  template <typename Widget>
  Widget* Get(ControlId id) const {
    return qobject_cast<Widget*>(window->Control(id));
  }

  // Log lines without their "[hh:mm:ss] " stamps.
  QStringList Log() const {
    QStringList lines;
    for (int64_t i = 0; i < window->Log()->LineCount(); ++i) lines << window->Log()->Line(i).mid(11);
    return lines;
  }

  void ShowAndSettle() {
    window->show();
    QApplication::processEvents();
  }
};

}  // namespace varnetik::testing
