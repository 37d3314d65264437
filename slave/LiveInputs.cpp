#include "slave/LiveInputs.h"

namespace varnetik::slave {

void RefreshLiveInputs(RegisterMap& registers, int64_t msSinceStart) {
  registers.input[kCounterRegister] = static_cast<uint16_t>(msSinceStart / 1000);
  registers.input[kRampRegister] = static_cast<uint16_t>(msSinceStart / 100 % 100);
}

}  // namespace varnetik::slave
