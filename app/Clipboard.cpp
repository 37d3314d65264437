#include "app/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace varnetik {

void SetClipboardText(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  // Without a clipboard nothing happens and nothing is reported.
  if (clipboard != nullptr) clipboard->setText(text, QClipboard::Clipboard);
}

}  // namespace varnetik
