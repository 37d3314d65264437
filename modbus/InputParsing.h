// Readers of the operator's typed numbers and value lists. They never refuse: unreadable text is 0 and
// large numbers wrap; the operations make the range checks.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace varnetik {

// Blanks/TABs, a sign, then "$" hex, "%" binary or decimal digits; 64-bit wrap-around.
int64_t TextToInteger(std::string_view text);

// Trims blanks (not TABs), maps a leading "0x"/"0X" to "$", keeps the low 16 bits.
uint16_t ParseNumber(std::string_view text);

// Replaces values by S zero entries (S = blanks after separator mapping + 1), stores the values found
// in order from entry 0, and returns how many were found.
int64_t ParseValueList(std::string_view text, std::vector<uint16_t>& values);

}  // namespace varnetik
