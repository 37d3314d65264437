// The three RTU transactions judging whatever a slave might send back, each prepared first and then
// exchanged, the way the operations run them.
//
// Input: selector, quantity, slave id, start address (2 bytes), then the bytes the slave answers with.
// Selector bits 0-1 pick the transaction (read FC03, read FC04, write one, write many); bits 2-3 pick what
// the exchange reports (the count received, the same, a failed exchange, more than the capacity); bit 4
// picks "no port open" or "send failed" for a failed exchange, which stores the answer and counts it all
// the same; bit 5 appends the right CRC to the answer; bit 6 hands write-many one value fewer than its
// count.
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "modbus/Frames.h"
#include "modbus/RtuTransactions.h"

namespace varnetik::fuzz {
namespace {

enum class Transaction { ReadHolding, ReadInput, WriteOne, WriteMany };
enum class ExchangeMode { Received, Failed, BeyondCapacity };

struct Case {
  Transaction transaction;
  ExchangeMode mode;
  RtuExchangeStatus failure;
  bool valuesShort;
  uint16_t quantity;
  uint8_t slaveId;
  uint16_t start;
  std::vector<uint8_t> answer;
};

Case ReadCase(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.TakeByte();
  Case c{};
  c.transaction = static_cast<Transaction>(selector & 0x03);
  const int modeBits = (selector >> 2) & 0x03;
  c.mode = modeBits < 2    ? ExchangeMode::Received
           : modeBits == 2 ? ExchangeMode::Failed
                           : ExchangeMode::BeyondCapacity;
  c.failure = (selector & 0x10) != 0 ? RtuExchangeStatus::SendFailed : RtuExchangeStatus::NoPortOpen;
  const bool appendCrc = (selector & 0x20) != 0;
  c.valuesShort = (selector & 0x40) != 0;
  c.quantity = input.TakeByte() % 128;  // a few counts beyond the limits, most inside
  c.slaveId = input.TakeByte();
  c.start = input.TakeU16();
  c.answer = input.TakeRest();
  if (appendCrc) {
    const uint16_t crc = Crc16(c.answer.data(), static_cast<int64_t>(c.answer.size()));
    c.answer.push_back(static_cast<uint8_t>(crc & 0xFF));
    c.answer.push_back(static_cast<uint8_t>(crc >> 8));
  }
  return c;
}

// Stores the answer from the start of the buffer it is offered and marks the rest of that buffer stale.
class FuzzRtuExchanger : public RtuExchanger {
 public:
  FuzzRtuExchanger(const Case& c, const RtuTxFrame& txFrame, const RtuRxFrame& rxFrame)
      : case_(c), txFrame_(txFrame), rxFrame_(rxFrame) {}

  int calls = 0;
  int64_t stored = 0;  // bytes of the current answer in the receive buffer

  // Remembers the request as prepared, which the exchange must send unchanged.
  void Prepared(const RtuRequest& request) {
    prepared_.assign(txFrame_.begin(), txFrame_.begin() + request.length);
    expectedLength_ = request.expectedLength;
  }

  RtuExchangeResult RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) override {
    ++calls;
    FUZZ_CHECK(calls == 1);
    FUZZ_CHECK(request == txFrame_.data());
    FUZZ_CHECK(std::equal(request, request + requestLength, prepared_.begin(), prepared_.end()));
    FUZZ_CHECK(expectedLength == expectedLength_);
    FUZZ_CHECK(requestLength >= 8 && requestLength <= kRtuTxFrameSize);
    FUZZ_CHECK(RtuCrcMatches(request, requestLength) && request[0] == case_.slaveId);
    FUZZ_CHECK(response == rxFrame_.data() && responseCapacity == kRtuRxFrameSize);
    FUZZ_CHECK(expectedLength > 0 && expectedLength <= responseCapacity);
    FUZZ_CHECK(timeoutMs == kTimeoutMs);

    const auto answerLength = static_cast<int64_t>(case_.answer.size());
    if (case_.mode == ExchangeMode::BeyondCapacity) {
      // The whole buffer is filled, so nothing is stale; the count claims even more.
      for (int64_t i = 0; i < responseCapacity; ++i) {
        response[i] = answerLength > 0 ? case_.answer[static_cast<size_t>(i % answerLength)] : 0;
      }
      stored = responseCapacity;
      return {RtuExchangeStatus::Collected, responseCapacity + 1 + answerLength};
    }
    stored = std::min(answerLength, responseCapacity);
    std::copy_n(case_.answer.begin(), stored, response);
    MarkStale(response + stored, response + responseCapacity);
    if (case_.mode == ExchangeMode::Failed) return {case_.failure, stored};
    return {RtuExchangeStatus::Collected, stored};
  }

  static constexpr int64_t kTimeoutMs = 800;

