#include "tests/win32/TablesTestWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include "win32/ResultList.h"
#include "win32/WideText.h"

namespace varnetik::win32::testing {

namespace {

constexpr wchar_t kClassName[] = L"VarnetikTablesTestWindow";
constexpr UINT_PTR kGuardTimer = 1;
// Far beyond any answer's time: only a test gone wrong meets it, and it then fails instead of hanging.
constexpr UINT kGuardMilliseconds = 30000;

INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

void Send(std::vector<INPUT> inputs) { SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)); }

std::string MenuLine(HMENU menu, int position) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID;
  GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
  if ((info.fType & MFT_SEPARATOR) != 0) return "---";
  wchar_t caption[256] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), caption, 256, MF_BYPOSITION);
  const bool enabled = (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
  return std::to_string(info.wID) + " " + Utf8(caption) + (enabled ? "" : " (disabled)");
}

}  // namespace

void PressKey(WORD key, WORD modifier) {
  std::vector<INPUT> inputs;
  if (modifier != 0) inputs.push_back(KeyInput(modifier, false));
  inputs.push_back(KeyInput(key, false));
  inputs.push_back(KeyInput(key, true));
  if (modifier != 0) inputs.push_back(KeyInput(modifier, true));
  Send(inputs);
}

void TypeText(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    for (bool up : {false, true}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = c;
      input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      inputs.push_back(input);
    }
  }
  Send(inputs);
}

void RightClickAt(POINT screenPoint) {
  SetCursorPos(screenPoint.x, screenPoint.y);
  INPUT down{};
  down.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  INPUT up = down;
  up.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  Send({down, up});
}

void LeftClickAt(POINT screenPoint) {
  SetCursorPos(screenPoint.x, screenPoint.y);
  INPUT down{};
  down.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  INPUT up = down;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Send({down, up});
}

void DrainMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

POINT RowCentre(HWND list, int row) {
  POINT point{};
  const int count = ListView_GetItemCount(list);
  if (row >= 0) {
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, LVIR_BOUNDS);
    point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  } else {
    RECT client{};
    GetClientRect(list, &client);
    RECT last{};
    if (count > 0) ListView_GetItemRect(list, count - 1, &last, LVIR_BOUNDS);
    point = {40, (last.bottom + client.bottom) / 2};
  }
  ClientToScreen(list, &point);
  return point;
}

TablesTestWindow::TablesTestWindow() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);  // fails harmlessly from the second window on
  window = CreateWindowExW(0, kClassName, L"Tabellen", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 760, 460, nullptr,
                           nullptr, GetModuleHandleW(nullptr), this);
  rtuList = CreateResultList(window, ControlId::RtuResultTable);
  tcpList = CreateResultList(window, ControlId::TcpResultTable);
  // Side by side, the way the window moves its children: physical pixels.
  SetWindowPos(rtuList, nullptr, 10, 10, 360, 400, SWP_NOZORDER);
  SetWindowPos(tcpList, nullptr, 380, 10, 360, 400, SWP_NOZORDER);
  SetForegroundWindow(window);
  UpdateWindow(window);
}

TablesTestWindow::~TablesTestWindow() { DestroyWindow(window); }

LRESULT CALLBACK TablesTestWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TablesTestWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window = window;
  }
  auto* self = reinterpret_cast<TablesTestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT TablesTestWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CONTEXTMENU: {
      const auto list = reinterpret_cast<HWND>(wParam);
      if (list != rtuList && list != tcpList) break;
      std::optional<POINT> point;
      if (lParam != -1) point = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const CsvPathAsker recorded = [this](HWND) {
        ++saveDialogs;
        return nextPath;
      };
      RunTableMenu(window, list, point, console, realSaveDialog ? CsvPathAsker(AskCsvPathWithSaveDialog) : recorded);
      ++menuRequests_;
      return 0;
    }
    case WM_INITMENUPOPUP: {
      const auto menu = reinterpret_cast<HMENU>(wParam);
      lastMenu.clear();
      for (int position = 0; position < GetMenuItemCount(menu); ++position) lastMenu.push_back(MenuLine(menu, position));
      break;
    }
    case WM_ENTERIDLE: {
      const auto kind = static_cast<UINT>(wParam);
      const auto shown = reinterpret_cast<HWND>(lParam);
      if (kind == MSGF_MENU) {
        RECT rect{};
        GetWindowRect(shown, &rect);
        lastMenuAt = {rect.left, rect.top};
      }
      if (kind == MSGF_DIALOGBOX) {
        wchar_t title[256] = {};
        GetWindowTextW(shown, title, 256);
        if (dialogs.empty() || dialogs.back() != Utf8(title)) dialogs.push_back(Utf8(title));
      }
      if (!script.empty() && script.front().kind == kind) {
        const IdleStep step = script.front();
        script.pop_front();
        step.act(shown);
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam != kGuardTimer) break;
      // Nothing answered what is open: close it so that the test fails rather than hangs.
      KillTimer(window, kGuardTimer);
      abandoned = true;
      EndMenu();
      if (HWND dialog = GetLastActivePopup(window); dialog != window) PostMessageW(dialog, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TablesTestWindow::RunUntilMenuDone() {
  const int before = menuRequests_;
  SetTimer(window, kGuardTimer, kGuardMilliseconds, nullptr);
  MSG message;
  while (menuRequests_ == before && !abandoned && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(window, kGuardTimer);
}

void TablesTestWindow::RightClickRow(HWND list, int row) {
  lastMenu.clear();
  RightClickAt(RowCentre(list, row));
  RunUntilMenuDone();
}

void TablesTestWindow::MenuKeyOn(HWND list, WORD key, WORD modifier) {
  lastMenu.clear();
  SetFocus(list);
  PressKey(key, modifier);
  RunUntilMenuDone();
}

}  // namespace varnetik::win32::testing
