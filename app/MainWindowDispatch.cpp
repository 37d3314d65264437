// Every event of the program meets its handler here: the buttons, the tab panel, the two result tables
// and their context menu, the pictures, the window menu and the info window. The handlers run to their end
// through the one gate, never one inside another; a menu choice reaches its handler on a later turn of the
// loop.
#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QTabWidget>
#include <functional>

#include "app/CsvExport.h"
#include "app/InfoWindow.h"
#include "app/LogView.h"
#include "app/OperationTabs.h"
#include "app/PictureLabel.h"
#include "app/ResultTable.h"
#include "app/TableMenu.h"
#include "app/UserDialogs.h"
#include "operator/RtuSide.h"
#include "operator/TcpSide.h"

namespace varnetik {

void MainWindow::ConnectHandlers() {
  const auto onClick = [this](ControlId id, std::function<void()> handler) {
    connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
            [this, id, handler] { gate_->Run(id, handler); });
  };
  AppState& s = state_;

  onClick(ControlId::ScanButton, [this] {
    RescanPorts();
    LogLine("Portliste aktualisiert.");
  });
  onClick(ControlId::RtuConnectButton, [this, &s] { RtuConnectClicked(s.rtu, s.slaveId, *this); });
  onClick(ControlId::RtuDisconnectButton, [this, &s] { RtuDisconnectClicked(s.rtu, *this); });
  onClick(ControlId::RtuReadButton, [this, &s] { RtuReadClicked(s.rtu, s.slaveId, *this); });
  onClick(ControlId::RtuWriteOneButton, [this, &s] { RtuWriteOneClicked(s.rtu, s.slaveId, *this); });
  onClick(ControlId::RtuWriteManyButton, [this, &s] { RtuWriteManyClicked(s.rtu, s.slaveId, *this); });
  onClick(ControlId::ClearLogButton, [this] { ClearLog(); });
  onClick(ControlId::TcpConnectButton, [this, &s] { TcpConnectClicked(s.tcp, *this); });
  onClick(ControlId::TcpDisconnectButton, [this, &s] { TcpDisconnectClicked(s.tcp, *this); });
  onClick(ControlId::TcpReadButton, [this, &s] { TcpReadClicked(s.tcp, s.slaveId, *this); });
  onClick(ControlId::TcpWriteOneButton, [this, &s] { TcpWriteOneClicked(s.tcp, s.slaveId, *this); });
  onClick(ControlId::TcpWriteManyButton, [this, &s] { TcpWriteManyClicked(s.tcp, s.slaveId, *this); });

  // The page is recognised by the table it holds, so the order of the tabs is stated only where they are added.
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    const QWidget* page = tabs_->widget(index);
    if (page == nullptr) return;
    for (ResultTable* table : {rtuTable_, tcpTable_}) {
      if (page->isAncestorOf(table)) FitResultTable(*table);
    }
  });
  for (ResultTable* table : {rtuTable_, tcpTable_}) {
    connect(table, &QWidget::customContextMenuRequested, this,
            [this, table] { gate_->Run(table->Id(), [this, table] { OpenTableMenu(*table); }); });
    connect(table, &ResultTable::menuKeyPressed, this, [this, table] {
      gate_->Run(table->Id(), [this, table] { OpenTableMenu(*table, MenuOpening::Keyboard); });
    });
  }
  if (logo_ != nullptr) {
    connect(logo_, &PictureLabel::clicked, this, [this] {
      gate_->Run(ControlId::LogoPicture, [this] { dialogs_.OpenWebPage(config_.makerPage); });
    });
  }
  ConnectMenuItem(*infoAction_);
}

void MainWindow::ConnectMenuItem(QAction& action) {
  // Queued: the choice is handled on a later turn of the loop, after the menu has finished with the
  // key or mouse event that chose it. A handler that opens a modal dialog runs that dialog's loop while
  // the menu's own event handler would still be on the stack; the menu is deleted meanwhile and its
  // handler would then write into freed memory.
  const int item = action.data().toInt();
  connect(
      &action, &QAction::triggered, this,
      [this, item] { gate_->Run(std::nullopt, [this, item] { DispatchMenuItem(item); }); }, Qt::QueuedConnection);
}

void MainWindow::DispatchMenuItem(int item) {
  switch (item) {
    case kInfoMenuItem: ShowInfoWindow(); return;
    case kCopyAddressHexItem:
    case kCopyAddressDecItem:
    case kCopyValueHexItem:
    case kCopyValueDecItem: CopyCell(menu_, item - kCopyAddressHexItem); return;
    case kCopyRowItem: CopyRow(menu_); return;
    case kSaveCsvItem:
      if (menu_.menuTable != nullptr) ExportCsv(*menu_.menuTable, *this, dialogs_, this);
      return;
    default: return;
  }
}

void MainWindow::ConnectInfoWindow(InfoWindow& window) {
  connect(&window, &InfoWindow::donationClicked, this,
          [this] { gate_->Run(std::nullopt, [this] { dialogs_.OpenWebPage(config_.donationPage); }); });
  // Closing destroys the window; "Info..." then builds a fresh one.
  InfoWindow* closing = &window;
  connect(&window, &InfoWindow::closed, this, [this, closing] {
    if (info_ == closing) info_ = nullptr;
    closing->deleteLater();
  });
}

}  // namespace varnetik
