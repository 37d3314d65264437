// Replaces a file's content so that a failure never leaves a half-written file in place of the old one:
// the bytes go to a new file beside the target, which takes the target's name only once every byte is
// written. Where the directory takes no new file, the existing file is written in place as the only way
// left; a target that is not a regular file (a device, a pipe) is always written in place.
#pragma once

#include <string>

namespace varnetik {

enum class WriteOutcome {
  Written,       // every byte is in the file at path
  CannotCreate,  // neither a new file nor the existing one could be opened; nothing was changed
  WriteFailed,   // opened, but not every byte could be written
};

WriteOutcome WriteFileReplacing(const std::string& path, const std::string& bytes);

}  // namespace varnetik
