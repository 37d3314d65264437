// The program's main window: builds every control at its fixed place, keeps the layout on resize, and is
// the operator console through which the link handlers log, ask and fill the tables.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/HandlerGate.h"
#include "app/InfoWindow.h"
#include "app/ShellConfig.h"
#include "app/TableMenu.h"
#include "operator/MainWindowControls.h"
#include "operator/OperatorConsole.h"

class QPushButton;

namespace varnetik {

class LogView;
class OperationTabs;
class OutcomeAnnouncer;
class PictureLabel;
class ResultTable;
class StatusLine;
class UserDialogs;

inline constexpr int kInfoMenuItem = 2000;

class MainWindow : public QMainWindow, public OperatorConsole {
  Q_OBJECT

 public:
  // Builds the window, scans the ports, shows the link status and logs "Bereit.". The state must
  // outlive the window.
  MainWindow(AppState& state, UserDialogs& dialogs, const ShellConfig& config);
  ~MainWindow() override;

  void LogLine(const std::string& text) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  void ShowLinkStatus() override;
  std::string ControlText(ControlId id) const override;
  int SelectedEntry(ControlId id) const override;
  int64_t SpinValue(ControlId id) const override;
  void ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) override;

  // Handlers of the window's own events.
  void RescanPorts();
  void ClearLog();
  void LayoutWindow();
  void FitResultTable(ResultTable& table);
  // By mouse the menu opens at the pointer for the selected row; by keyboard at the current row, which it
  // selects, with its first item active.
  enum class MenuOpening { Mouse, Keyboard };
  void OpenTableMenu(ResultTable& table, MenuOpening how = MenuOpening::Mouse);
  void ShowInfoWindow();

  QWidget* Control(ControlId id) const;
  ResultTable* Table(ControlId id) const;
  LogView* Log() const { return log_; }
  OperationTabs* Tabs() const { return tabs_; }
  PictureLabel* Logo() const { return logo_; }  // null when the logo did not decode
  QWidget* ControlArea() const { return area_; }
  InfoWindow* Info() const { return info_; }
  const StatusLine& Status() const { return *status_; }
  const TableMenuState& MenuState() const { return menu_; }
  QAction* InfoAction() const { return infoAction_; }
  const OutcomeAnnouncer& Announcer() const { return *announcer_; }
  const HandlerGate& Gate() const { return *gate_; }

 signals:
  // The operator closed the main window: the program ends.
  void closed();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  // The controls of the client area before the logo (the first row), or those after it.
  void BuildRow(bool firstRow);
  void BuildLogo();
  void BuildTabs();
  QWidget* BuildPage(ControlPage page);
  // One control of the shared list; a label is kept in `label` and becomes the buddy of the control after it.
  void BuildControl(QWidget* parent, const ControlPlan& plan, QPoint shift, QLabel*& label);
  void BuildLog();
  void BuildPageKeys();
  void NameForAssistiveTechnology();
  void CentreOnScreen();
  // The focus goes to the entry, its text selected.
  void FocusEntry(ControlId id);
  template <typename Widget>
  Widget* Keep(ControlId id, Widget* control) {
    controls_[id] = control;
    return control;
  }

  // Defined in MainWindowDispatch.cpp: the one place where events meet their handlers.
  void ConnectHandlers();
  void ConnectMenuItem(QAction& action);
  void DispatchMenuItem(int item);
  void ConnectInfoWindow(InfoWindow& window);

  AppState& state_;
  UserDialogs& dialogs_;
  ShellConfig config_;
  QWidget* area_ = nullptr;
  std::map<ControlId, QWidget*> controls_;
  std::unique_ptr<StatusLine> status_;
  OutcomeAnnouncer* announcer_ = nullptr;
  std::unique_ptr<HandlerGate> gate_;
  OperationTabs* tabs_ = nullptr;
  ResultTable* rtuTable_ = nullptr;
  ResultTable* tcpTable_ = nullptr;
  LogView* log_ = nullptr;
  PictureLabel* logo_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QAction* infoAction_ = nullptr;
  QPointer<InfoWindow> info_;
  TableMenuState menu_;
  bool built_ = false;
};

}  // namespace varnetik
