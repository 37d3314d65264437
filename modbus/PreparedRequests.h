// The half of ModbusLink that both links share word for word: keep one prepared request with the
// function and slave id it was made for, run it through the link's own transactions, and name its
// dumps. A link describes itself in a backend table and gives its transaction context.
#pragma once

#include <cstdint>
#include <vector>

#include "modbus/ModbusLink.h"

namespace varnetik {

template <class Context, class Request>
struct LinkBackend {
  Request (*prepareRead)(const Context&, uint8_t functionCode, uint16_t start, uint16_t quantity);
  Request (*prepareWriteOne)(const Context&, uint16_t address, uint16_t value);
  Request (*prepareWriteMany)(const Context&, uint16_t start, const std::vector<uint16_t>& values,
                              int64_t count);
  ResultCode (*read)(const Context&, const Request&, std::vector<uint16_t>& registers);
  ResultCode (*writeOne)(const Context&, const Request&);
  ResultCode (*writeMany)(const Context&, const Request&);
  const char* requestLabel;
  const char* answerLabel;
  bool requestFinalWhenPrepared;  // see ModbusLink::RequestFinalWhenPrepared
};

// Link is the class that derives from this one and offers TransactionContext(slaveId).
template <class Link, class Context, class Request>
class PreparedRequests : public ModbusLink {
 public:
  explicit PreparedRequests(const LinkBackend<Context, Request>& table) : table_(table) {}

  void PrepareRead(uint8_t slaveId, uint8_t functionCode, uint16_t start, uint16_t quantity) final {
    Remember(ModbusFunction::Read, slaveId);
    prepared_ = table_.prepareRead(ContextFor(slaveId), functionCode, start, quantity);
  }
  void PrepareWriteOne(uint8_t slaveId, uint16_t address, uint16_t value) final {
    Remember(ModbusFunction::WriteOne, slaveId);
    prepared_ = table_.prepareWriteOne(ContextFor(slaveId), address, value);
  }
  void PrepareWriteMany(uint8_t slaveId, uint16_t start, const std::vector<uint16_t>& values,
                        int64_t count) final {
    Remember(ModbusFunction::WriteMany, slaveId);
    prepared_ = table_.prepareWriteMany(ContextFor(slaveId), start, values, count);
  }
  ResultCode Exchange(std::vector<uint16_t>& registers) final {
    const Context context = ContextFor(slaveId_);
    switch (function_) {
      case ModbusFunction::Read: return table_.read(context, prepared_, registers);
      case ModbusFunction::WriteOne: return table_.writeOne(context, prepared_);
      case ModbusFunction::WriteMany: break;
    }
    return table_.writeMany(context, prepared_);
  }
  const char* RequestLabel() const final { return table_.requestLabel; }
  const char* AnswerLabel() const final { return table_.answerLabel; }
  bool RequestFinalWhenPrepared() const final { return table_.requestFinalWhenPrepared; }

 protected:
  const Request& Prepared() const { return prepared_; }

 private:
  void Remember(ModbusFunction function, uint8_t slaveId) {
    function_ = function;
    slaveId_ = slaveId;
  }
  Context ContextFor(uint8_t slaveId) { return static_cast<Link&>(*this).TransactionContext(slaveId); }

  const LinkBackend<Context, Request>& table_;
  ModbusFunction function_ = ModbusFunction::Read;
  uint8_t slaveId_ = 1;
  Request prepared_{};
};

}  // namespace varnetik
