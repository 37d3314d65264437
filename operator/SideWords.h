// The control ids and the words of the two sides of the window, each next to its twin on the other side.
#pragma once

#include "operator/LinkSide.h"

namespace varnetik {

enum class WindowSide { Serial, Tcp };

const OperationControls& ControlsOf(WindowSide side);
const LinkTexts& TextsOf(WindowSide side);

}  // namespace varnetik
