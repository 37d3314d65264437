// The serial link record: its settings, its port operations and the exchange primitive.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "modbus/Frames.h"
#include "modbus/ModbusLink.h"
#include "modbus/PreparedRequests.h"
#include "modbus/RtuTransactions.h"
#include "serial/LineSettings.h"
#include "serial/SerialPort.h"

namespace varnetik {

// The serial link as a backend of the operations: its transactions and the labels of its dumps.
extern const LinkBackend<RtuTransactionContext, RtuRequest> kRtuBackend;

// The port closes with the link.
class RtuLink : public RtuExchanger, public PreparedRequests<RtuLink, RtuTransactionContext, RtuRequest> {
 public:
  RtuLink() : PreparedRequests(kRtuBackend) {}

  SerialPort serialPort;  // closed while no port is open
  std::string portName = "COM3";
  int64_t baudRate = 9600;
  int64_t parity = kParityNone;
  int64_t dataBits = 8;
  float stopBits = 1.0f;
  int64_t handshake = 0;
  int64_t readIntervalTimeoutMs = 30;
  int64_t rxTimeoutMs = 800;
  int64_t readTotalTimeoutMultiplierMs = 10;
  int64_t writeTotalTimeoutConstantMs = 200;
  int64_t writeTotalTimeoutMultiplierMs = 10;
  RtuTxFrame txFrame{};
  RtuRxFrame rxFrame{};
  SystemPaths systemPaths;  // where an open looks for other programs and their locks

  bool IsOpen() const override { return serialPort.IsOpen(); }

  // The stored settings in the port's terms; they reach the port at the next open.
  LineSettings Line() const;
  // The stored timeouts, with rxTimeoutMs as the read total constant.
  PortTimeouts Timeouts() const;

  // Closes any open port, opens portName with the stored settings, applies the timeouts, flushes. That
  // other users' programs could not be checked is told at the first open that meets it, not at every
  // one: nothing the operator does changes it during a run.
  PortOpenResult RtuOpenPort();
  void RtuClosePort();
  // Drops the bytes already waiting; never pauses.
  void RtuFlushRx();
  RtuExchangeResult RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) override;

  RtuTransactionContext TransactionContext(uint8_t slaveId) {
    return RtuTransactionContext{*this, txFrame, rxFrame, slaveId, rxTimeoutMs};
  }

  // The link as the operations see it (RtuModbusLink.cpp).
  bool HasDestination() const override { return !portName.empty(); }
  std::string Destination() const override { return portName; }
  LinkOpenResult Open() override;
  void Close() override { RtuClosePort(); }
  std::span<const uint8_t> SentRequest() const override;
  std::span<const uint8_t> ReceivedAnswer() const override;
  bool OutOfStep(ModbusFunction function, ResultCode rc) const override;
  bool Resynchronise() override;
  // How the last Open went, with the reason of a refusal and the notes of an open that went through.
  const PortOpenResult& LastOpenResult() const { return lastOpen_; }

 private:
  bool uncheckedUsersTold_ = false;
  PortOpenResult lastOpen_;
};

}  // namespace varnetik
