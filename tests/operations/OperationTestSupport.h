// Small helpers shared by the operation tests: hex texts written independently of the program's dump
// code, elapsed time, and the expected form of log and box events.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/CaseNames.h"
#include "tests/support/SlaveFrames.h"

namespace varnetik::testing {

inline std::string Hex(const Bytes& bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
    text += digits;
  }
  return text;
}

inline std::string Dump(const std::string& label, const Bytes& bytes) {
  return "log: " + label + " (" + std::to_string(bytes.size()) + " B): " + Hex(bytes);
}

inline std::string Log(const std::string& text) { return "log: " + text; }
inline std::string Box(const std::string& title, const std::string& text) {
  return "box: " + title + " / " + text;
}

// The hints both links show for refused entries, written out here rather than taken from the program.
inline constexpr const char* kCountHint = "Anzahl muss 1..125 sein.";
inline constexpr const char* kMissingHint = "Bitte Werte angeben (z. B. 10,20,30).";
inline constexpr const char* kValueCountHint = "Anzahl Werte muss 1..123 sein.";

inline uint16_t TransactionIdOf(const Bytes& adu) { return static_cast<uint16_t>(adu[0] << 8 | adu[1]); }

// "1,2,...,n" as typed into a value list field, values starting at first.
inline std::string ValueList(int count, int first = 1) {
  std::string text;
  for (int k = 0; k < count; ++k) text += (k ? "," : "") + std::to_string(first + k);
  return text;
}

// One value more than a write of several registers takes.
inline const std::string k124Values = ValueList(124);

// Time for bytes that would have been sent to reach the slave's thread.
inline void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

class Stopwatch {
 public:
  int64_t ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace varnetik::testing
