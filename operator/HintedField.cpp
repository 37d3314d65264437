#include "operator/HintedField.h"

#include "operator/OperationTexts.h"

namespace varnetik {

std::optional<ControlId> HintedField(ControlId source, const std::string& hint, const OperatorConsole& console) {
  const bool countRefused = hint == kReadCountHint;
  const bool valuesRefused = hint == kValuesMissingHint || hint == kValueCountHint;
  switch (source) {
    case ControlId::RtuReadButton:
      if (countRefused) return ControlId::RtuReadCountField;
      break;
    case ControlId::TcpReadButton:
      if (countRefused) return ControlId::TcpReadCountField;
      break;
    case ControlId::RtuWriteManyButton:
      if (valuesRefused) return ControlId::RtuWriteManyValuesField;
      break;
    case ControlId::TcpWriteManyButton:
      if (valuesRefused) return ControlId::TcpWriteManyValuesField;
      break;
    // The connect buttons' only hints are about their entries: the port name, or host and port.
    case ControlId::RtuConnectButton: return ControlId::PortCombo;
    case ControlId::TcpConnectButton:
      return console.ControlText(ControlId::TcpHostField).empty() ? ControlId::TcpHostField
                                                                  : ControlId::TcpPortField;
    default: break;
  }
  return std::nullopt;
}

}  // namespace varnetik
