// How writing a file the operator asked for ended, whichever system wrote it.
#pragma once

namespace varnetik {

enum class WriteOutcome {
  Written,       // every byte is in the file at path
  CannotCreate,  // neither a new file nor the existing one could be opened; nothing was changed
  WriteFailed,   // opened, but not every byte could be written
};

}  // namespace varnetik
