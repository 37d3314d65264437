// One side of the window (serial or TCP) as the link-neutral handlers see it: its link, the controls of
// its tabs, its own words, and how it takes its settings from the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modbus/ModbusLink.h"
#include "operator/ControlId.h"
#include "operator/OperatorConsole.h"

namespace varnetik {

// The entry fields, type list and result table of one side's read and write tabs.
struct OperationControls {
  ControlId readTypeCombo;
  ControlId readStartField;
  ControlId readCountField;
  ControlId resultTable;
  ControlId writeAddressField;
  ControlId writeValueField;
  ControlId writeManyStartField;
  ControlId writeManyValuesField;
};

// What one side says to the operator where the two sides differ. UTF-8.
struct LinkTexts {
  const char* notOpenHint;             // an operation while the link is closed
  const char* destinationMissingHint;  // the connect button without a destination
  const char* openedLine;              // followed by the destination
  const char* openFailedLine;          // followed by the destination
  const char* openFailedBox;
  const char* closedLine;
  // The serial "Trennen" refreshes the status bar before its log line, "TCP trennen" after it.
  bool statusBeforeClosedLine;
  const char* resyncLine;  // a stream out of step is being brought back
  // Logged once the stream is back, before the repetition, per function (Read, WriteOne, WriteMany);
  // nullptr where the side logs none.
  const char* retryLines[3];
  bool overTcp;             // the write success lines name the link
  bool listsWrittenValues;  // write many logs each register written, six to a line
};

class LinkSide {
 public:
  virtual ~LinkSide() = default;
  virtual ModbusLink& Link() = 0;
  virtual const OperationControls& Controls() const = 0;
  virtual const LinkTexts& Texts() const = 0;
  // Copies the side's settings row (and whatever else the side takes along) from the window.
  virtual void TakeSettings(const OperatorConsole& console) = 0;
  // The address byte, or unit id, of the side's requests.
  virtual uint8_t SlaveId() const = 0;
  // The lines logged after the line that names the destination of an open: why it failed, or what an
  // open that went through could not make sure of. Often none.
  virtual std::vector<std::string> OpenOutcomeLines(LinkOpenResult result) const = 0;
};

}  // namespace varnetik
