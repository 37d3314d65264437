// The time stamp in front of every log line: "[hh:mm:ss] " in local time.
#pragma once

#include <QString>
#include <QTime>

namespace varnetik {

QString LogStamp(const QTime& localTime);
QString StampedLogLine(const QTime& localTime, const QString& text);

}  // namespace varnetik
