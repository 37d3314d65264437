#include "win32/MainWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "operator/HintedField.h"
#include "operator/LogStamp.h"
#include "operator/RtuSide.h"
#include "operator/TcpSide.h"
#include "operator/WindowGeometry.h"
#include "serial/LineSettings.h"
#include "serial/PortScan.h"
#include "win32/InfoWindow.h"
#include "win32/CaptionFit.h"
#include "win32/Pictures.h"
#include "win32/ResultList.h"
#include "win32/TableMenu.h"
#include "win32/WebLinks.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

constexpr wchar_t kPageClass[] = L"VarnetikTabPage";
constexpr int kComboListHeight = 200;  // the opened list of a combo box, logical pixels
constexpr int kSpinArrowsWidth = 18;

HMENU MenuId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

std::wstring WindowText(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

void RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC pageProc) {
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = windowProc;
  main.hInstance = instance;
  main.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  main.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  main.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = kMainWindowClass;
  ::RegisterClassExW(&main);
  WNDCLASSEXW page = main;
  page.lpfnWndProc = pageProc;
  page.hIcon = nullptr;
  page.hIconSm = nullptr;
  page.lpszClassName = kPageClass;
  ::RegisterClassExW(&page);
}

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;

// The window's outer size for a client area, at dpi.
SIZE OuterSize(int clientWidth, int clientHeight, int dpi) {
  RECT rect{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectExForDpi(&rect, kMainStyle, FALSE, 0, static_cast<UINT>(dpi));
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

WindowConfig DefaultWindowConfig() {
  WindowConfig config;
  config.portCandidates = DefaultPortCandidates();
  return config;
}

MainWindow::MainWindow(AppState& state, WindowConfig config) : state_(state), config_(std::move(config)) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  RegisterClasses(instance, &MainWindow::WindowProc, &MainWindow::PageProc);
  dpi_ = static_cast<int>(::GetDpiForSystem());
  // Created with a client area of 1160 x 700; the menu bar attached afterwards takes its height from it.
  const SIZE outer = OuterSize(Scale(kCreationWidth), Scale(kStartHeight), dpi_);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + std::max<LONG>(0, (work.right - work.left - outer.cx) / 2);
  const int y = work.top + std::max<LONG>(0, (work.bottom - work.top - outer.cy) / 2);
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, Wide(kMainWindowTitle).c_str(), kMainStyle, x,
                              y, outer.cx, outer.cy, nullptr, nullptr, instance, this);
  dpi_ = static_cast<int>(::GetDpiForWindow(window_));
  gate_ = std::make_unique<HandlerGate>(window_);

  HMENU bar = ::CreateMenu();
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING, kInfoMenuItemId, Wide(kInfoMenuCaption).c_str());
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), Wide(kMenuTitle).c_str());
  ::SetMenu(window_, bar);

  status_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                              nullptr, instance, nullptr);
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance,
                               nullptr);
  font_ = CreateFittingFont(dpi_);
  CreateControls();
  ApplyFont();
  // The first row decides the width; the window keeps its height and position.
  RECT client{};
  ::GetClientRect(window_, &client);
  if (client.right != Scale(kFirstRowWidth)) {
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + Scale(kFirstRowWidth) - client.right,
                   frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  laidOut_ = true;
  PlaceControls();
  LayOut();
  FillDefaults();
  RescanPorts();
  ShowLinkStatus();
  LogLine(kReadyLine);
  ::ShowWindow(window_, SW_SHOW);
  ::UpdateWindow(window_);
  ::SetFocus(controls_.at(ControlId::PortCombo));
}

MainWindow::~MainWindow() {
  if (window_ != nullptr && ::IsWindow(window_)) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  if (font_ != nullptr) ::DeleteObject(font_);
}

int MainWindow::Scale(int logical) const { return ScaleToDpi(logical, dpi_); }

