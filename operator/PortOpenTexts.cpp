#include "operator/PortOpenTexts.h"

#include "operator/OperationTexts.h"

namespace varnetik {

namespace {

// "picocom (PID 4711)", "einem anderen Programm (PID 4711)", or "einem anderen Programm".
std::string OtherProgram(const PortOpenResult& result) {
  const std::string name = result.otherProgram.empty() ? "einem anderen Programm" : result.otherProgram;
  if (result.otherPid == 0) return name;
  return name + " (PID " + std::to_string(result.otherPid) + ")";
}

}  // namespace

std::string PortRefusalLine(const PortOpenResult& result) {
  switch (result.refusal) {
    case PortRefusal::InUse: return ReasonLine(("belegt von " + OtherProgram(result)).c_str());
    case PortRefusal::Locked: return ReasonLine(("gesperrt von " + OtherProgram(result)).c_str());
    case PortRefusal::NoSuchDevice: return ReasonLine("Gerät nicht vorhanden");
    case PortRefusal::PermissionDenied: return ReasonLine("keine Berechtigung (Gruppe dialout?)");
    case PortRefusal::NotATerminal: return ReasonLine("keine serielle Schnittstelle");
    case PortRefusal::SettingsRefused: return ReasonLine("Einstellungen vom Treiber abgelehnt");
    case PortRefusal::None: break;
  }
  return ReasonLine("unbekannt");
}

std::vector<std::string> PortOpenNoteLines(const PortOpenResult& result) {
  std::vector<std::string> lines;
  if (result.withoutLockFile) {
    lines.push_back("Hinweis: keine Sperrdatei angelegt, andere Programme sehen den Port nicht als belegt.");
  }
  if (result.othersUnchecked) {
    lines.push_back("Hinweis: Programme anderer Benutzer konnten nicht geprüft werden.");
  }
  return lines;
}

}  // namespace varnetik
