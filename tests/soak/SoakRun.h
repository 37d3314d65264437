// What both soak runs share: their size, timeouts and seed, the register map the slave holds, and the
// growth check from the warm-up point to the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/soak/DefinedCodes.h"
#include "tests/soak/ProcessGauge.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {

// VARNETIK_SOAK_TRANSACTIONS when set to a positive count, otherwise 10000; a long run by hand (say
// 100000) shows whether anything grows with the count.
int TransactionsPerLink();
// Buffers, the slave's connection list and the allocator settle before this point (1000, or half of a
// shorter run).
int WarmUpTransactions(int transactions);
// Short, so that the faults that end in a timeout keep the run quick.
inline constexpr int64_t kSoakTimeoutMs = 25;
// A transaction or click never takes this long unless something hangs.
inline constexpr int64_t kHangMs = 5000;

// Reads stay in this region, which both tables hold with the same pattern and no write touches.
inline constexpr uint16_t kReadRegionStart = 1000;
inline constexpr uint16_t kReadRegionSize = 1000;
// Writes stay in this region.
inline constexpr uint16_t kWriteRegionStart = 30000;
inline constexpr uint16_t kWriteRegionSize = 1000;

using SoakClock = std::chrono::steady_clock;
int64_t MsSince(SoakClock::time_point start);

int Between(std::mt19937& random, int low, int high);
// Half reads, a quarter each of the two writes.
SoakOperation DrawOperation(std::mt19937& random);
std::vector<uint16_t> RandomValues(std::mt19937& random, int count);

uint16_t RegisterPattern(uint16_t address);
void FillReadRegion(ScriptableSlave& slave);

// VARNETIK_SOAK_SEED when set, otherwise a fixed seed; printed either way.
uint32_t SoakSeed(const std::string& link);

// Measures again and checks it against the warm-up figures: at most 2 more descriptors (peers may still
// be closing), at most 8 MiB more resident memory (skipped under AddressSanitizer). Prints both.
void ExpectNoGrowth(const ProcessGauge& warmUp, const std::string& link);

}  // namespace varnetik::testing
