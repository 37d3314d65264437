#include "operator/OperationTexts.h"

#include "modbus/Frames.h"
#include "operator/ResultMessages.h"

namespace varnetik {
namespace {

constexpr const char* kEnDash = " \u2013 ";
constexpr int64_t kItemsPerDetailLine = 6;

std::string FunctionTag(const char* function, bool overTcp) {
  return std::string(function) + (overTcp ? " (TCP)" : "");
}

// "0x0064 (100)": the form in which every log line shows an address.
std::string AddressText(uint16_t address) { return "0x" + Hex4(address) + " (" + Dec(address) + ")"; }

// Prefixes are appended to rather than inserted before: gcc 12 at -O3 misreads "$" + std::string&& as
// an overlapping copy (-Wrestrict) and fails the release build.
std::string Prefixed(const char* prefix, const std::string& text) { return std::string(prefix).append(text); }

// "$000A (10)": the form in which every log line shows a value.
std::string ValueText(uint16_t value) { return Prefixed("$", Hex4(value)) + " (" + Dec(value) + ")"; }

}  // namespace

std::string Hex4(uint16_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i) {
    text[static_cast<size_t>(i)] = kDigits[value & 0x0F];
    value = static_cast<uint16_t>(value >> 4);
  }
  return text;
}

std::string Dec(uint16_t value) { return std::to_string(value); }

bool IsBlankEntry(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string ReadOkLine(uint8_t functionCode, uint16_t count, uint16_t start) {
  std::string function = functionCode == kFcReadHolding ? "FC03" : "FC04";
  return "OK: " + function + kEnDash + Dec(count) + " Register ab " + AddressText(start);
}

std::string WriteOneOkLine(uint16_t address, uint16_t value, bool overTcp) {
  return "OK: " + FunctionTag("FC06", overTcp) + kEnDash + "Reg " + AddressText(address) +
         " := " + ValueText(value);
}

std::string WriteManyOkLine(int64_t count, uint16_t start, bool overTcp) {
  return "OK: " + FunctionTag("FC16", overTcp) + kEnDash + std::to_string(count) + " Register ab " +
         AddressText(start);
}

std::vector<std::string> WriteManyDetailLines(uint16_t start, const std::vector<uint16_t>& values,
                                              int64_t count) {
  std::vector<std::string> lines;
  std::string items;
  for (int64_t k = 0; k < count; ++k) {
    if (!items.empty()) items += ", ";
    auto address = static_cast<uint16_t>(start + k);
    items += AddressText(address) + " = " + ValueText(values[static_cast<size_t>(k)]);
    if ((k + 1) % kItemsPerDetailLine == 0 || k + 1 == count) {
      lines.push_back("    " + items);
      items.clear();
    }
  }
  return lines;
}

std::vector<ResultRow> ResultRows(uint16_t start, const std::vector<uint16_t>& values, int64_t count) {
  std::vector<ResultRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) {
    auto address = static_cast<uint16_t>(start + k);
    uint16_t value = values[static_cast<size_t>(k)];
    rows.push_back({Prefixed("0x", Hex4(address)), Dec(address), Prefixed("$", Hex4(value)), Dec(value)});
  }
  return rows;
}

std::string FailureLine(ResultCode code) { return "! " + ResultMessage(code); }

const char* OpenFailureReason(LinkOpenResult result) {
  switch (result) {
    case LinkOpenResult::NameNotFound: return "Host nicht gefunden.";
    case LinkOpenResult::TimedOut: return "Zeitüberschreitung beim Verbindungsaufbau.";
    case LinkOpenResult::RefusedOrUnreachable: return "Verbindung abgelehnt oder Ziel nicht erreichbar.";
    case LinkOpenResult::Opened:
    case LinkOpenResult::Failed: return nullptr;
  }
  return nullptr;
}

std::string ReasonLine(const char* reason) { return std::string("Grund: ").append(reason); }

}  // namespace varnetik
