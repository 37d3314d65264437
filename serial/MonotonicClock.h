// The shared clock, for the serial files that include it by this path; it lives in modbus/MonotonicClock.h.
#pragma once

#include "modbus/MonotonicClock.h"
