#include "serial/PortUsers.h"

namespace varnetik {

// Windows refuses a second opener of a COM port by itself (the port is opened with share mode 0), so
// other processes' handles need no looking at.
PortUsers PortUsers::Gather(const std::string& /*procRoot*/) { return PortUsers(); }

}  // namespace varnetik
