#include "modbus/Frames.h"
