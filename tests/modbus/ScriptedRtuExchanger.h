// A serial exchange that answers from a script and records every request it was handed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/RtuTransactions.h"

namespace varnetik::testing {

// Appends the CRC (low byte first), as a slave would.
inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  const uint16_t crc = Crc16(frame.data(), static_cast<int64_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

// Appends a CRC with one bit wrong.
inline std::vector<uint8_t> WithBadCrc(std::vector<uint8_t> frame) {
  frame = WithCrc(std::move(frame));
  frame[frame.size() - 2] ^= 0x01;
  return frame;
}

struct RtuReply {
  std::vector<uint8_t> bytes;               // stored into the response buffer from offset 0
  std::optional<RtuExchangeResult> result;  // what the exchange returns; the count stored when empty
};

struct RtuExchangeCall {
  std::vector<uint8_t> request;
  int64_t expectedLength = 0;
  int64_t responseCapacity = 0;
  int64_t timeoutMs = 0;
};

class ScriptedRtuExchanger : public RtuExchanger {
 public:
  std::deque<RtuReply> replies;  // one per exchange; an exhausted script is a silent slave
  std::vector<RtuExchangeCall> calls;

  RtuExchangeResult RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) override {
    calls.push_back({std::vector<uint8_t>(request, request + requestLength), expectedLength, responseCapacity,
                     timeoutMs});
    if (replies.empty()) return {};
    const RtuReply reply = replies.front();
    replies.pop_front();
    const auto stored = std::min(static_cast<int64_t>(reply.bytes.size()), responseCapacity);
    std::copy_n(reply.bytes.begin(), stored, response);
    return reply.result.value_or(RtuExchangeResult{RtuExchangeStatus::Collected, stored});
  }
};

}  // namespace varnetik::testing
