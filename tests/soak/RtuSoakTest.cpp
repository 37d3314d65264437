// Ten thousand serial transactions (or VARNETIK_SOAK_TRANSACTIONS) against the misbehaving slave on a
// pseudo-terminal pair, with random faults mixed in. Every result must be a defined code of its own
// function, every read that succeeds must carry what the slave holds, and neither descriptors nor memory
// may grow.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/RtuTransactions.h"
#include "operator/ResultMessages.h"
#include "serial/RtuLink.h"
#include "tests/soak/DefinedCodes.h"
#include "tests/soak/FaultMix.h"
#include "tests/soak/ProcessGauge.h"
#include "tests/soak/SoakRun.h"
#include "tests/soak/SoakTally.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {
namespace {

constexpr double kFaultRate = 0.05;

std::vector<uint16_t> ReadRegion(uint16_t quantity) {
  std::vector<uint16_t> values;
  for (uint16_t k = 0; k < quantity; ++k) values.push_back(RegisterPattern(kReadRegionStart + k));
  return values;
}

TEST(SoakTest, RtuTransactionsUnderRandomFaults) {
  ScriptableSlave slave(ScriptableSlave::History::None);
  FillReadRegion(slave);
  RtuLink link;
  link.portName = slave.SerialPath();
  link.rxTimeoutMs = kSoakTimeoutMs;
  ASSERT_TRUE(link.RtuOpenPort());
  const RtuTransactionContext context = link.TransactionContext(1);

  std::map<SoakOperation, std::set<ResultCode>> defined;
  for (SoakOperation operation : {SoakOperation::Read, SoakOperation::WriteOne, SoakOperation::WriteMany}) {
    for (ResultCode code : DefinedFailures(SoakLink::Rtu, operation)) defined[operation].insert(code);
  }

  std::mt19937 random(SoakSeed("RTU"));
  SoakTally tally;
  ProcessGauge warmUp;
  const SoakClock::time_point runStart = SoakClock::now();
  const int transactions = TransactionsPerLink();
  const int warmUpAt = WarmUpTransactions(transactions);
  for (int n = 0; n < transactions; ++n) {
    if (n == warmUpAt) warmUp = MeasureProcess();
    const DrawnReply drawn = DrawRtuReply(random, kFaultRate, kSoakTimeoutMs);
    tally.Fault(drawn.fault);
    slave.Script({drawn.reply});

    const SoakOperation operation = DrawOperation(random);
    std::vector<uint16_t> registers;
    int64_t success = 0;
    ResultCode rc{0};
    const SoakClock::time_point start = SoakClock::now();
    switch (operation) {
      case SoakOperation::Read: {
        // A serial answer carries no transaction id, so a late answer to an earlier read can be taken
        // for the current one. Every read starts at the same address: such an answer then carries the
        // same values, and each success can be checked against the slave.
        const uint8_t functionCode = Between(random, 0, 1) == 0 ? kFcReadHolding : kFcReadInput;
        const auto quantity = static_cast<uint16_t>(Between(random, 1, kMaxReadQuantity));
        success = quantity;
        rc = RtuReadRegisters(context, RtuPrepareRead(context, functionCode, kReadRegionStart, quantity),
                              registers);
        break;
      }
      case SoakOperation::WriteOne: {
        const auto address =
            static_cast<uint16_t>(kWriteRegionStart + Between(random, 0, kWriteRegionSize - 1));
        success = 1;
        rc = RtuWriteSingleRegister(
            context,
            RtuPrepareWriteSingle(context, address, static_cast<uint16_t>(Between(random, 0, 0xFFFF))));
        break;
      }
      case SoakOperation::WriteMany: {
        const int count = Between(random, 1, kMaxWriteQuantity);
        const auto first =
            static_cast<uint16_t>(kWriteRegionStart + Between(random, 0, kWriteRegionSize - count));
        success = count;
        rc = RtuWriteMultipleRegisters(
            context, RtuPrepareWriteMultiple(context, first, RandomValues(random, count), count));
        break;
      }
    }
    const std::string where = "RTU transaction " + std::to_string(n) + " (" + OperationName(operation) +
                              ", fault " + drawn.fault + ")";
    ASSERT_LT(MsSince(start), kHangMs) << where;
    if (rc.IsSuccess()) {
      ASSERT_EQ(rc, ResultCode::Success(success)) << where;
      if (operation == SoakOperation::Read) {
        ASSERT_EQ(registers, ReadRegion(static_cast<uint16_t>(success))) << where;
      }
    } else {
      ASSERT_EQ(defined[operation].count(rc), 1u) << where << ": " << rc << " " << ResultMessage(rc);
    }
    tally.Result(operation, rc);
  }

  tally.Print("RTU: " + std::to_string(transactions) + " transactions in " +
              std::to_string(MsSince(runStart)) + " ms");
  ExpectNoGrowth(warmUp, "RTU");
  // Faults are rare: a run with mostly failures means the link itself broke down.
  EXPECT_GT(tally.Successes(), transactions / 2);
}

}  // namespace
}  // namespace varnetik::testing