 private:
  const Case& case_;
  const RtuTxFrame& txFrame_;
  const RtuRxFrame& rxFrame_;
  std::vector<uint8_t> prepared_;
  int64_t expectedLength_ = 0;
};

struct Outcome {
  ResultCode code{0};
  std::vector<uint16_t> registers;
  bool operator==(const Outcome&) const = default;
};

const std::vector<uint16_t> kUntouched = {0xDEAD, 0xBEEF, 0x5A5A};

bool IsExceptionOf(ResultCode code, ResultCode base, bool anyCode) {
  const std::optional<uint8_t> e = ExceptionCodeIn(code, base);
  return e && (anyCode || IsKnownExceptionCode(*e));
}

void CheckRead(const Case& c, const FuzzRtuExchanger& exchanger, const RtuRxFrame& rx, const Outcome& o) {
  const bool quantityOk = c.quantity >= 1 && c.quantity <= kMaxReadQuantity;
  FUZZ_CHECK(exchanger.calls == (quantityOk ? 1 : 0));
  if (o.code.IsSuccess()) {
    FUZZ_CHECK(o.code == ResultCode::Success(c.quantity));
    FUZZ_CHECK(exchanger.stored == ExpectedReadResponseLength(c.quantity));
    FUZZ_CHECK(o.registers.size() == c.quantity);
    for (size_t i = 0; i < c.quantity; ++i) {
      FUZZ_CHECK(o.registers[i] == ((rx[3 + 2 * i] << 8) | rx[4 + 2 * i]));
    }
    return;
  }
  FUZZ_CHECK(o.registers == kUntouched);  // a failed read leaves the caller's array alone
  FUZZ_CHECK(o.code == ReadBadQuantity || o.code == ReadShortOrTimeout || o.code == ReadCrcError ||
             o.code == ReadByteCountMismatch || o.code == RtuBadExceptionCode ||
             IsExceptionOf(o.code, ReadException, false));
  if (c.mode == ExchangeMode::Failed && quantityOk) FUZZ_CHECK(o.code == ReadShortOrTimeout);
}

void CheckWriteOne(const Case& c, const FuzzRtuExchanger& exchanger, const Outcome& o) {
  FUZZ_CHECK(exchanger.calls == 1);
  if (o.code.IsSuccess()) {
    FUZZ_CHECK(o.code == ResultCode::Success(1) && exchanger.stored == 8);
    return;
  }
  FUZZ_CHECK(o.code == WriteOneShortOrTimeout || o.code == WriteOneCrcError ||
             o.code == WriteOneUnexpectedLength || IsExceptionOf(o.code, WriteOneException, true));
  if (c.mode == ExchangeMode::Failed) FUZZ_CHECK(o.code == WriteOneShortOrTimeout);
}

void CheckWriteMany(const Case& c, const FuzzRtuExchanger& exchanger, int64_t count, size_t valueCount,
                    const Outcome& o) {
  const bool countOk = count >= 1 && count <= kMaxWriteQuantity && static_cast<size_t>(count) <= valueCount;
  FUZZ_CHECK(exchanger.calls == (countOk ? 1 : 0));
  if (o.code.IsSuccess()) {
    FUZZ_CHECK(o.code == ResultCode::Success(count) && exchanger.stored == 8);
    return;
  }
  FUZZ_CHECK(o.code == WriteManyBadQuantity || o.code == WriteManyShortOrTimeout ||
             o.code == WriteManyCrcError || o.code == WriteManyUnexpectedLength ||
             o.code == RtuBadExceptionCode || IsExceptionOf(o.code, WriteManyException, false));
  if (c.mode == ExchangeMode::Failed && countOk) FUZZ_CHECK(o.code == WriteManyShortOrTimeout);
}

// Runs the case once with the receive buffer filled with staleFill beforehand; the buffers live on the
// heap on their own so that AddressSanitizer watches their edges.
Outcome Run(const Case& c, uint8_t staleFill) {
  auto txFrame = std::make_unique<RtuTxFrame>();
  auto rxFrame = std::make_unique<RtuRxFrame>();
  rxFrame->fill(staleFill);
  FuzzRtuExchanger exchanger(c, *txFrame, *rxFrame);
  const RtuTransactionContext context{exchanger, *txFrame, *rxFrame, c.slaveId, FuzzRtuExchanger::kTimeoutMs};

  Outcome outcome;
  outcome.registers = kUntouched;
  switch (c.transaction) {
    case Transaction::ReadHolding:
    case Transaction::ReadInput: {
      const uint8_t fc = c.transaction == Transaction::ReadHolding ? kFcReadHolding : kFcReadInput;
      const RtuRequest request = RtuPrepareRead(context, fc, c.start, c.quantity);
      exchanger.Prepared(request);
      outcome.code = RtuReadRegisters(context, request, outcome.registers);
      CheckRead(c, exchanger, *rxFrame, outcome);
      break;
    }
    case Transaction::WriteOne: {
      const RtuRequest request = RtuPrepareWriteSingle(context, c.start, static_cast<uint16_t>(~c.start));
      exchanger.Prepared(request);
      outcome.code = RtuWriteSingleRegister(context, request);
      CheckWriteOne(c, exchanger, outcome);
      break;
    }
    case Transaction::WriteMany: {
      const int64_t count = c.quantity;
      std::vector<uint16_t> values(static_cast<size_t>(c.valuesShort && count > 0 ? count - 1 : count));
      for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(c.start + i);
      const RtuRequest request = RtuPrepareWriteMultiple(context, c.start, values, count);
      exchanger.Prepared(request);
      outcome.code = RtuWriteMultipleRegisters(context, request);
      CheckWriteMany(c, exchanger, count, values.size(), outcome);
      break;
    }
  }
  FUZZ_CHECK(outcome.code.IsSuccess() || HasOwnMessage(outcome.code));
  // A failed exchange is never judged by the answer it happened to store, however good.
  if (c.mode == ExchangeMode::Failed) FUZZ_CHECK(outcome.code.IsFailure());
  MarkCurrent(rxFrame->data(), rxFrame->data() + rxFrame->size());
  return outcome;
}

}  // namespace
}  // namespace varnetik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik::fuzz;
  const Case c = ReadCase(data, size);
  // Whatever lies beyond the answer must not change the verdict, with or without AddressSanitizer.
  FUZZ_CHECK(Run(c, 0x00) == Run(c, 0xFF));
  return 0;
}
