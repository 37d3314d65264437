// The one narrow way in which the link handlers and operations speak to the operator. The main window
// implements it; tests replace it with a recording fake. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operator/ControlId.h"

namespace varnetik {

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
