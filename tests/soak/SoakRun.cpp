#include "tests/soak/SoakRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace varnetik::testing {
namespace {

constexpr int64_t kFdSlack = 2;
constexpr int64_t kResidentSlackKiB = 8 * 1024;
constexpr uint32_t kDefaultSeed = 20000;
constexpr int kDefaultTransactions = 10000;
constexpr int kWarmUp = 1000;

}  // namespace

int TransactionsPerLink() {
  const char* text = std::getenv("VARNETIK_SOAK_TRANSACTIONS");
  const long count = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return count > 0 && count <= INT_MAX ? static_cast<int>(count) : kDefaultTransactions;
}

int WarmUpTransactions(int transactions) { return std::min(kWarmUp, transactions / 2); }

int64_t MsSince(SoakClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SoakClock::now() - start).count();
}

int Between(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

SoakOperation DrawOperation(std::mt19937& random) {
  const int pick = Between(random, 0, 3);
  if (pick < 2) return SoakOperation::Read;
  return pick == 2 ? SoakOperation::WriteOne : SoakOperation::WriteMany;
}

std::vector<uint16_t> RandomValues(std::mt19937& random, int count) {
  std::vector<uint16_t> values;
  for (int k = 0; k < count; ++k) values.push_back(static_cast<uint16_t>(Between(random, 0, 0xFFFF)));
  return values;
}

uint16_t RegisterPattern(uint16_t address) { return static_cast<uint16_t>(address * 0x9E37u + 0x5A5Au); }

void FillReadRegion(ScriptableSlave& slave) {
  std::vector<uint16_t> values;
  for (uint16_t k = 0; k < kReadRegionSize; ++k) values.push_back(RegisterPattern(kReadRegionStart + k));
  slave.SetHolding(kReadRegionStart, values);
  slave.SetInput(kReadRegionStart, values);
}

uint32_t SoakSeed(const std::string& link) {
  const char* text = std::getenv("VARNETIK_SOAK_SEED");
  uint32_t seed = text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : kDefaultSeed;
  std::printf("[soak] %s seed %u (repeat with VARNETIK_SOAK_SEED=%u)\n", link.c_str(), seed, seed);
  std::fflush(stdout);
  return seed;
}

void ExpectNoGrowth(const ProcessGauge& warmUp, const std::string& link) {
  ProcessGauge end = MeasureProcess();
  // A peer thread may still be closing a connection the last click gave up; give it a moment.
  for (int retry = 0; retry < 20 && end.openFds > warmUp.openFds + kFdSlack; ++retry) {
    end = MeasureProcess();
  }
  std::printf("[soak] %s open descriptors %lld -> %lld, VmRSS %lld KiB -> %lld KiB%s\n", link.c_str(),
              static_cast<long long>(warmUp.openFds), static_cast<long long>(end.openFds),
              static_cast<long long>(warmUp.residentKiB), static_cast<long long>(end.residentKiB),
              kResidentMemoryMeaningful ? "" : " (not judged under AddressSanitizer)");
  std::fflush(stdout);

  ASSERT_GT(warmUp.openFds, 0);
  EXPECT_LE(end.openFds, warmUp.openFds + kFdSlack) << link << ": file descriptors grew";
  if (!kResidentMemoryMeaningful) return;
  ASSERT_GT(warmUp.residentKiB, 0);
  EXPECT_LE(end.residentKiB, warmUp.residentKiB + kResidentSlackKiB) << link << ": resident memory grew";
}

}  // namespace varnetik::testing
