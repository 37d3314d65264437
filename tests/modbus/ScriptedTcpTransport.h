// A TCP connection whose incoming byte stream is scripted in pieces; records what was sent and every
// receive asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "modbus/ResultCode.h"
#include "modbus/TcpTransactions.h"

namespace varnetik::testing {

// MBAP header with a length field given as is, so that implausible lengths can be sent.
inline std::vector<uint8_t> MbapHeader(uint16_t transactionId, uint16_t protocolId, uint16_t length,
                                       uint8_t unitId) {
  return {static_cast<uint8_t>(transactionId >> 8),
          static_cast<uint8_t>(transactionId),
          static_cast<uint8_t>(protocolId >> 8),
          static_cast<uint8_t>(protocolId),
          static_cast<uint8_t>(length >> 8),
          static_cast<uint8_t>(length),
          unitId};
}

// A whole response: header with the matching length, then the PDU.
inline std::vector<uint8_t> Adu(uint16_t transactionId, const std::vector<uint8_t>& pdu, uint8_t unitId = 1) {
  std::vector<uint8_t> frame = MbapHeader(transactionId, 0, static_cast<uint16_t>(pdu.size() + 1), unitId);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  return frame;
}

struct TcpReceiveCall {
  int64_t count = 0;
  int64_t timeoutMs = 0;
};

struct TcpDiscardCall {
  int64_t quietMs = 0;
  int64_t timeoutMs = 0;
  int64_t dropped = 0;
};

class ScriptedTcpTransport : public TcpTransport {
 public:
  bool connected = true;
  std::deque<int64_t> sendResults;  // one per send; the full count when exhausted
  std::vector<std::vector<uint8_t>> sent;
  std::vector<TcpReceiveCall> receives;
  std::vector<TcpDiscardCall> discards;

  // Bytes that arrive; a receive may take part of a piece or span several.
  void Deliver(const std::vector<uint8_t>& bytes) { stream_.push_back({Kind::Bytes, bytes}); }
  // The receive that reaches this point runs out of time; later pieces are left for later receives.
  void Pause() { stream_.push_back({Kind::Pause, {}}); }
  // The receive that reaches this point sees a socket error.
  void Break() { stream_.push_back({Kind::Break, {}}); }
  // The line falls quiet for longer than a discard waits but shorter than a receive's time limit.
  void Quiet() { stream_.push_back({Kind::Quiet, {}}); }
  bool StreamEmpty() const { return stream_.empty(); }

  bool IsConnected() const override { return connected; }

  int64_t TcpSend(const uint8_t* bytes, int64_t count) override {
    sent.emplace_back(bytes, bytes + count);
    if (sendResults.empty()) return count;
    const int64_t result = sendResults.front();
    sendResults.pop_front();
    return result;
  }

  ResultCode TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) override {
    receives.push_back({count, timeoutMs});
    if (count == 0) return ResultCode::Success(0);
    int64_t received = 0;
    while (received < count) {
      if (stream_.empty()) return TcpTimeoutOrShort;  // the script has run dry: silence
      Piece& piece = stream_.front();
      if (piece.kind == Kind::Quiet) {
        stream_.pop_front();
        continue;
      }
      if (piece.kind != Kind::Bytes) {
        const ResultCode result = piece.kind == Kind::Pause ? TcpTimeoutOrShort : TcpConnectionLost;
        stream_.pop_front();
        return result;
      }
      const auto take = std::min(count - received, static_cast<int64_t>(piece.bytes.size()));
      std::copy_n(piece.bytes.begin(), take, destination + received);
      piece.bytes.erase(piece.bytes.begin(), piece.bytes.begin() + take);
      received += take;
      if (piece.bytes.empty()) stream_.pop_front();
    }
    return ResultCode::Success(count);
  }

  // Drops bytes up to the first quiet line, pause or break, which it takes too.
  void TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) override {
    discards.push_back({quietMs, timeoutMs, 0});
    while (!stream_.empty()) {
      const Piece piece = stream_.front();
      stream_.pop_front();
      if (piece.kind != Kind::Bytes) return;
      discards.back().dropped += static_cast<int64_t>(piece.bytes.size());
    }
  }

 private:
  enum class Kind { Bytes, Pause, Break, Quiet };
  struct Piece {
    Kind kind;
    std::vector<uint8_t> bytes;
  };
  std::deque<Piece> stream_;
};

}  // namespace varnetik::testing
