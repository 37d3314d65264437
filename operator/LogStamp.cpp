#include "operator/LogStamp.h"

#include <cstdio>

namespace varnetik {

std::string LogStamp(int hour, int minute, int second) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d] ", hour % 100, minute % 100, second % 100);
  return stamp;
}

}  // namespace varnetik
