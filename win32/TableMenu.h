// The context menu of a result table.
#pragma once

#include <windows.h>

#include <optional>

#include "operator/OperatorConsole.h"

namespace varnetik::win32 {

void RunTableMenu(HWND owner, HWND list, std::optional<POINT> screenPoint, OperatorConsole& console);

}  // namespace varnetik::win32
