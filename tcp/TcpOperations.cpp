#include "tcp/TcpOperations.h"
