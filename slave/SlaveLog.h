// The line per request, answer and connection that varnetik-slave prints: time, link, direction, the
// bytes in hexadecimal and what was done about them.
#pragma once

#include <cstdio>
#include <string>

#include "slave/SlaveServer.h"

namespace varnetik::slave {

class SlaveLog : public SlaveObserver {
 public:
  explicit SlaveLog(std::FILE* out) : out_(out) {}

  void Received(const std::string& link, const Bytes& frame, const std::string& note) override;
  void Answered(const std::string& link, const Bytes& bytes, const std::string& fault) override;
  void Event(const std::string& link, const std::string& what) override;

 private:
  void Line(const std::string& link, const std::string& text);

  std::FILE* out_;
};

// "01 03 00 00", upper-case digits.
std::string HexDump(const Bytes& bytes);

}  // namespace varnetik::slave
