// The records live with the operator side, shared by the Qt and the Win32 window.
#pragma once

#include "operator/AppState.h"
