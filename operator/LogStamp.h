// The time stamp in front of every log line: "[hh:mm:ss] " in local time.
#pragma once

#include <string>

namespace varnetik {

std::string LogStamp(int hour, int minute, int second);

}  // namespace varnetik
