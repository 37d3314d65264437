// varnetik-slave: a Modbus slave simulator with fault injection, for trying a master before the real
// device is there and for seeing how it copes with one that misbehaves.
#include <cstdio>
#include <string>
#include <vector>

#include "slave/SlaveOptions.h"
#include "slave/SlaveProgram.h"

int main(int argc, char** argv) {
  using namespace varnetik::slave;
  SlaveOptions options;
  std::string error;
  if (!ParseSlaveOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "varnetik-slave: %s\nTry 'varnetik-slave --help' for the options.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(SlaveHelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", SlaveVersionText().c_str());
    return 0;
  }
  for (const std::string& warning : options.warnings) std::fprintf(stderr, "varnetik-slave: warning: %s\n", warning.c_str());
  return RunSlave(options);
}
