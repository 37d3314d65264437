#include "serial/PortScan.h"

#include <cctype>

#include "modbus/WaitHook.h"
#include "serial/SerialPort.h"
#ifdef _WIN32
#include "serial/PortProbeWin32.h"
#endif

namespace varnetik {

namespace {

constexpr LineSettings kProbeLine{9600, kParityNone, 8, 1.0f, 0};
constexpr int64_t kProbeQueueSize = 64;

std::vector<std::string> BuildDefaultCandidates() {
  std::vector<std::string> names;
#ifdef _WIN32
  for (int i = 1; i <= 64; ++i) names.push_back("COM" + std::to_string(i));
#else
  // USB adapters first: an RS-485 dongle appears there, and the first entry becomes the selection.
  for (int i = 0; i < 16; ++i) names.push_back("/dev/ttyUSB" + std::to_string(i));
  for (int i = 0; i < 16; ++i) names.push_back("/dev/ttyACM" + std::to_string(i));
  for (int i = 0; i < 32; ++i) names.push_back("/dev/ttyS" + std::to_string(i));
#endif
  return names;
}

bool IsPortListed(const std::vector<std::string>& list, const std::string& name) {
  const std::string wanted = NormalizePortName(name);
  for (const std::string& entry : list) {
    if (NormalizePortName(entry) == wanted) return true;
  }
  return false;
}

// Appends name when it opens exclusively and takes the probe settings; the port is put back as it was
// and closed again at once.
int ProbePort(std::vector<std::string>& list, const std::string& name, const PortClaimRules& rules) {
  if (IsPortListed(list, name)) return 0;
#ifdef _WIN32
  // Windows skips absent and Bluetooth ports and puts the port's settings back before it closes.
  (void)rules;
  if (!ProbeComPort(name, kProbeLine, kProbeQueueSize)) return 0;
#else
  if (!SerialPort().Open(name, kProbeLine, kProbeQueueSize, kProbeQueueSize, rules)) return 0;
#endif
  list.push_back(name);
  return 1;
}

}  // namespace

const std::vector<std::string>& DefaultPortCandidates() {
  static const std::vector<std::string> candidates = BuildDefaultCandidates();
  return candidates;
}

std::string NormalizePortName(const std::string& name) {
  size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = name.find_last_not_of(' ');
  std::string normalized = name.substr(first, last - first + 1);
  for (char& c : normalized) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return normalized;
}

std::vector<std::string> ScanPorts(const RtuLink& link, OperatorConsole& console,
                                   const std::vector<std::string>& candidates, const PortClaimRules& rules) {
  std::vector<std::string> list;
  int added = 0;
  // The port held by this program cannot be probed (it is in exclusive use), so it is listed as stored.
  if (link.IsOpen() && !link.portName.empty()) {
    list.push_back(link.portName);
    added = 1;
  }
  // Which ports other programs hold was read once for all candidates.
  PortClaimRules probeRules = rules;
  probeRules.purpose = PortClaimRules::Purpose::Probe;
  for (const std::string& candidate : candidates) {
    added += ProbePort(list, candidate, probeRules);
    ServeWaitHook();
  }
  if (added == 0) {
    console.LogLine("Keine verfügbaren Ports gefunden.");
  } else {
    console.LogLine("Gefundene COM Ports: " + std::to_string(list.size()));
  }
  return list;
}

}  // namespace varnetik
