#include "modbus/InputParsing.h"
