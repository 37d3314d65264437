// The program-wide records that live for the whole run. Their start-up values are the members' defaults.
#pragma once

#include <cstdint>

#include "serial/RtuLink.h"
#include "tcp/TcpLink.h"

namespace varnetik {

struct AppState {
  RtuLink rtu;
  TcpLink tcp;
  // Address byte of every RTU frame and unit id of every TCP request; refreshed from SlaveIdSpin only
  // when the serial settings are read.
  uint8_t slaveId = 1;
};

}  // namespace varnetik
