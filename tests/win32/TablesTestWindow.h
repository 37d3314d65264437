// A parent window for the result tables as the main window is to them: it hands every WM_CONTEXTMENU of
// a table to RunTableMenu and records what the operator would see. Whatever a menu or a modal dialog
// waits for is answered by real key input when that menu or dialog has gone idle (WM_ENTERIDLE), one
// scripted step each, so that no input can arrive before the window it is meant for.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/FakeConsole.h"
#include "win32/TableMenu.h"

namespace varnetik::win32::testing {

// Real input, through the system's input queue.
void PressKey(WORD key, WORD modifier = 0);
void TypeText(const std::wstring& text);
void RightClickAt(POINT screenPoint);
void LeftClickAt(POINT screenPoint);
// Handles every message waiting, the input just sent among them.
void DrainMessages();

// The centre of a row in screen pixels; below the last row for -1.
POINT RowCentre(HWND list, int row);

struct IdleStep {
  UINT kind;                        // MSGF_MENU or MSGF_DIALOGBOX
  std::function<void(HWND)> act;    // given the menu's or the dialog's window
};

class TablesTestWindow {
 public:
  TablesTestWindow();
  ~TablesTestWindow();

  HWND window = nullptr;
  HWND rtuList = nullptr;
  HWND tcpList = nullptr;
  varnetik::testing::FakeConsole console;

  // The save dialog: the recorded one gives nextPath and counts, unless the real one is wanted.
  bool realSaveDialog = false;
  std::wstring nextPath;
  int saveDialogs = 0;

  std::deque<IdleStep> script;
  // "id caption" per menu line ("---" for a separator) of the last menu shown; empty when none was.
  std::vector<std::string> lastMenu;
  POINT lastMenuAt{};  // its top left corner on the screen
  // Titles of the dialogs that went idle, in order.
  std::vector<std::string> dialogs;
  bool abandoned = false;  // a menu or dialog got no answer and was closed by the guard

  // A real right-click on the row (below the rows for -1) and every message until its menu is done.
  void RightClickRow(HWND list, int row);
  // A real key press on the focused list and every message until its menu is done.
  void MenuKeyOn(HWND list, WORD key, WORD modifier = 0);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void RunUntilMenuDone();
  int menuRequests_ = 0;
};

}  // namespace varnetik::win32::testing
