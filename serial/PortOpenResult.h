// What became of an attempt to open a serial port: why it was refused, or what an open that went through
// could not make sure of. No words for anybody here: the window says it in German, the slave in English.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace varnetik {

enum class PortRefusal {
  None,              // the port is open
  InUse,             // another program has the device open
  Locked,            // a running program holds a lock file of the port
  NoSuchDevice,      // nothing under that name, or no hardware behind it
  PermissionDenied,  // the device may not be opened by this user
  NotATerminal,      // not a serial line: a file, another device, a console or terminal alias, a pty master
  SettingsRefused,   // the line settings have no form here, or the driver did not take them
};

struct PortOpenResult {
  PortRefusal refusal = PortRefusal::None;
  // For InUse and Locked: the other program's process id (0 where nobody could be named) and the name
  // it runs under (empty where unknown).
  int64_t otherPid = 0;
  std::string otherProgram;
  // Only for an open port. No lock file could be written, so programs that go by lock files alone do
  // not see the port as taken.
  bool withoutLockFile = false;
  // Some processes' descriptors could not be read (other users' programs, for an ordinary user): one of
  // them may have the port open without lock file or exclusive flag, and nothing here could tell.
  bool othersUnchecked = false;

  explicit operator bool() const { return refusal == PortRefusal::None; }

  static PortOpenResult Refused(PortRefusal refusal, int64_t otherPid = 0, std::string otherProgram = {}) {
    PortOpenResult result;
    result.refusal = refusal;
    result.otherPid = otherPid;
    result.otherProgram = std::move(otherProgram);
    return result;
  }
};

}  // namespace varnetik
