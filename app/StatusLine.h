// The status bar's two fields: the serial link (380 wide) and the TCP link (the rest).
#pragma once

#include <QString>

#include "operator/WindowGeometry.h"  // kSerialStatusWidth

class QLabel;
class QStatusBar;

namespace varnetik {

class StatusLine {
 public:
  // Adds the two fields to the bar.
  explicit StatusLine(QStatusBar* bar);

  void Show(const QString& serialText, const QString& tcpText);
  QString Field(int index) const;
  QLabel* FieldLabel(int index) const;

 private:
  QLabel* fields_[2];
};

}  // namespace varnetik
