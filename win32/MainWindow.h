// The native main window: its controls at their logical places scaled to the window's DPI, the message
// font, the tab pages, the status bar, the dispatch of every control event to its handler through the
// one gate, and the operator console the handlers speak through.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "operator/AppState.h"
#include "operator/MainWindowControls.h"
#include "operator/OperatorConsole.h"
#include "win32/HandlerGate.h"
#include "win32/LogList.h"

namespace varnetik::win32 {

struct WindowConfig {
  std::vector<std::string> portCandidates;  // names the port scan tries, in order
};

// The real machine's COM ports.
WindowConfig DefaultWindowConfig();

inline constexpr wchar_t kMainWindowClass[] = L"VarnetikMainWindow";

class MainWindow final : public OperatorConsole {
 public:
  // Builds the window, shows it, scans the ports and writes the first log line.
  MainWindow(AppState& state, WindowConfig config);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return window_; }
  HWND Control(ControlId id) const;
  HWND SpinArrows(ControlId id) const;  // the up/down control of a spin box
  HWND Page(int index) const { return pages_[index]; }
  HWND StatusBar() const { return status_; }
  HWND Logo() const { return logo_; }
  LogList& Log() { return *log_; }
  int Dpi() const { return dpi_; }
  const HandlerGate& Gate() const { return *gate_; }
  // Menu bar height included, as the layout counts it.
  int InnerHeight() const;
  // Every control the table describes, with its window, in creation order.
  struct Built {
    const ControlPlan* plan;
    HWND handle;
  };
  const std::vector<Built>& BuiltControls() const { return built_; }

  // The window's keyboard handling for one message of the loop: Tab and Shift+Tab in creation order,
  // Ctrl+Tab between the pages, the rest of the dialog keys. True when the message was used up.
  bool PreTranslate(MSG& msg);

  // OperatorConsole
  void LogLine(const std::string& text) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  void ShowLinkStatus() override;
  std::string ControlText(ControlId id) const override;
  int SelectedEntry(ControlId id) const override;
  int64_t SpinValue(ControlId id) const override;
  void ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND from);
  void OnDpiChanged(int dpi, const RECT& suggested);

  void CreateControls();
  HWND CreateControl(const ControlPlan& plan, HWND parent);
  void AddTooltip(HWND control, const std::string& text);
  void FillDefaults();
  void ApplyFont();
  void PlaceControls();
  void LayOut();
  void FitResultTables();
  void ShowPage(int index);
  void RescanPorts();
  void ClearLog();
  void MoveFocus(bool backwards);
  int Scale(int logical) const;

  AppState& state_;
  WindowConfig config_;
  HWND window_ = nullptr;
  HWND status_ = nullptr;
  HWND tabs_ = nullptr;
  HWND pages_[kTabPageCount] = {};
  HWND tables_[2] = {};  // RtuResultTable, TcpResultTable
  HWND logo_ = nullptr;
  HWND clearButton_ = nullptr;
  HWND tooltip_ = nullptr;
  std::unique_ptr<LogList> log_;
  std::unique_ptr<HandlerGate> gate_;
  std::map<ControlId, HWND> controls_;
  std::map<ControlId, HWND> spinArrows_;
  std::vector<Built> built_;
  std::vector<HWND> tabOrder_;  // creation order
  HFONT font_ = nullptr;
  int dpi_ = 96;
  bool laidOut_ = false;
};

}  // namespace varnetik::win32