HWND MainWindow::Control(ControlId id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

HWND MainWindow::SpinArrows(ControlId id) const {
  const auto found = spinArrows_.find(id);
  return found == spinArrows_.end() ? nullptr : found->second;
}

int MainWindow::InnerHeight() const {
  RECT client{};
  ::GetClientRect(window_, &client);
  MENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  int menuHeight = 0;
  if (::GetMenuBarInfo(window_, OBJID_MENU, 0, &bar)) menuHeight = bar.rcBar.bottom - bar.rcBar.top;
  return client.bottom + menuHeight;
}

void MainWindow::CreateControls() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  bool tabsBuilt = false;
  for (const ControlPlan& plan : MainWindowControls()) {
    if (plan.page != ControlPage::Window && !tabsBuilt) {
      tabsBuilt = true;
      tabs_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 0,
                                10, 10, window_, MenuId(static_cast<int>(ControlId::OperationTabs)), instance, nullptr);
      controls_[ControlId::OperationTabs] = tabs_;
      tabOrder_.push_back(tabs_);
      for (int page = 0; page < kTabPageCount; ++page) {
        std::wstring title = Wide(TabPageTitles()[static_cast<size_t>(page)]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
        pages_[page] = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | (page == 0 ? WS_VISIBLE : 0),
                                         0, 0, 10, 10, window_, nullptr, instance, this);
        // Above the panel, so that the page and not the panel gets the clicks and paints on top; Tab
        // follows the creation order kept in tabOrder_, not this stacking.
        ::SetWindowPos(pages_[page], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
    HWND parent = plan.page == ControlPage::Window ? window_ : pages_[static_cast<int>(plan.page)];
    HWND control = CreateControl(plan, parent);
    built_.push_back({&plan, control});
    if (plan.id == ControlId::RtuDisconnectButton) {
      // The logo goes in after the first row, at W - 220 of the window as it is at this moment.
      logo_ = CreateLogoPicture(window_);
    }
    if (plan.id == ControlId::RtuReadButton || plan.id == ControlId::TcpReadButton) {
      const bool serial = plan.id == ControlId::RtuReadButton;
      const ControlId tableId = serial ? ControlId::RtuResultTable : ControlId::TcpResultTable;
      HWND table = CreateResultList(parent, tableId);
      tables_[serial ? 0 : 1] = table;
      controls_[tableId] = table;
      tabOrder_.push_back(table);
    }
  }
  log_ = std::make_unique<LogList>(window_, static_cast<int>(ControlId::LogList));
  controls_[ControlId::LogList] = log_->Handle();
  tabOrder_.push_back(log_->Handle());
  clearButton_ = ::CreateWindowExW(0, WC_BUTTONW, Wide(kClearLogCaption).c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 10, 10, window_,
                                   MenuId(static_cast<int>(ControlId::ClearLogButton)), instance, nullptr);
  controls_[ControlId::ClearLogButton] = clearButton_;
  tabOrder_.push_back(clearButton_);
  AddTooltip(clearButton_, kClearLogTooltip);
  if (logo_ != nullptr) controls_[ControlId::LogoPicture] = logo_;
}

HWND MainWindow::CreateControl(const ControlPlan& plan, HWND parent) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const int id = plan.id ? static_cast<int>(*plan.id) : -1;
  const auto make = [&](DWORD exStyle, const wchar_t* cls, const std::wstring& text, DWORD style) {
    return ::CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                             id >= 0 ? MenuId(id) : nullptr, instance, nullptr);
  };
  const std::wstring caption = Wide(plan.caption);
  HWND control = nullptr;
  switch (plan.kind) {
    case ControlKind::Label: control = make(0, WC_STATICW, caption, SS_LEFT); break;
    case ControlKind::GroupFrame: control = make(0, WC_BUTTONW, caption, BS_GROUPBOX); break;
    case ControlKind::TextField:
      control = make(WS_EX_CLIENTEDGE, WC_EDITW, caption, WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL);
      break;
    case ControlKind::Button: control = make(0, WC_BUTTONW, caption, WS_TABSTOP | BS_PUSHBUTTON); break;
    case ControlKind::DropDownList:
      control = make(0, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
      for (const std::string& entry : plan.entries) {
        ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
      }
      break;
    case ControlKind::EditableCombo:
      control = make(0, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL);
      break;
    case ControlKind::SpinBox: {
      control = make(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_TABSTOP | ES_RIGHT | ES_AUTOHSCROLL);
      // The arrows come right after their field, so the field keeps the label before it as its name.
      HWND arrows = ::CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                      WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                          UDS_NOTHOUSANDS | UDS_HOTTRACK,
                                      0, 0, 0, 0, parent, nullptr, instance, nullptr);
      ::SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control), 0);
      ::SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(plan.minimum), static_cast<LPARAM>(plan.maximum));
      spinArrows_[*plan.id] = arrows;
      AddTooltip(arrows, plan.tooltip);
      break;
    }
  }
  if (plan.id) {
    controls_[*plan.id] = control;
    tabOrder_.push_back(control);
  }
  AddTooltip(control, plan.tooltip);
  if (plan.kind == ControlKind::EditableCombo) {
    if (HWND field = ::GetWindow(control, GW_CHILD)) AddTooltip(field, plan.tooltip);
  }
  return control;
}

