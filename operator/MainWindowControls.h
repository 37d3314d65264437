// The main window's controls as every window of the program builds them: kind, place and size in 96-dpi
// logical pixels, caption, tooltip and fixed entries, in creation order. Creation order matters twice:
// it is the Tab order, and each entry field is named for assistive technology by the label created
// just before it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "operator/ControlId.h"

namespace varnetik {

enum class ControlKind { Label, TextField, DropDownList, EditableCombo, SpinBox, Button, GroupFrame };

// Where a control sits: in the main window's client area, or on one of the four tab pages.
enum class ControlPage { Window = -1, RtuRead = 0, RtuWrite = 1, TcpRead = 2, TcpWrite = 3 };
inline constexpr int kTabPageCount = 4;

struct LogicalRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const LogicalRect&) const = default;
};

struct ControlPlan {
  ControlKind kind;
  std::optional<ControlId> id;  // labels and group frames have none
  ControlPage page;
  LogicalRect rect;
  std::string caption;  // label, button and frame text; initial text of a text field
  std::string tooltip;  // empty: none
  std::vector<std::string> entries;  // drop-down lists
  int minimum = 0;  // spin boxes
  int maximum = 0;
};

// Every control of the top rows and the tab pages except the tab panel, the result tables, the log,
// its clear button and the logo, which the window places by its layout rules.
const std::vector<ControlPlan>& MainWindowControls();

// Titles of the tab pages, in page order.
const std::vector<std::string>& TabPageTitles();

// Texts and fixed places of the window itself.
inline constexpr const char* kMainWindowTitle = "Varnetik";
inline constexpr const char* kMenuTitle = "Menü";
inline constexpr const char* kInfoMenuCaption = "Info...";
inline constexpr int kInfoMenuItemId = 2000;
inline constexpr const char* kClearLogCaption = "Log löschen";
inline constexpr const char* kClearLogTooltip = "Inhalt der rechten Liste löschen";
inline constexpr const char* kReadyLine = "Bereit.";
inline constexpr const char* kPortListRefreshedLine = "Portliste aktualisiert.";
inline constexpr LogicalRect kResultTableRect{10, 80, 670, 360};  // in its page; the height is then fitted

}  // namespace varnetik
