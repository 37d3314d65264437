#include "modbus/OperationTexts.h"
