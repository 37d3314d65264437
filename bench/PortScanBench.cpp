// The port scan of the default candidates on this machine, timed as the operator meets it at start-up
// and behind "Scannen". There is no anchor to compare with: the figure is printed as it is.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/NullConsole.h"
#include "serial/PortScan.h"
#include "serial/RtuLink.h"

namespace varnetik::bench {

namespace {

constexpr int kScans = 20;

}  // namespace

int Main() {
  std::printf("== Port scan\n");
  const std::vector<std::string>& candidates = DefaultPortCandidates();
  RtuLink link;  // no port open, as at start-up
  NullConsole console;
  std::vector<double> milliseconds;
  std::vector<std::string> found;
  for (int scan = 0; scan < kScans; ++scan) {
    const int64_t start = MonotonicNs();
    found = ScanPorts(link, console, candidates);
    milliseconds.push_back(static_cast<double>(MonotonicNs() - start) / 1e6);
  }
  std::printf("  %zu candidates, %d scans: first %s, median %s, max %s\n", candidates.size(), kScans,
              Figure(milliseconds.front(), "ms", 3).c_str(), Figure(Median(milliseconds), "ms", 3).c_str(),
              Figure(Percentile(milliseconds, 100), "ms", 3).c_str());
  std::printf("  found %zu port(s):", found.size());
  for (const std::string& name : found) std::printf(" %s", name.c_str());
  std::printf("\n  log line: %s\n", console.lastLine.c_str());
  return 0;
}

}  // namespace varnetik::bench

int main() { return varnetik::bench::Main(); }