void MainWindow::AddTooltip(HWND control, const std::string& text) {
  if (text.empty() || control == nullptr) return;
  std::wstring wide = Wide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = wide.data();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::FillDefaults() {
  const auto select = [this](ControlId id, int entry) {
    ::SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
  };
  const auto selectText = [this](ControlId id, const std::string& text) {
    const LRESULT found = ::SendMessageW(Control(id), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(Wide(text).c_str()));
    ::SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(found == CB_ERR ? 0 : found), 0);
  };
  // Each list starts on the value its link record holds.
  selectText(ControlId::BaudCombo, std::to_string(state_.rtu.baudRate));
  select(ControlId::ParityCombo, ComboEntryOfParity(state_.rtu.parity));
  selectText(ControlId::DataBitsCombo, std::to_string(state_.rtu.dataBits));
  selectText(ControlId::StopBitsCombo, std::to_string(static_cast<int>(state_.rtu.stopBits)));
  select(ControlId::RtuReadTypeCombo, 0);
  select(ControlId::TcpReadTypeCombo, 0);
  const auto setSpin = [this](ControlId id, int64_t value) {
    ::SendMessageW(SpinArrows(id), UDM_SETPOS32, 0, static_cast<LPARAM>(value));
  };
  setSpin(ControlId::SlaveIdSpin, state_.slaveId);
  setSpin(ControlId::RtuTimeoutSpin, state_.rtu.rxTimeoutMs);
  setSpin(ControlId::TcpTimeoutSpin, state_.tcp.rxTimeoutMs);
  ::SetWindowTextW(Control(ControlId::TcpHostField), Wide(state_.tcp.host).c_str());
  ::SetWindowTextW(Control(ControlId::TcpPortField), std::to_wstring(state_.tcp.port).c_str());
}

void MainWindow::ApplyFont() {
  const auto set = [this](HWND control) {
    if (control != nullptr) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  };
  for (const Built& b : built_) set(b.handle);
  for (const auto& [id, control] : controls_) set(control);
  set(status_);
  set(tooltip_);
}

