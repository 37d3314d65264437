#include "serial/RtuOperations.h"
