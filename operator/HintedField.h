// Which entry a hint box refused, so that the focus can go back to it once the box is closed.
#pragma once

#include <optional>
#include <string>

#include "operator/OperatorConsole.h"

namespace varnetik {

// The field whose entry the hint refuses, for the handler of the button `source`; empty when the hint is
// about no entry (a link that is not open).
std::optional<ControlId> HintedField(ControlId source, const std::string& hint, const OperatorConsole& console);

}  // namespace varnetik
