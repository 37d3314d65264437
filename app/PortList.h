// Putting a port scan's result into PortCombo and choosing the port from it.
#pragma once

#include <string>
#include <vector>

class QComboBox;

namespace varnetik {

class RtuLink;

// Replaces the combo's list by the scanned names, in order.
void FillPortCombo(QComboBox& combo, const std::vector<std::string>& names);

// With at least one entry: select entry 0 and make it the link's port name. With none: clear the combo's
// text and keep the port name.
void ApplyPortList(QComboBox& combo, RtuLink& link);

}  // namespace varnetik
