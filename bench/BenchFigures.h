// What every benchmark prints: medians and percentiles of samples, a ratio against an anchor measured in
// the same run, and a target line that says "met" or "not met".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik::bench {

// Nearest-rank percentile (0 < p <= 100) of the samples; 0 for none.
double Percentile(std::vector<double> samples, double p);
double Median(const std::vector<double>& samples);

// Nanoseconds of the monotonic clock; the same clock in every process of this machine.
int64_t MonotonicNs();

// One figure with its unit, padded so that the columns of a report line up.
std::string Figure(double value, const char* unit, int decimals = 1);

// "Target: <what>: met" or "... not met", with the measured value beside it. Returns met.
bool PrintTarget(const std::string& what, bool met, const std::string& measured);

}  // namespace varnetik::bench
