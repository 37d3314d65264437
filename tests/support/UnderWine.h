// Whether this Windows program runs under Wine, which differs from Windows in a few places the tests
// reach (named where they skip).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace varnetik::testing {

inline bool RunsUnderWine() {
#ifdef _WIN32
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace varnetik::testing
