// A link that waits on the line, for a connect or between the ports of a scan lets the program do a little
// of its own work meanwhile: the window keeps painting instead of looking hung. The links stay free of any
// toolkit; they only ask how long one wait may block and call the hook between two such waits.
// Rule for every wait: with no hook set, wait once for the whole remaining time; with a hook set, wait in
// slices of at most kWaitSliceMs and call the hook after each.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace varnetik {

// Short enough that a window served this often still feels alive, long enough to cost next to nothing.
inline constexpr int64_t kWaitSliceMs = 20;

using WaitHook = std::function<void()>;

inline WaitHook& CurrentWaitHook() {
  static WaitHook hook;
  return hook;
}

// An empty hook removes it. Only the program's one thread sets and calls it.
inline void SetWaitHook(WaitHook hook) { CurrentWaitHook() = std::move(hook); }

// How long the next wait may block, given what is left of the time limit.
inline int64_t WaitSliceMs(int64_t remainingMs) {
  return CurrentWaitHook() ? std::min(remainingMs, kWaitSliceMs) : remainingMs;
}

// Calls the hook; false when none is set.
inline bool ServeWaitHook() {
  if (!CurrentWaitHook()) return false;
  CurrentWaitHook()();
  return true;
}

}  // namespace varnetik
