// The one narrow way in which the link handlers and operations speak to the operator. The main window
// implements it; tests replace it with a recording fake. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik {

// Fixed ids of the main window's controls. The window names each widget after its enumerator.
enum class ControlId : int {
  PortCombo = 1000,
  BaudCombo = 1001,
  ParityCombo = 1002,
  DataBitsCombo = 1003,
  StopBitsCombo = 1004,
  SlaveIdSpin = 1005,
  RtuTimeoutSpin = 1006,
  ScanButton = 1007,
  RtuConnectButton = 1008,
  RtuDisconnectButton = 1009,
  OperationTabs = 1011,
  RtuReadTypeCombo = 1012,
  RtuReadStartField = 1013,
  RtuReadCountField = 1014,
  RtuReadButton = 1015,
  RtuResultTable = 1016,
  RtuWriteAddressField = 1017,
  RtuWriteValueField = 1018,
  RtuWriteOneButton = 1019,
  RtuWriteManyStartField = 1020,
  RtuWriteManyValuesField = 1021,
  RtuWriteManyButton = 1022,
  LogList = 1023,
  LogoPicture = 1024,
  ClearLogButton = 1026,
  TcpHostField = 1027,
  TcpPortField = 1028,
  TcpTimeoutSpin = 1029,
  TcpConnectButton = 1030,
  TcpDisconnectButton = 1031,
  TcpReadTypeCombo = 1032,
  TcpReadStartField = 1033,
  TcpReadCountField = 1034,
  TcpReadButton = 1035,
  TcpResultTable = 1036,
  TcpWriteAddressField = 1037,
  TcpWriteValueField = 1038,
  TcpWriteOneButton = 1039,
  TcpWriteManyStartField = 1040,
  TcpWriteManyValuesField = 1041,
  TcpWriteManyButton = 1042,
};

// One row of a result table: "0x" + hex4(address), dec(address), "$" + hex4(value), dec(value).
struct ResultRow {
  std::string addressHex;
  std::string addressDec;
  std::string valueHex;
  std::string valueDec;
  bool operator==(const ResultRow&) const = default;
};

// Titles of the boxes ShowMessage opens: a hint asks for a different entry or step, an error reports a
// failure.
inline constexpr const char* kHintTitle = "Hinweis";
inline constexpr const char* kErrorTitle = "Fehler";

class OperatorConsole {
 public:
  virtual ~OperatorConsole() = default;

  // Appends "[hh:mm:ss] " + text to the log.
  virtual void LogLine(const std::string& text) = 0;
  // Modal box with one OK button; returns when the operator has closed it.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  // Rewrites both status-bar fields from the current link records.
  virtual void ShowLinkStatus() = 0;

  // Current text of a text field, an editable combo or a spin box's edit field.
  virtual std::string ControlText(ControlId id) const = 0;
  // Selected entry of a drop-down list, -1 when none is selected.
  virtual int SelectedEntry(ControlId id) const = 0;
  // Value of a spin box, taken from the text currently typed into it.
  virtual int64_t SpinValue(ControlId id) const = 0;
  // Replaces all rows of RtuResultTable or TcpResultTable.
  virtual void ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) = 0;

  // "<label> (<count> B): <HexBytes>" as one log line.
  void LogHexDump(const std::string& label, const uint8_t* bytes, int64_t count);
};

// Two upper-case hex digits per byte, one blank between bytes; empty for count <= 0.
std::string HexBytes(const uint8_t* bytes, int64_t count);

}  // namespace varnetik
