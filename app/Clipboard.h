// Puts one Unicode text on the clipboard, replacing what was there.
#pragma once

#include <QString>

namespace varnetik {

void SetClipboardText(const QString& text);

}  // namespace varnetik
