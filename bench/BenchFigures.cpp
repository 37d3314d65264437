#include "bench/BenchFigures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace varnetik::bench {

double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0.0;
  std::sort(samples.begin(), samples.end());
  // Nearest rank: the smallest sample with at least p percent of all samples at or below it.
  auto rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
  rank = std::clamp<size_t>(rank, 1, samples.size());
  return samples[rank - 1];
}

double Median(const std::vector<double>& samples) { return Percentile(samples, 50.0); }

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Figure(double value, const char* unit, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%9.*f %s", decimals, value, unit);
  return text;
}

bool PrintTarget(const std::string& what, bool met, const std::string& measured) {
  std::printf("Target: %s: %s (%s)\n", what.c_str(), met ? "met" : "not met", measured.c_str());
  std::fflush(stdout);
  return met;
}

}  // namespace varnetik::bench
