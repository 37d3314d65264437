// The cost of the window's log as it grows: 1000 TX dump lines appended through the window's LogLine to
// an empty log, to one of 100 000 lines and to one of 1 000 000 lines, and the resident memory each line
// takes. Each size has its own real, shown main window (offscreen); the event loop runs between batches as
// it would between two operations, outside the timed part.
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/AppState.h"
#include "app/LogView.h"
#include "app/MainWindow.h"
#include "app/ShellConfig.h"
#include "app/UserDialogs.h"
#include "bench/BenchFigures.h"
#include "modbus/Frames.h"

namespace varnetik::bench {

namespace {

constexpr int kBatchLines = 1000;
constexpr int kRounds = 9;
constexpr int64_t kMiddleLevel = 100000;
constexpr int64_t kTopLevel = 1000000;
constexpr double kTargetGrowth = 2.0;
constexpr double kTargetBytesPerLine = 400.0;

// Nothing here may block on the operator.
class SilentDialogs : public UserDialogs {
 public:
  void ShowMessage(QWidget*, const QString&, const QString&) override {}
  QString AskCsvSavePath(QWidget*) override { return QString(); }
  void OpenWebPage(const QUrl&) override {}
};

int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t sizePages = 0;
  int64_t residentPages = 0;
  statm >> sizePages >> residentPages;
  return residentPages * sysconf(_SC_PAGESIZE);
}

// One main window whose log is fed the same TX dump line again and again.
class LogWindow {
 public:
  LogWindow(UserDialogs& dialogs, const ShellConfig& config) : window_(state_, dialogs, config) {
    // The request of a 125-register read: the dump the operator sees most often.
    length_ = BuildRtuReadRequest(frame_.data(), 1, kFcReadHolding, 0, kMaxReadQuantity);
    window_.show();
    QApplication::processEvents();
  }

  // Milliseconds that 1000 appends took.
  double TimedBatch() {
    const int64_t start = MonotonicNs();
    Append(kBatchLines);
    const double elapsed = static_cast<double>(MonotonicNs() - start) / 1e6;
    QApplication::processEvents();
    return elapsed;
  }

  void FillTo(int64_t lines) {
    while (window_.Log()->LineCount() < lines) {
      Append(static_cast<int>(std::min<int64_t>(kBatchLines, lines - window_.Log()->LineCount())));
      QApplication::processEvents();
    }
  }

  void Clear() {
    window_.ClearLog();
    QApplication::processEvents();
  }

  QString FirstLine() const { return window_.Log()->Line(0); }

 private:
  void Append(int lines) {
    for (int line = 0; line < lines; ++line) window_.LogHexDump("TX", frame_.data(), length_);
  }

  AppState state_;
  MainWindow window_;
  RtuTxFrame frame_{};
  int64_t length_ = 0;
};

void PrintLevel(const char* level, const std::vector<double>& batches) {
  std::printf("  1000 lines %-26s median %s (fastest %s, slowest %s)\n", level,
              Figure(Median(batches), "ms", 3).c_str(), Figure(Percentile(batches, 1), "ms", 3).c_str(),
              Figure(Percentile(batches, 100), "ms", 3).c_str());
}

}  // namespace

int Main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SilentDialogs dialogs;
  ShellConfig config = DefaultShellConfig();
  config.portCandidates.clear();  // the port scan is measured on its own
  LogWindow fresh(dialogs, config);
  LogWindow middle(dialogs, config);
  LogWindow top(dialogs, config);

  std::printf("== Log growth\n");
  middle.FillTo(kMiddleLevel);
  const int64_t residentBefore = ResidentBytes();
  top.FillTo(kTopLevel);
  const int64_t residentTop = ResidentBytes();
  // The three logs take their batches in turn, so that a busy moment of the machine falls on all alike.
  std::vector<double> empty;
  std::vector<double> atMiddle;
  std::vector<double> atTop;
  for (int round = 0; round < kRounds; ++round) {
    fresh.Clear();
    empty.push_back(fresh.TimedBatch());
    atMiddle.push_back(middle.TimedBatch());
    atTop.push_back(top.TimedBatch());
  }
  const QString sample = fresh.FirstLine();

  std::printf("  line: \"%s\" (%lld characters, %lld allocated)\n", sample.toUtf8().constData(),
              static_cast<long long>(sample.size()), static_cast<long long>(sample.capacity()));
  PrintLevel("to an empty log", empty);
  PrintLevel("after 100 000 lines", atMiddle);
  PrintLevel("after 1 000 000 lines", atTop);
  const double growth = Median(atTop) / Median(empty);
  const double bytesPerLine =
      static_cast<double>(residentTop - residentBefore) / static_cast<double>(kTopLevel);
  std::printf("  resident memory: %s before, %s with 1 000 000 lines more: %.1f bytes per line\n",
              Figure(static_cast<double>(residentBefore) / 1048576.0, "MiB").c_str(),
              Figure(static_cast<double>(residentTop) / 1048576.0, "MiB").c_str(), bytesPerLine);

  char measured[64];
  std::snprintf(measured, sizeof measured, "ratio %.2f", growth);
  PrintTarget("the batch after 1 000 000 lines at most 2 x the first", growth <= kTargetGrowth, measured);
  std::snprintf(measured, sizeof measured, "%.1f bytes per line", bytesPerLine);
  PrintTarget("at most 400 bytes of resident memory per line", bytesPerLine <= kTargetBytesPerLine, measured);
  return 0;
}

}  // namespace varnetik::bench

int main(int argc, char** argv) { return varnetik::bench::Main(argc, argv); }
