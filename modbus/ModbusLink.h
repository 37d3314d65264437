// What the operations need of a link, whichever it is: open and close it, prepare one of the three
// requests, exchange it (again), show the bytes that went and came, and bring a stream back in step.
// The serial and the TCP link implement it; the operator's handlers are written once against it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "modbus/ResultCode.h"

namespace varnetik {

enum class ModbusFunction { Read, WriteOne, WriteMany };

// How an attempt to open a link ended. Failed gives no reason; the others are those a TCP connect tells
// apart. A refusal and an unreachable destination are one reason while the socket layer reports both as
// a connect that failed before its time limit.
enum class LinkOpenResult { Opened, Failed, NameNotFound, TimedOut, RefusedOrUnreachable };

class ModbusLink {
 public:
  virtual ~ModbusLink() = default;

  virtual bool IsOpen() const = 0;
  // The settings name something to open: a port name, or a host and a port in range.
  virtual bool HasDestination() const = 0;
  // The destination as the log shows it: "COM3", "127.0.0.1:502".
  virtual std::string Destination() const = 0;
  // Replaces whatever is open by a new port or connection to the destination.
  virtual LinkOpenResult Open() = 0;
  virtual void Close() = 0;

  // Build a request for slaveId; the next Exchange sends it. Quantities are those the entry checks let
  // through (read 1..125, write many 1..123 values held in values).
  virtual void PrepareRead(uint8_t slaveId, uint8_t functionCode, uint16_t start, uint16_t quantity) = 0;
  virtual void PrepareWriteOne(uint8_t slaveId, uint16_t address, uint16_t value) = 0;
  virtual void PrepareWriteMany(uint8_t slaveId, uint16_t start, const std::vector<uint16_t>& values,
                                int64_t count) = 0;
  // Sends the prepared request and judges the answer; may run again for the same request. A read leaves
  // its values in registers.
  virtual ResultCode Exchange(std::vector<uint16_t>& registers) = 0;

  // Labels of the request and answer dumps, and their bytes: the request as last sent, the answer of a
  // successful exchange.
  virtual const char* RequestLabel() const = 0;
  virtual const char* AnswerLabel() const = 0;
  virtual std::span<const uint8_t> SentRequest() const = 0;
  virtual std::span<const uint8_t> ReceivedAnswer() const = 0;
  // True when the prepared bytes are the very bytes sent, so they can be shown before the first
  // exchange; false when the exchange still adds to them (the TCP header's transaction id).
  virtual bool RequestFinalWhenPrepared() const = 0;

  // True when rc of function shows the stream out of step with the peer, which earns one recovery.
  virtual bool OutOfStep(ModbusFunction function, ResultCode rc) const = 0;
  // Brings the stream back in step; true when the request may then be exchanged once more.
  virtual bool Resynchronise() = 0;
};

}  // namespace varnetik
