#include "modbus/ResultCode.h"
