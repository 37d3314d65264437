#include "tests/soak/ProcessGauge.h"

#include <dirent.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace varnetik::testing {

int64_t OpenFileDescriptors() {
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) return -1;
  int64_t count = 0;
  while (dirent* entry = readdir(directory)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(directory);
  return count - 1;
}

int64_t ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      int64_t kiB = -1;
      status >> kiB;
      return kiB;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

ProcessGauge MeasureProcess() {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return {OpenFileDescriptors(), ResidentKiB()};
}

}  // namespace varnetik::testing
