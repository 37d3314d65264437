#include "slave/SlaveLog.h"

#include <chrono>
#include <ctime>

namespace varnetik::slave {

namespace {

// The calendar fields of seconds in local time. The thread-safe forms differ: localtime_s on Windows
// (with its arguments the other way round), localtime_r on POSIX.
std::tm LocalTime(std::time_t seconds) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return local;
}

// "14:03:07.125" in local time.
std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::tm local = LocalTime(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}

}  // namespace

std::string HexDump(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

void SlaveLog::Received(const std::string& link, const Bytes& frame, const std::string& note) {
  Line(link, "RX " + HexDump(frame) + (note.empty() ? "" : "  (" + note + ")"));
}

void SlaveLog::Answered(const std::string& link, const Bytes& bytes, const std::string& fault) {
  const std::string what = bytes.empty() ? "-- no answer" : "TX " + HexDump(bytes);
  Line(link, what + (fault.empty() ? "" : "  [fault " + fault + "]"));
}

void SlaveLog::Event(const std::string& link, const std::string& what) { Line(link, what); }

void SlaveLog::Line(const std::string& link, const std::string& text) {
  std::fprintf(out_, "%s %-6s %s\n", TimeStamp().c_str(), link.c_str(), text.c_str());
  std::fflush(out_);
}

}  // namespace varnetik::slave
