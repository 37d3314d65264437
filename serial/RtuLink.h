// The serial link record, its port operations, the exchange primitive and the two port buttons.
#pragma once

#include <cstdint>
#include <string>

#include "modbus/Frames.h"
#include "modbus/RtuTransactions.h"
#include "operator/OperatorConsole.h"
#include "serial/LineSettings.h"
#include "serial/SerialPort.h"

namespace varnetik {

// The port closes with the link.
class RtuLink : public RtuExchanger {
 public:
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

  bool IsOpen() const { return serialPort.IsOpen(); }

  // The stored settings in the port's terms; they reach the port at the next open.
  LineSettings Line() const;
  // The stored timeouts, with rxTimeoutMs as the read total constant.
  PortTimeouts Timeouts() const;

  // Closes any open port, opens portName with the stored settings, applies the timeouts, flushes.
  bool RtuOpenPort();
  void RtuClosePort();
  // Drops the bytes already waiting; never pauses.
  void RtuFlushRx();
  RtuExchangeResult RtuExchange(const uint8_t* request, int64_t requestLength, int64_t expectedLength,
                                uint8_t* response, int64_t responseCapacity, int64_t timeoutMs) override;

  RtuTransactionContext TransactionContext(uint8_t slaveId) {
    return RtuTransactionContext{*this, txFrame, rxFrame, slaveId, rxTimeoutMs};
  }
};

// Copies the serial row, SlaveIdSpin and RtuTimeoutSpin into the link and slaveId; re-applies the
// timeouts to an open port.
void RtuReadSettings(RtuLink& link, uint8_t& slaveId, const OperatorConsole& console);

// "Verbinden" and "Trennen".
void RtuConnectClicked(RtuLink& link, uint8_t& slaveId, OperatorConsole& console);
void RtuDisconnectClicked(RtuLink& link, OperatorConsole& console);

// Status-bar field 0: "RTU: getrennt" or "RTU: verbunden (COM3 @ 9600 8N1)".
std::string RtuStatusText(const RtuLink& link);

}  // namespace varnetik