void MainWindow::PlaceControls() {
  const auto place = [](HWND control, const LogicalRect& r) {
    ::SetWindowPos(control, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  for (const Built& b : built_) {
    const LogicalRect r = ScaleToDpi(b.plan->rect, dpi_);
    switch (b.plan->kind) {
      case ControlKind::DropDownList:
      case ControlKind::EditableCombo: {
        // A closed combo box is as high as its font makes it; the height given includes the opened list.
        place(b.handle, {r.x, r.y, r.width, r.height + Scale(kComboListHeight)});
        break;
      }
      case ControlKind::SpinBox: {
        // The field takes the whole place, then the arrows take their share of it on the right.
        place(b.handle, r);
        HWND arrows = SpinArrows(*b.plan->id);
        ::SetWindowPos(arrows, nullptr, 0, 0, Scale(kSpinArrowsWidth), r.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(b.handle), 0);
        break;
      }
      default: place(b.handle, r);
    }
  }
  if (logo_ != nullptr) {
    // The picture's own size, scaled; where it goes follows the window's width (LayOut).
    const SIZE picture = PictureLogicalSize(logo_);
    ::SetWindowPos(logo_, nullptr, 0, 0, Scale(picture.cx), Scale(picture.cy),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (int page = 0; page < 2; ++page) {
    const LogicalRect r = ScaleToDpi(kResultTableRect, dpi_);
    ::SetWindowPos(tables_[page], nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const int fields[] = {Scale(kSerialStatusWidth), -1};
  ::SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(fields));
}

void MainWindow::LayOut() {
  if (!laidOut_) return;
  ::SendMessageW(status_, WM_SIZE, 0, 0);
  RECT client{};
  ::GetClientRect(window_, &client);
  RECT bar{};
  ::GetWindowRect(status_, &bar);
  WindowSize size;
  size.dpi = dpi_;
  size.width = client.right;
  size.height = InnerHeight();
  size.statusHeight = bar.bottom - bar.top;
  if (logo_ != nullptr) {
    RECT picture{};
    ::GetWindowRect(logo_, &picture);
    size.logo = LogicalRect{0, 0, picture.right - picture.left, picture.bottom - picture.top};
  }
  // The pages' top inside the panel follows the panel's tab row, which follows the font.
  const LogicalRect tabsPlace = LayOutWindow(size).tabs;
  ::SetWindowPos(tabs_, nullptr, tabsPlace.x, tabsPlace.y, tabsPlace.width, tabsPlace.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  RECT display{0, 0, tabsPlace.width, tabsPlace.height};
  ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  size.tabPageTop = display.top;
  const WindowGeometry g = LayOutWindow(size);
  for (HWND page : pages_) {
    ::SetWindowPos(page, nullptr, g.tabs.x + display.left, g.tabs.y + display.top, display.right - display.left,
                   display.bottom - display.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitResultTables();
  if (g.logo) {
    ::SetWindowPos(logo_, nullptr, g.logo->x, g.logo->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SetWindowPos(log_->Handle(), nullptr, g.log.x, g.log.y, g.log.width, g.log.height, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(clearButton_, nullptr, g.clearButton.x, g.clearButton.y, g.clearButton.width, g.clearButton.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::FitResultTables() {
  RECT tabs{};
  ::GetWindowRect(tabs_, &tabs);
  ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&tabs), 2);
  for (HWND table : tables_) {
    RECT place{};
    ::GetWindowRect(table, &place);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    const int height = FittedTableHeight(tabs.bottom, place.top, dpi_);
    ::SetWindowPos(table, nullptr, 0, 0, place.right - place.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::ShowPage(int index) {
  for (int page = 0; page < kTabPageCount; ++page) ::ShowWindow(pages_[page], page == index ? SW_SHOW : SW_HIDE);
  // The read pages fit their table when they come to the front; the write pages change no size.
  if (index == static_cast<int>(ControlPage::RtuRead) || index == static_cast<int>(ControlPage::TcpRead)) {
    FitResultTables();
  }
}

void MainWindow::RescanPorts() {
  HWND combo = Control(ControlId::PortCombo);
  const std::vector<std::string> names = ScanPorts(state_.rtu, *this, config_.portCandidates);
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) {
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  }
  // With at least one entry, the first is the port; with none, the field is empty and the name stays.
  if (!names.empty()) {
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
    state_.rtu.portName = names.front();
  } else {
    ::SetWindowTextW(combo, L"");
  }
}

void MainWindow::ClearLog() { log_->Clear(); }

void MainWindow::OnCommand(int id, int code, HWND from) {
  AppState& s = state_;
  if (from == nullptr) {
    // The window menu; the table menu carries out its own items.
    if (code == 0 && id == kInfoMenuItemId) gate_->Run(std::nullopt, [this] { ShowInfoWindow(window_); });
    return;
  }
  const ControlId control = static_cast<ControlId>(id);
  if (control == ControlId::LogoPicture && (code == STN_CLICKED || code == STN_DBLCLK)) {
    gate_->Run(control, [] { OpenWebPage(MakerPageAddress()); });
    return;
  }
  if (code != BN_CLICKED || Control(control) != from) return;
  std::function<void()> handler;
  switch (control) {
    case ControlId::ScanButton:
      handler = [this] {
        RescanPorts();
        LogLine(kPortListRefreshedLine);
      };
      break;
    case ControlId::RtuConnectButton: handler = [this, &s] { RtuConnectClicked(s.rtu, s.slaveId, *this); }; break;
    case ControlId::RtuDisconnectButton: handler = [this, &s] { RtuDisconnectClicked(s.rtu, *this); }; break;
    case ControlId::RtuReadButton: handler = [this, &s] { RtuReadClicked(s.rtu, s.slaveId, *this); }; break;
    case ControlId::RtuWriteOneButton: handler = [this, &s] { RtuWriteOneClicked(s.rtu, s.slaveId, *this); }; break;
    case ControlId::RtuWriteManyButton: handler = [this, &s] { RtuWriteManyClicked(s.rtu, s.slaveId, *this); }; break;
    case ControlId::ClearLogButton: handler = [this] { ClearLog(); }; break;
    case ControlId::TcpConnectButton: handler = [this, &s] { TcpConnectClicked(s.tcp, *this); }; break;
    case ControlId::TcpDisconnectButton: handler = [this, &s] { TcpDisconnectClicked(s.tcp, *this); }; break;
    case ControlId::TcpReadButton: handler = [this, &s] { TcpReadClicked(s.tcp, s.slaveId, *this); }; break;
    case ControlId::TcpWriteOneButton: handler = [this, &s] { TcpWriteOneClicked(s.tcp, s.slaveId, *this); }; break;
    case ControlId::TcpWriteManyButton: handler = [this, &s] { TcpWriteManyClicked(s.tcp, s.slaveId, *this); }; break;
    default: return;
  }
  gate_->Run(control, std::move(handler));
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  HFONT old = font_;
  font_ = CreateFittingFont(dpi_);
  ApplyFont();
  if (old != nullptr) ::DeleteObject(old);
  // Every fixed place anew at the new scale, then the window at the size Windows suggests, whose
  // WM_SIZE lays out the resizable parts.
  PlaceControls();
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // A page is only a place for its controls: their events belong to the main window.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CONTEXTMENU: return ::SendMessageW(::GetParent(page), message, wParam, lParam);
    default: return ::DefWindowProcW(page, message, wParam, lParam);
  }
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      if (log_ != nullptr && header.hwndFrom == log_->Handle() && log_->HandleNotify(header, result)) return result;
      if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) {
        ShowPage(static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
      }
      return 0;
    }
    case WM_CONTEXTMENU: {
      HWND from = reinterpret_cast<HWND>(wParam);
      for (HWND table : tables_) {
        if (from != table) continue;
        std::optional<POINT> point;
        // (-1, -1) is the keyboard's request: the menu then opens at the selected row.
        if (lParam != -1) point = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const ControlId id = table == tables_[0] ? ControlId::RtuResultTable : ControlId::TcpResultTable;
        gate_->Run(id, [this, table, point] { RunTableMenu(window_, table, point, *this); });
        return 0;
      }
      return ::DefWindowProcW(window_, message, wParam, lParam);
    }
    case WM_SIZE: LayOut(); return 0;
    case WM_GETMINMAXINFO: {
      // No narrower than the first row, no lower than 480 with the menu bar; no maximum.
      auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
      const SIZE outer = OuterSize(Scale(kFirstRowWidth), Scale(kMinimumHeight), dpi_);
      limits.ptMinTrackSize = {outer.cx, outer.cy};
      return 0;
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SETCURSOR:
      if (gate_ != nullptr && gate_->Busy()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_CLOSE:
      // The window is served while a handler waits, so the request can arrive now; it takes effect after.
      if (gate_ != nullptr && gate_->Running()) {
        gate_->HoldClose();
        return 0;
      }
      ::DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default: return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void MainWindow::MoveFocus(bool backwards) {
  std::vector<HWND> reachable;
  for (HWND control : tabOrder_) {
    if (::IsWindowVisible(control) && ::IsWindowEnabled(control)) reachable.push_back(control);
  }
  if (reachable.empty()) return;
  HWND focus = ::GetFocus();
  // The focus may sit in a child of a control (the field of an editable combo).
  auto at = reachable.end();
  for (HWND w = focus; w != nullptr && w != window_ && at == reachable.end(); w = ::GetParent(w)) {
    at = std::find(reachable.begin(), reachable.end(), w);
  }
  const auto count = static_cast<ptrdiff_t>(reachable.size());
  ptrdiff_t index = at == reachable.end() ? (backwards ? 0 : -1) : at - reachable.begin();
  index = (index + (backwards ? count - 1 : 1)) % count;
  HWND next = reachable[static_cast<size_t>(index)];
  ::SetFocus(next);
  // As the dialog manager does: a field reached by Tab has its text selected, ready to be typed over.
  wchar_t cls[16] = {};
  ::GetClassNameW(next, cls, 16);
  if (::lstrcmpiW(cls, WC_EDITW) == 0) ::SendMessageW(next, EM_SETSEL, 0, -1);
}

bool MainWindow::PreTranslate(MSG& msg) {
  if (msg.message == WM_KEYDOWN && (msg.hwnd == window_ || ::IsChild(window_, msg.hwnd))) {
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    int step = 0;
    if (ctrl && msg.wParam == VK_TAB) step = shift ? -1 : 1;
    if (ctrl && msg.wParam == VK_NEXT) step = 1;
    if (ctrl && msg.wParam == VK_PRIOR) step = -1;
    if (step != 0) {
      // From anywhere in the window, before a drop-down list could take the keys as a change of entry.
      const int current = static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
      const int next = (current + step + kTabPageCount) % kTabPageCount;
      ::SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(next), 0);
      ShowPage(next);
      return true;
    }
    if (msg.wParam == VK_TAB && !ctrl) {
      MoveFocus(shift);
      return true;
    }
  }
  if (msg.message == WM_CHAR && msg.wParam == L'\t') return true;
  return ::IsDialogMessageW(window_, &msg) != FALSE;
}

void MainWindow::LogLine(const std::string& text) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  log_->Append(LogStamp(now.wHour, now.wMinute, now.wSecond) + text);
}

void MainWindow::ShowMessage(const std::string& title, const std::string& text) {
  gate_->EndWait();
  HWND owner = ::GetActiveWindow();
  ::MessageBoxW(owner != nullptr ? owner : window_, Wide(text).c_str(), Wide(title).c_str(), MB_OK);
  if (title != kHintTitle || !gate_->RunningSource()) return;
  // Back to the entry the hint refused, its text selected, ready to be typed over.
  if (const std::optional<ControlId> field = HintedField(*gate_->RunningSource(), text, *this)) {
    HWND control = Control(*field);
    ::SetFocus(control);
    ::SendMessageW(control, EM_SETSEL, 0, -1);
  }
}

void MainWindow::ShowLinkStatus() {
  ::SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(RtuStatusText(state_.rtu)).c_str()));
  ::SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(Wide(TcpStatusText(state_.tcp)).c_str()));
}

std::string MainWindow::ControlText(ControlId id) const {
  HWND control = Control(id);
  return control == nullptr ? std::string() : Utf8(WindowText(control));
}

int MainWindow::SelectedEntry(ControlId id) const {
  HWND control = Control(id);
  if (control == nullptr) return -1;
  if (control == tabs_) return static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
  return static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
}

int64_t MainWindow::SpinValue(ControlId id) const {
  HWND arrows = SpinArrows(id);
  if (arrows == nullptr) return 0;
  // The arrows take their position from the field's current text; text that is no number keeps the last.
  return static_cast<int64_t>(::SendMessageW(arrows, UDM_GETPOS32, 0, 0));
}

void MainWindow::ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) {
  if (HWND list = Control(table); list != nullptr && (list == tables_[0] || list == tables_[1])) {
    FillResultList(list, rows);
  }
}

}  // namespace varnetik::win32
