// Input registers that change by themselves, so that a reading shows the slave is alive.
#pragma once

#include <cstdint>

#include "slave/SlaveFrames.h"

namespace varnetik::slave {

// Seconds since the start, wrapping at 65536.
inline constexpr uint16_t kCounterRegister = 0;
// 0 to 99 and again, one step every 100 ms.
inline constexpr uint16_t kRampRegister = 1;

void RefreshLiveInputs(RegisterMap& registers, int64_t msSinceStart);

}  // namespace varnetik::slave
