#include "app/LogStamp.h"

#include "operator/LogStamp.h"

namespace varnetik {

QString LogStamp(const QTime& localTime) {
  return QString::fromStdString(LogStamp(localTime.hour(), localTime.minute(), localTime.second()));
}

QString StampedLogLine(const QTime& localTime, const QString& text) { return LogStamp(localTime) + text; }

}  // namespace varnetik
