#include "operator/PortOpenTexts.h"

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
  const std::string prefix = "Grund: ";
  switch (result.refusal) {
    case PortRefusal::InUse: return prefix + "belegt von " + OtherProgram(result);
    case PortRefusal::Locked: return prefix + "gesperrt von " + OtherProgram(result);
    case PortRefusal::NoSuchDevice: return prefix + "Gerät nicht vorhanden";
    case PortRefusal::PermissionDenied: return prefix + "keine Berechtigung (Gruppe dialout?)";
    case PortRefusal::NotATerminal: return prefix + "keine serielle Schnittstelle";
    case PortRefusal::SettingsRefused: return prefix + "Einstellungen vom Treiber abgelehnt";
    case PortRefusal::None: break;
  }
  return prefix + "unbekannt";
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
