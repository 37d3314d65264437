// The cost of the Windows window's log as it grows to 1 000 000 lines of 200 bytes, against a plain list
// box fed the same lines in the same run: the time per appended line at the start and at the end (each
// batch of 1000 lines timed with the serving of the window messages it causes, as the window serves them
// after an operation), and the working set the lines take. The list box keeps a copy of
// every string itself; it is fed until 1 000 000 lines or until a batch takes 50 times its first one or
// the list box refuses a line or its run has taken 5 minutes. Both logs live in real, shown windows.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "win32/LogList.h"

namespace varnetik::bench {

namespace {

constexpr int kBatchLines = 1000;
constexpr int64_t kTopLevel = 1000000;
constexpr int kSampleBatches = 9;  // batches timed at the start and at the end
constexpr double kUnusableGrowth = 50.0;
constexpr double kBudgetSeconds = 300.0;
constexpr double kTargetGrowth = 2.0;
constexpr double kTargetBytesPerLine = 400.0;
constexpr wchar_t kWindowClass[] = L"VarnetikLogBench";

win32::LogList* benchLog = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && benchLog != nullptr) {
    LRESULT result = 0;
    if (benchLog->HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ServeMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The working set: what the lines keep in memory. (Wine leaves the private usage at 0.)
double WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.WorkingSetSize);
}

// A TX dump line of exactly 200 bytes, numbered so that no two lines are alike.
std::string DumpLine(int64_t number) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[12:%02d:%02d] TX:", static_cast<int>(number / 60 % 60), static_cast<int>(number % 60));
  std::string line = stamp;
  for (int64_t byte = number; line.size() + 3 <= 200; byte = byte * 7 + 3) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned>(byte & 0xFF));
    line += hex;
  }
  line.resize(200, ' ');
  return line;
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

