#include "modbus/TcpTransactions.h"
