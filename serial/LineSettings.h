// The settings of a serial line in this program's own terms, free of any platform's types, and how the
// window's parity list maps onto them.
#pragma once

#include <cstdint>
#include <optional>

namespace varnetik {

// The parity codes the link stores: the values serial drivers commonly use, not list positions.
inline constexpr int64_t kParityNone = 0;
inline constexpr int64_t kParityOdd = 1;
inline constexpr int64_t kParityEven = 2;

struct LineSettings {
  int64_t baudRate = 9600;
  int64_t parity = kParityNone;
  int64_t dataBits = 8;
  float stopBits = 1.0f;  // 1.0 or 2.0
  int64_t handshake = 0;  // 0: no flow control
};

// The parity code of a ParityCombo entry (None, Even, Odd); none for any other entry.
std::optional<int64_t> ParityOfComboEntry(int entry);

// The ParityCombo entry that shows parity; -1 (nothing selected) for a code the list does not offer.
int ComboEntryOfParity(int64_t parity);

// The letter the status text shows: N, E, and O for every other code.
char ParityLetter(int64_t parity);

}  // namespace varnetik
