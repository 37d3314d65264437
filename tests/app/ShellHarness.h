// A main window built as at start-up, with recorded dialogs (or the desktop's real ones) and without the
// machine's serial ports.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTime>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/LogStamp.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/ShellConfig.h"
#include "app/UserDialogs.h"
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

// Recorded: boxes and save dialogs answer at once. Desktop: the real modal boxes and file dialog, to be
// answered with ModalAnswers; never used where a web page would open.
enum class Dialogs { Recorded, Desktop };

struct ShellHarness {
  AppState state;
  RecordingDialogs dialogs;
  DesktopDialogs desktop;
  std::unique_ptr<MainWindow> window;

  explicit ShellHarness(const ShellConfig& config = TestConfig(), Dialogs kind = Dialogs::Recorded)
      : window(std::make_unique<MainWindow>(
            state, kind == Dialogs::Desktop ? static_cast<UserDialogs&>(desktop) : dialogs, config)) {}
  explicit ShellHarness(Dialogs kind) : ShellHarness(TestConfig(), kind) {}

  template <typename Widget>
  Widget* Get(ControlId id) const {
    return qobject_cast<Widget*>(window->Control(id));
  }

  // Log lines without their "[hh:mm:ss] " stamps.
  QStringList Log() const {
    // Every stamp is as wide as any other; the window's own stamp says how wide.
    const auto stampWidth = LogStamp(QTime(0, 0)).size();
    QStringList lines;
    for (int64_t i = 0; i < window->Log()->LineCount(); ++i) lines << window->Log()->Line(i).mid(stampWidth);
    return lines;
  }

  void ShowAndSettle() {
    window->show();
    QApplication::processEvents();
  }
};

}  // namespace varnetik::testing
