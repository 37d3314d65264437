// Replaces a file's content so that a failure never leaves a half-written file in place of the old one:
// the bytes go to a new file in the target's folder, flushed to the disk, which then takes the target's
// place in one step (ReplaceFileW, which keeps the old file's attributes and security, or
// MoveFileExW with write-through). A link is followed and the file it names is replaced. File names stay
// UTF-16 throughout. Refused, with nothing changed: a folder, a device (CON, NUL, COM1, LPT1, ... with or
// without an extension, and anything in the device namespaces \\.\ and \\?\ other than drive, share and
// volume paths), a read-only file. Where the folder takes no new file but the existing file may be
// written, it is written in place.
#pragma once

#include <string>
#include <string_view>

#include "operator/CsvText.h"

namespace varnetik::win32 {

WriteOutcome WriteFileReplacing(const std::wstring& path, const std::string& bytes);

// True when the path names a device rather than a file.
bool NamesDevice(std::wstring_view path);

}  // namespace varnetik::win32
