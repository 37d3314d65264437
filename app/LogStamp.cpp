#include "app/LogStamp.h"

namespace varnetik {

QString LogStamp(const QTime& localTime) {
  return QStringLiteral("[%1:%2:%3] ")
      .arg(localTime.hour(), 2, 10, QLatin1Char('0'))
      .arg(localTime.minute(), 2, 10, QLatin1Char('0'))
      .arg(localTime.second(), 2, 10, QLatin1Char('0'));
}

QString StampedLogLine(const QTime& localTime, const QString& text) { return LogStamp(localTime) + text; }

}  // namespace varnetik
