#include "serial/LineSettings.h"

#include <iterator>

namespace varnetik {

namespace {

struct ParityChoice {
  int64_t parity;
  char letter;
};

// ParityCombo's entries in list order.
constexpr ParityChoice kParityChoices[] = {{kParityNone, 'N'}, {kParityEven, 'E'}, {kParityOdd, 'O'}};
constexpr int kParityChoiceCount = static_cast<int>(std::size(kParityChoices));

}  // namespace

std::optional<int64_t> ParityOfComboEntry(int entry) {
  if (entry < 0 || entry >= kParityChoiceCount) return std::nullopt;
  return kParityChoices[entry].parity;
}

int ComboEntryOfParity(int64_t parity) {
  for (int entry = 0; entry < kParityChoiceCount; ++entry) {
    if (kParityChoices[entry].parity == parity) return entry;
  }
  return -1;
}

char ParityLetter(int64_t parity) {
  const int entry = ComboEntryOfParity(parity);
  return entry < 0 ? 'O' : kParityChoices[entry].letter;
}

}  // namespace varnetik
