// The report-style list view of a result table.
#pragma once

#include <windows.h>

#include <vector>

#include "operator/ControlId.h"
#include "operator/OperatorConsole.h"

namespace varnetik::win32 {

HWND CreateResultList(HWND parent, ControlId id);
void FillResultList(HWND list, const std::vector<ResultRow>& rows);  // replaces all rows

}  // namespace varnetik::win32
