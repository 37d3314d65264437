// Replaces a file's content so that a failure never leaves a half-written file in place of the old one:
// the bytes go to a new file beside the target, which takes the target's name only once every byte is
// written. A link is followed and the file it names is written (created if missing); the link stays. The
// replacement keeps the old file's mode (and its owner where we may set it). An existing file we may not
// write is refused and left as it is. The file is written in place where nothing else works: when the
// directory takes no new file, when it refuses the rename (another user's file in a sticky directory such
// as /tmp), and always for a target that is not a regular file (a device, a pipe).
#pragma once

#include <string>

#include "operator/WriteOutcome.h"

namespace varnetik {

WriteOutcome WriteFileReplacing(const std::string& path, const std::string& bytes);

}  // namespace varnetik
