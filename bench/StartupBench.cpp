// Start-up time from process start to "Bereit." in the log, against an empty main window built the same
// way and against a window with the same controls built plainly. The probes are spawned in turn; each
// prints the monotonic clock (shared by every process of the machine) at its named points, and every
// time is counted from the moment just before the spawn.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"

extern char** environ;

namespace varnetik::bench {

namespace {

constexpr int kSpawns = 10;
constexpr double kTargetRatio = 1.5;
// Against a window with the same controls built plainly: what the program adds (port scan, pictures,
// fitted captions, accessible names) may cost a fifth more at most.
constexpr double kPlainTargetRatio = 1.2;

struct Probe {
  const char* name;
  const char* path;
  const char* argument;  // or nullptr
  // Milliseconds from the spawn to each point the probe reported: "app" (QApplication built), "config"
  // (pictures and settings loaded), "ready" (window built), "shown" (shown window through the loop once).
  std::map<std::string, std::vector<double>> pointsMs;

  double MedianMs(const std::string& point) const {
    auto found = pointsMs.find(point);
    return found == pointsMs.end() ? 0.0 : Median(found->second);
  }
};

// Spawns the probe and records its clock readings; false when it failed. Its warnings are not shown:
// run it by hand with QT_QPA_PLATFORM=offscreen to see them.
bool SpawnOnce(Probe& probe) {
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* arguments[] = {const_cast<char*>(probe.path), const_cast<char*>(probe.argument), nullptr};
  pid_t child = 0;
  const int64_t start = MonotonicNs();
  const int spawned = posix_spawn(&child, probe.path, &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(got));
  }
  close(output[0]);
  if (spawned != 0) return false;
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;

  std::istringstream lines(text);
  std::string point;
  long long clock = 0;
  while (lines >> point >> clock) probe.pointsMs[point].push_back(static_cast<double>(clock - start) / 1e6);
  return probe.pointsMs.count("ready") != 0 && probe.pointsMs.count("shown") != 0;
}

void PrintProbe(const Probe& probe) {
  std::printf("  %-28s to built %s (fastest %s) | to shown %s\n", probe.name,
              Figure(probe.MedianMs("ready"), "ms").c_str(),
              Figure(Percentile(probe.pointsMs.at("ready"), 1), "ms").c_str(),
              Figure(probe.MedianMs("shown"), "ms").c_str());
}

}  // namespace

int Main() {
  // The probes are GUI programs; without a display they run on Qt's offscreen platform.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Probe program{"Varnetik (\"Bereit.\")", VARNETIK_BENCH_WINDOW_PROBE, nullptr, {}};
  Probe empty{"empty QMainWindow", VARNETIK_BENCH_EMPTY_PROBE, nullptr, {}};
  Probe labelled{"QMainWindow with a label", VARNETIK_BENCH_EMPTY_PROBE, "label", {}};
  Probe plain{"same controls, built plainly", VARNETIK_BENCH_PLAIN_PROBE, nullptr, {}};
  Probe* probes[] = {&program, &empty, &labelled, &plain};
  // One start of each first, so that none pays alone for loading the libraries from disk. The order
  // turns round every time, so that no probe always follows the same one.
  for (int spawn = -1; spawn < kSpawns; ++spawn) {
    std::rotate(std::begin(probes), std::begin(probes) + 1, std::end(probes));
    for (Probe* probe : probes) {
      if (!SpawnOnce(*probe)) {
        std::fprintf(stderr, "%s did not start\n", probe->path);
        return 1;
      }
      if (spawn < 0) probe->pointsMs.clear();
    }
  }
  std::printf("== Start-up (%d starts each, medians from process start, offscreen)\n", kSpawns);
  PrintProbe(program);
  PrintProbe(empty);
  PrintProbe(labelled);
  PrintProbe(plain);
  std::printf("  Varnetik by phase: QApplication built %s, pictures and settings %s, window %s\n",
              Figure(program.MedianMs("app"), "ms").c_str(),
              Figure(program.MedianMs("config") - program.MedianMs("app"), "ms").c_str(),
              Figure(program.MedianMs("ready") - program.MedianMs("config"), "ms").c_str());
  std::printf("  empty window by phase: QApplication built %s, window %s\n",
              Figure(empty.MedianMs("app"), "ms").c_str(),
              Figure(empty.MedianMs("ready") - empty.MedianMs("app"), "ms").c_str());
  const double ratio = program.MedianMs("ready") / empty.MedianMs("ready");
  std::printf("  ratio to the empty window %.2f to built, %.2f to shown\n", ratio,
              program.MedianMs("shown") / empty.MedianMs("shown"));
  std::printf("  ratio to the window with a label %.2f to built (a label's size loads the font database)\n",
              program.MedianMs("ready") / labelled.MedianMs("ready"));
  const double plainRatio = program.MedianMs("shown") / plain.MedianMs("shown");
  std::printf("  ratio to the same controls built plainly %.2f to built, %.2f to shown\n",
              program.MedianMs("ready") / plain.MedianMs("ready"), plainRatio);
  char measured[32];
  std::snprintf(measured, sizeof measured, "ratio %.2f", ratio);
  PrintTarget("\"Bereit.\" at most 1.5 x the empty window", ratio <= kTargetRatio, measured);
  std::snprintf(measured, sizeof measured, "ratio %.2f", plainRatio);
  PrintTarget("shown at most 1.2 x the same controls built plainly", plainRatio <= kPlainTargetRatio, measured);
  return 0;
}

}  // namespace varnetik::bench

int main() { return varnetik::bench::Main(); }
