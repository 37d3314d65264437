// Fixed ids of the main window's controls and their names. The window names each widget after its
// enumerator, and the tests find the widgets by that name.
#pragma once

#include <string_view>

namespace varnetik {

// The one list of controls: X(name, id) per control. The enum and ControlIdName are both made from it,
// so an id cannot get a name that differs from its enumerator.
#define VARNETIK_CONTROL_IDS(X)    \
  X(PortCombo, 1000)               \
  X(BaudCombo, 1001)               \
  X(ParityCombo, 1002)             \
  X(DataBitsCombo, 1003)           \
  X(StopBitsCombo, 1004)           \
  X(SlaveIdSpin, 1005)             \
  X(RtuTimeoutSpin, 1006)          \
  X(ScanButton, 1007)              \
  X(RtuConnectButton, 1008)        \
  X(RtuDisconnectButton, 1009)     \
  X(OperationTabs, 1011)           \
  X(RtuReadTypeCombo, 1012)        \
  X(RtuReadStartField, 1013)       \
  X(RtuReadCountField, 1014)       \
  X(RtuReadButton, 1015)           \
  X(RtuResultTable, 1016)          \
  X(RtuWriteAddressField, 1017)    \
  X(RtuWriteValueField, 1018)      \
  X(RtuWriteOneButton, 1019)       \
  X(RtuWriteManyStartField, 1020)  \
  X(RtuWriteManyValuesField, 1021) \
  X(RtuWriteManyButton, 1022)      \
  X(LogList, 1023)                 \
  X(LogoPicture, 1024)             \
  X(ClearLogButton, 1026)          \
  X(TcpHostField, 1027)            \
  X(TcpPortField, 1028)            \
  X(TcpTimeoutSpin, 1029)          \
  X(TcpConnectButton, 1030)        \
  X(TcpDisconnectButton, 1031)     \
  X(TcpReadTypeCombo, 1032)        \
  X(TcpReadStartField, 1033)       \
  X(TcpReadCountField, 1034)       \
  X(TcpReadButton, 1035)           \
  X(TcpResultTable, 1036)          \
  X(TcpWriteAddressField, 1037)    \
  X(TcpWriteValueField, 1038)      \
  X(TcpWriteOneButton, 1039)       \
  X(TcpWriteManyStartField, 1040)  \
  X(TcpWriteManyValuesField, 1041) \
  X(TcpWriteManyButton, 1042)

enum class ControlId : int {
#define VARNETIK_CONTROL_ENUMERATOR(name, value) name = value,
  VARNETIK_CONTROL_IDS(VARNETIK_CONTROL_ENUMERATOR)
#undef VARNETIK_CONTROL_ENUMERATOR
};

// The enumerator's name, e.g. "PortCombo"; empty for a value that is not in the list.
constexpr std::string_view ControlIdName(ControlId id) {
  switch (id) {
#define VARNETIK_CONTROL_NAME_CASE(name, value) \
  case ControlId::name:                         \
    return #name;
    VARNETIK_CONTROL_IDS(VARNETIK_CONTROL_NAME_CASE)
#undef VARNETIK_CONTROL_NAME_CASE
  }
  return {};
}

}  // namespace varnetik
