#include "modbus/RtuTransactions.h"