HWND ShownWindow(const wchar_t* title) {
  HWND window = CreateWindowExW(0, kWindowClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 760, 420, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ServeMessages();
  return window;
}

// One log under test: appends a line as the window would, and says how many it holds.
class Feed {
 public:
  virtual ~Feed() = default;
  virtual bool Append(const std::string& line) = 0;  // false: the control refused the line
  virtual int64_t Count() const = 0;
};

class LogListFeed : public Feed {
 public:
  explicit LogListFeed(HWND window) : log_(window, 1) {
    benchLog = &log_;
    SetWindowPos(log_.Handle(), nullptr, 10, 10, 720, 340, SWP_NOZORDER);
  }
  ~LogListFeed() override { benchLog = nullptr; }
  bool Append(const std::string& line) override {
    log_.Append(line);
    return true;
  }
  int64_t Count() const override { return log_.LineCount(); }

 private:
  win32::LogList log_;
};

// The plain way: a list box holding its own copy of every line, the new line selected and the sideways
// extent widened to the widest line, as the log needs.
class ListBoxFeed : public Feed {
 public:
  explicit ListBoxFeed(HWND window) {
    box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 10, 10,
                           720, 340, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    measuring_ = GetDC(box_);
    SelectObject(measuring_, reinterpret_cast<HFONT>(SendMessageW(box_, WM_GETFONT, 0, 0)));
  }
  ~ListBoxFeed() override { ReleaseDC(box_, measuring_); }
  bool Append(const std::string& line) override {
    const std::wstring wide = Wide(line);
    const LRESULT index = SendMessageW(box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE) return false;
    SIZE size{};
    GetTextExtentPoint32W(measuring_, wide.data(), static_cast<int>(wide.size()), &size);
    if (size.cx > widest_) {
      widest_ = size.cx;
      SendMessageW(box_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_ + 8), 0);
    }
    SendMessageW(box_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ++count_;
    return true;
  }
  int64_t Count() const override { return count_; }

 private:
  HWND box_ = nullptr;
  HDC measuring_ = nullptr;
  int widest_ = 0;
  int64_t count_ = 0;
};

struct Run {
  std::vector<double> first;  // milliseconds per batch, the messages it causes served
  std::vector<double> last;
  std::vector<double> firstServing;  // of which serving the messages
  std::vector<double> lastServing;
  int64_t lines = 0;
  double seconds = 0;
  double before = 0;  // working set in bytes
  double after = 0;
  const char* stop = "reached 1 000 000 lines";
};

// Feeds batches until the top level or until the feed stops being usable; times every batch with the
// messages it causes.
Run Fill(Feed& feed, const std::vector<std::string>& lines) {
  Run run;
  run.before = WorkingSet();
  std::vector<double> recent;
  std::vector<double> recentServing;
  const int64_t start = MonotonicNs();
  while (feed.Count() < kTopLevel) {
    const int64_t batchStart = MonotonicNs();
    bool refused = false;
    for (int line = 0; line < kBatchLines && !refused; ++line) {
      refused = !feed.Append(lines[static_cast<size_t>((feed.Count() + line) % static_cast<int64_t>(lines.size()))]);
    }
    const int64_t servingStart = MonotonicNs();
    ServeMessages();
    const double elapsed = static_cast<double>(MonotonicNs() - batchStart) / 1e6;
    const double serving = static_cast<double>(MonotonicNs() - servingStart) / 1e6;
    if (run.first.size() < kSampleBatches) {
      run.first.push_back(elapsed);
      run.firstServing.push_back(serving);
    }
    recent.push_back(elapsed);
    recentServing.push_back(serving);
    if (recent.size() > kSampleBatches) {
      recent.erase(recent.begin());
      recentServing.erase(recentServing.begin());
    }
    if (refused) {
      run.stop = "the control refused a line";
      break;
    }
    if (run.first.size() == kSampleBatches && Median(recent) > kUnusableGrowth * Median(run.first)) {
      run.stop = "a batch took 50 times its first";
      break;
    }
    if (static_cast<double>(MonotonicNs() - start) / 1e9 > kBudgetSeconds) {
      run.stop = "5 minutes were up";
      break;
    }
  }
  run.seconds = static_cast<double>(MonotonicNs() - start) / 1e9;
  run.last = recent;
  run.lastServing = recentServing;
  run.lines = feed.Count();
  run.after = WorkingSet();
  return run;
}

void Print(const char* name, const Run& run) {
  const double lines = static_cast<double>(std::max<int64_t>(run.lines, 1));
  std::printf("  %s: %lld lines in %.1f s (%s)\n", name, static_cast<long long>(run.lines), run.seconds, run.stop);
  std::printf("    per line, first %d batches: median %s (slowest %s); serving the messages %s a batch\n",
              kSampleBatches, Figure(Median(run.first) * 1000.0 / kBatchLines, "us", 2).c_str(),
              Figure(Percentile(run.first, 100) * 1000.0 / kBatchLines, "us", 2).c_str(),
              Figure(Median(run.firstServing), "ms", 1).c_str());
  std::printf("    per line, last %d batches:  median %s (slowest %s); serving the messages %s a batch\n",
              kSampleBatches, Figure(Median(run.last) * 1000.0 / kBatchLines, "us", 2).c_str(),
              Figure(Percentile(run.last, 100) * 1000.0 / kBatchLines, "us", 2).c_str(),
              Figure(Median(run.lastServing), "ms", 1).c_str());
  std::printf("    working set %s more: %.1f bytes per line\n", Figure((run.after - run.before) / 1048576.0, "MiB").c_str(),
              (run.after - run.before) / lines);
}

}  // namespace

int Main() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&windowClass);
  // A set of distinct lines made beforehand, so that making them is not timed; both logs get the same.
  std::vector<std::string> lines;
  for (int64_t number = 0; number < 4096; ++number) lines.push_back(DumpLine(number));

  std::printf("== Windows log growth (1000 lines of %zu bytes per batch)\n", lines[0].size());
  Run log;
  {
    HWND window = ShownWindow(L"Log");
    auto feed = std::make_unique<LogListFeed>(window);
    log = Fill(*feed, lines);
    feed.reset();
    DestroyWindow(window);
    ServeMessages();
  }
  Print("virtual list view over the line store", log);
  std::fflush(stdout);
  Run peer;
  {
    HWND window = ShownWindow(L"List box");
    ListBoxFeed feed(window);
    peer = Fill(feed, lines);
    DestroyWindow(window);
    ServeMessages();
  }
  Print("plain list box", peer);

  const double growth = Median(log.last) / Median(log.first);
  const double bytesPerLine = (log.after - log.before) / static_cast<double>(log.lines);
  char measured[96];
  std::snprintf(measured, sizeof measured, "ratio %.2f; the list box's %.2f at %lld lines", growth,
                Median(peer.last) / Median(peer.first), static_cast<long long>(peer.lines));
  PrintTarget("the last batches before 1 000 000 lines at most 2 x the first", log.lines == kTopLevel && growth <= kTargetGrowth,
              measured);
  std::snprintf(measured, sizeof measured, "%.1f bytes per line", bytesPerLine);
  PrintTarget("at most 400 bytes of working set per line", bytesPerLine <= kTargetBytesPerLine, measured);
  return 0;
}

}  // namespace varnetik::bench

int main() { return varnetik::bench::Main(); }
