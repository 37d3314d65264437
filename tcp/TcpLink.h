// The TCP link record: one client connection, its settings and the MBAP state.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "modbus/ModbusLink.h"
#include "modbus/PreparedRequests.h"
#include "modbus/TcpTransactions.h"
#include "tcp/Socket.h"

namespace varnetik {

// 1..65535. A port outside is refused, never wrapped to 16 bits: that would silently reach another
// server's port.
bool TcpPortInRange(int64_t port);

// The TCP link as a backend of the operations: its transactions and the labels of its dumps.
extern const LinkBackend<TcpTransactionContext, TcpRequest> kTcpBackend;

class TcpLink : public TcpExchangeState,
                public TcpTransport,
                public PreparedRequests<TcpLink, TcpTransactionContext, TcpRequest> {
 public:
  TcpLink() : PreparedRequests(kTcpBackend) {}
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;
  ~TcpLink() override;  // closes an open connection

  SocketHandle connection = kNoSocket;
  std::string host = "127.0.0.1";
  int64_t port = 502;
  int64_t connectTimeoutMs = 2000;
  // rxTimeoutMs, transactionId, txFrame, rxFrame, txLength and rxLength come from TcpExchangeState.

  bool IsConnected() const override { return connection != kNoSocket; }
  // Replaces any open connection by a new one to host:port (IPv4), waiting at most connectTimeoutMs.
  // Opened, or why no connection stands.
  LinkOpenResult TcpConnect();
  void TcpDisconnect();
  int64_t TcpSend(const uint8_t* bytes, int64_t count) override;
  // A closed peer waits out the timeout like a silent one: the operator sees one message for a server gone.
  ResultCode TcpReceiveExact(uint8_t* destination, int64_t count, int64_t timeoutMs) override;
  void TcpDiscardUntilQuiet(int64_t quietMs, int64_t timeoutMs) override;

  TcpTransactionContext TransactionContext(uint8_t slaveId) {
    return TcpTransactionContext{*this, *this, slaveId};
  }

  // The link as the operations see it (TcpModbusLink.cpp).
  bool IsOpen() const override { return IsConnected(); }
  bool HasDestination() const override { return !host.empty() && TcpPortInRange(port); }
  std::string Destination() const override { return host + ":" + std::to_string(port); }
  LinkOpenResult Open() override { return TcpConnect(); }
  void Close() override { TcpDisconnect(); }
  std::span<const uint8_t> SentRequest() const override;
  std::span<const uint8_t> ReceivedAnswer() const override;
  bool OutOfStep(ModbusFunction function, ResultCode rc) const override;
  bool Resynchronise() override;

 private:
  // A request has left and nothing of its answer was read yet: the answer cannot be there already, so
  // the next receive waits before it reads. Later parts of an answer mostly are there and are read first.
  bool answerAwaited_ = false;
};

}  // namespace varnetik
