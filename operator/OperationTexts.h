// Log lines, hints and table rows that the serial and the TCP operations share word for word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "modbus/ModbusLink.h"
#include "modbus/ResultCode.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

// The hints shown for entries out of range.
inline constexpr const char* kReadCountHint = "Anzahl muss 1..125 sein.";
inline constexpr const char* kValuesMissingHint = "Bitte Werte angeben (z. B. 10,20,30).";
inline constexpr const char* kValueCountHint = "Anzahl Werte muss 1..123 sein.";

// Exactly four upper-case hex digits with leading zeros: 10 -> "000A".
std::string Hex4(uint16_t value);
// Unsigned decimal without leading zeros.
std::string Dec(uint16_t value);

// True when the text is empty after removing spaces (not TABs) from both ends.
bool IsBlankEntry(std::string_view text);

// "OK: FC03 – 2 Register ab 0x0000 (0)"; the same on both links.
std::string ReadOkLine(uint8_t functionCode, uint16_t count, uint16_t start);
// "OK: FC06 – Reg 0x0010 (16) := $00FF (255)"; over TCP the function is followed by " (TCP)".
std::string WriteOneOkLine(uint16_t address, uint16_t value, bool overTcp);
// "OK: FC16 – 3 Register ab 0x0064 (100)"; over TCP the function is followed by " (TCP)".
std::string WriteManyOkLine(int64_t count, uint16_t start, bool overTcp);

// One line per six registers written, each "    " + items joined with ", ", an item being
// "0x0064 (100) = $000A (10)"; addresses wrap at 65536.
std::vector<std::string> WriteManyDetailLines(uint16_t start, const std::vector<uint16_t>& values,
                                              int64_t count);

// One table row per register k: address start + k (wrapping at 65536) and value k.
std::vector<ResultRow> ResultRows(uint16_t start, const std::vector<uint16_t>& values, int64_t count);

// "! " + the message of a failure.
std::string FailureLine(ResultCode code);

// Why a link could not be opened, as the log says it; nullptr where the link gave no reason.
const char* OpenFailureReason(LinkOpenResult result);
// "Grund: " + the reason, the line that follows a failed connect.
std::string ReasonLine(const char* reason);

}  // namespace varnetik
