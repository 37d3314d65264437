#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTime>

#include "app/ControlFactory.h"
#include "operator/HintedField.h"
#include "app/InfoWindow.h"
#include "app/JpegDecoder.h"
#include "app/LogStamp.h"
#include "app/LogView.h"
#include "app/MainWindowLayout.h"
#include "app/OperationTabs.h"
#include "app/OutcomeAnnouncer.h"
#include "app/PictureLabel.h"
#include "app/Pictures.h"
#include "app/PortList.h"
#include "app/ResultTable.h"
#include "app/StatusLine.h"
#include "app/UserDialogs.h"
#include "app/WindowFont.h"
#include "operator/MainWindowControls.h"
#include "operator/RtuSide.h"
#include "operator/TcpSide.h"
#include "operator/WebPictureNames.h"
#include "serial/LineSettings.h"
#include "serial/PortScan.h"

namespace varnetik {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

MainWindow::MainWindow(AppState& state, UserDialogs& dialogs, const ShellConfig& config)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint),
      state_(state),
      dialogs_(dialogs),
      config_(config) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Varnetik"));
  resize(kCreationWidth, kStartHeight);
  BuildMenu();
  status_ = std::make_unique<StatusLine>(statusBar());
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  announcer_ = new OutcomeAnnouncer(statusBar());
  gate_ = std::make_unique<HandlerGate>(*this);
  const QIcon icon = IconFromFile(config_.iconFile);
  if (!icon.isNull()) setWindowIcon(icon);
  area_ = new QWidget(this);
  area_->setObjectName(QStringLiteral("ControlArea"));
  setCentralWidget(area_);

  BuildRow(true);
  BuildLogo();
  // The first row decides the width; the window may grow but never get narrower or lower.
  resize(kFirstRowWidth, height());
  setMinimumSize(kFirstRowWidth, kMinimumHeight);
  BuildRow(false);
  BuildTabs();
  BuildLog();
  NameForAssistiveTechnology();
  // Before the first layout: the heights of the tab bar and the status bar follow the font.
  FitWindowFont(*this, *area_, QApplication::font());
  built_ = true;
  LayoutWindow();

  RescanPorts();
  ShowLinkStatus();
  LogLine("Bereit.");
  ConnectHandlers();
  BuildPageKeys();
  CentreOnScreen();
}

MainWindow::~MainWindow() { delete info_.data(); }

void MainWindow::BuildMenu() {
  // The menu stays inside the window (no global menu bar): the layout counts its height.
  menuBar()->setNativeMenuBar(false);
  menuBar()->setObjectName(QStringLiteral("MenuBar"));
  QMenu* menu = menuBar()->addMenu(QStringLiteral("Menü"));
  infoAction_ = menu->addAction(QStringLiteral("Info..."));
  infoAction_->setObjectName(QStringLiteral("InfoAction"));
  infoAction_->setData(kInfoMenuItem);
}

namespace {

QRect Rect(const LogicalRect& r) { return {r.x, r.y, r.width, r.height}; }

// The controls of the main window's client area before the logo (the first row) and after it.
bool InFirstRow(const ControlPlan& plan) {
  static const int firstRowEnd = [] {
    const std::vector<ControlPlan>& plans = MainWindowControls();
    for (size_t i = 0; i < plans.size(); ++i) {
      if (plans[i].id == ControlId::RtuDisconnectButton) return static_cast<int>(i);
    }
    return -1;
  }();
  return &plan - MainWindowControls().data() <= firstRowEnd;
}

}  // namespace

void MainWindow::BuildRow(bool firstRow) {
  QLabel* label = nullptr;
  for (const ControlPlan& plan : MainWindowControls()) {
    if (plan.page != ControlPage::Window || InFirstRow(plan) != firstRow) continue;
    BuildControl(area_, plan, QPoint(), label);
  }
}

QWidget* MainWindow::BuildPage(ControlPage page) {
  auto* widget = new QWidget(tabs_);
  QWidget* parent = widget;
  QPoint shift;
  QLabel* label = nullptr;
  for (const ControlPlan& plan : MainWindowControls()) {
    if (plan.page != page) continue;
    if (plan.kind == ControlKind::GroupFrame) {
      // The fields of a group sit inside its frame, so that assistive technology finds them in their
      // group; the positions in the page are moved into the frame's own coordinates.
      QGroupBox* frame = MakeGroupFrame(widget, Rect(plan.rect), QString::fromStdString(plan.caption));
      parent = frame;
      shift = -frame->pos();
      continue;
    }
    BuildControl(parent, plan, shift, label);
    if (plan.id == ControlId::RtuReadButton || plan.id == ControlId::TcpReadButton) {
      const bool serial = plan.id == ControlId::RtuReadButton;
      const ControlId tableId = serial ? ControlId::RtuResultTable : ControlId::TcpResultTable;
      auto* table = Keep(tableId, new ResultTable(tableId, widget));
      table->setGeometry(Rect(kResultTableRect));
      (serial ? rtuTable_ : tcpTable_) = table;
    }
  }
  return widget;
}

void MainWindow::BuildControl(QWidget* parent, const ControlPlan& plan, QPoint shift, QLabel*& label) {
  const QRect place = Rect(plan.rect).translated(shift);
  const QString caption = QString::fromStdString(plan.caption);
  if (plan.kind == ControlKind::Label) {
    label = MakeLabel(parent, place, caption);
    return;
  }
  if (!plan.id) return;
  const ControlId id = *plan.id;
  QWidget* control = nullptr;
  switch (plan.kind) {
    case ControlKind::TextField: {
      QString text = caption;
      if (id == ControlId::TcpHostField) text = Text(state_.tcp.host);
      if (id == ControlId::TcpPortField) text = QString::number(state_.tcp.port);
      control = MakeTextField(parent, id, place, text);
      break;
    }
    case ControlKind::DropDownList: {
      QStringList entries;
      for (const std::string& entry : plan.entries) entries << QString::fromStdString(entry);
      // Each list starts on the value its link record holds.
      if (id == ControlId::ParityCombo) {
        control = MakeDropDownList(parent, id, place, entries, ComboEntryOfParity(state_.rtu.parity));
      } else if (id == ControlId::BaudCombo) {
        control = MakeDropDownList(parent, id, place, entries, QString::number(state_.rtu.baudRate));
      } else if (id == ControlId::DataBitsCombo) {
        control = MakeDropDownList(parent, id, place, entries, QString::number(state_.rtu.dataBits));
      } else if (id == ControlId::StopBitsCombo) {
        control = MakeDropDownList(parent, id, place, entries, QString::number(state_.rtu.stopBits));
      } else {
        control = MakeDropDownList(parent, id, place, entries, 0);
      }
      break;
    }
    case ControlKind::EditableCombo: {
      auto* combo = MakeEditableCombo(parent, id, place);
      // The typing field inside the combo is a field of its own to assistive technology, outside the
      // label's reach.
      if (label != nullptr) combo->lineEdit()->setAccessibleName(label->text());
      control = combo;
      break;
    }
    case ControlKind::SpinBox: {
      int64_t value = state_.slaveId;
      if (id == ControlId::RtuTimeoutSpin) value = state_.rtu.rxTimeoutMs;
      if (id == ControlId::TcpTimeoutSpin) value = state_.tcp.rxTimeoutMs;
      control = MakeSpinBox(parent, id, place, plan.minimum, plan.maximum, static_cast<int>(value));
      break;
    }
    case ControlKind::Button: control = MakeButton(parent, id, place, caption); break;
    default: return;
  }
  Keep(id, control);
  if (!plan.tooltip.empty()) control->setToolTip(QString::fromStdString(plan.tooltip));
  if (label != nullptr) label->setBuddy(control);
  label = nullptr;
}

void MainWindow::BuildLogo() {
  const QImage picture = DecodeJpeg(config_.logoFile);
  if (picture.isNull()) return;
  logo_ = Keep(ControlId::LogoPicture, new PictureLabel(picture, area_));
  logo_->setObjectName(ControlName(ControlId::LogoPicture));
  logo_->move(width() - 20 - picture.width(), kScanButtonRect.y() + kScanButtonRect.height() + 10);
  logo_->setToolTip(MakerHostName(config_));
  logo_->setAccessibleName(QString::fromUtf8(kLogoPictureName));
}

void MainWindow::BuildTabs() {
  tabs_ = Keep(ControlId::OperationTabs, new OperationTabs(area_));
  tabs_->setGeometry(kTabsX, kTabsY, kTabsWidth, height() - 150);
  for (int page = 0; page < kTabPageCount; ++page) {
    tabs_->addTab(BuildPage(static_cast<ControlPage>(page)), QString::fromStdString(TabPageTitles()[page]));
  }
  tabs_->setCurrentIndex(0);
}

void MainWindow::BuildLog() {
  log_ = Keep(ControlId::LogList, new LogView(area_));
  log_->setObjectName(ControlName(ControlId::LogList));
  log_->setAccessibleName(QStringLiteral("Log"));
  clearButton_ = Keep(ControlId::ClearLogButton, MakeButton(area_, ControlId::ClearLogButton,
                                                            QRect(QPoint(kLogX, 0), kClearButtonSize),
                                                            QStringLiteral("Log löschen")));
  clearButton_->setToolTip(QStringLiteral("Inhalt der rechten Liste löschen"));
}

void MainWindow::NameForAssistiveTechnology() {
  // Names that tell alike controls apart where their captions cannot; the captions stay as they are.
  const std::pair<ControlId, const char*> names[] = {
      {ControlId::RtuTimeoutSpin, "RTU Timeout (ms)"},      {ControlId::TcpTimeoutSpin, "TCP Timeout (ms)"},
      {ControlId::RtuResultTable, "RTU-Ergebnisse"},        {ControlId::TcpResultTable, "TCP-Ergebnisse"},
      {ControlId::RtuWriteOneButton, "Schreiben (FC 06)"},  {ControlId::TcpWriteOneButton, "Schreiben (FC 06)"},
      {ControlId::RtuWriteManyButton, "Schreiben (FC 16)"}, {ControlId::TcpWriteManyButton, "Schreiben (FC 16)"},
  };
  for (const auto& [id, name] : names) Control(id)->setAccessibleName(QString::fromUtf8(name));
  // The pictures take the focus after every control, so the order of the controls stays as it is.
  if (logo_ != nullptr) setTabOrder(clearButton_, logo_);
}

void MainWindow::BuildPageKeys() {
  // From anywhere in the window, before the focused control sees the keys: a drop-down list would
  // otherwise take Ctrl+PageDown as a change of its entry.
  const auto pageKey = [this](const QKeySequence& keys, int step) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, step] {
      const int count = tabs_->count();
      tabs_->setCurrentIndex((tabs_->currentIndex() + step + count) % count);
    });
  };
  pageKey(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
  pageKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
  pageKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1);
  pageKey(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
  pageKey(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
}

void MainWindow::FocusEntry(ControlId id) {
  QWidget* control = Control(id);
  auto* combo = qobject_cast<QComboBox*>(control);
  auto* field = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
  if (field == nullptr) return;
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

void MainWindow::CentreOnScreen() {
  if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::LayoutWindow() {
  if (!built_) return;
  LayoutInputs inputs;
  inputs.width = width();
  inputs.height = height();
  // The bar's own height as the window lays it out; its geometry is only set once the window is shown.
  inputs.statusHeight = statusBar()->sizeHint().height();
  inputs.tabPageTop = tabs_->PageTop();
  if (logo_ != nullptr) inputs.logo = logo_->size();
  const MainWindowGeometry geometry = LayoutMainWindow(inputs);
  tabs_->setGeometry(geometry.tabs);
  FitResultTable(*rtuTable_);
  FitResultTable(*tcpTable_);
  if (logo_ != nullptr) logo_->move(geometry.logo->topLeft());
  log_->setGeometry(geometry.log);
  clearButton_->move(geometry.clearButton.topLeft());
}

void MainWindow::FitResultTable(ResultTable& table) {
  const int tabsBottom = tabs_->y() + tabs_->height();
  const int tableY = tabs_->y() + tabs_->PageTop() + table.y();
  table.resize(table.width(), FittedTableHeight(tabsBottom, tableY));
}

void MainWindow::RescanPorts() {
  auto* combo = static_cast<QComboBox*>(Control(ControlId::PortCombo));
  FillPortCombo(*combo, ScanPorts(state_.rtu, *this, config_.portCandidates));
  ApplyPortList(*combo, state_.rtu);
}

void MainWindow::ClearLog() { log_->Clear(); }

void MainWindow::OpenTableMenu(ResultTable& table, MenuOpening how) {
  const bool byKeyboard = how == MenuOpening::Keyboard;
  if (byKeyboard && (QApplication::activePopupWidget() != nullptr || table.SelectCurrentRow() < 0)) return;
  menu_.menuRow = table.SelectedRow();
  if (menu_.menuRow < 0) return;
  for (int column = 0; column < 4; ++column) {
    menu_.captions[column] = table.CellText(static_cast<int>(menu_.menuRow), column);
  }
  QMenu* menu = BuildTableMenu(menu_.captions, this);
  menu_.menuTable = &table;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) ConnectMenuItem(*action);
  }
  // Hidden means finished with: the menu goes once the loop has left its handlers. The chosen item's
  // handler runs even later (see ConnectMenuItem), so no dialog of it can keep the menu on the stack.
  connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
  if (!byKeyboard) {
    menu->popup(QCursor::pos() - QPoint(1, 1));
    return;
  }
  menu->popup(table.MenuPointOfRow(static_cast<int>(menu_.menuRow)));
  menu->setActiveAction(menu->actions().first());
}

void MainWindow::ShowInfoWindow() {
  if (info_ != nullptr) {
    info_->show();
    info_->raise();
    info_->activateWindow();
    return;
  }
  info_ = new InfoWindow(MakerHostName(config_), config_.donationFile);
  ConnectInfoWindow(*info_);
  info_->show();
}

void MainWindow::LogLine(const std::string& text) {
  const QString line = Text(text);
  log_->Append(StampedLogLine(QTime::currentTime(), line));
  if (!IsFrameDumpLine(line)) announcer_->Announce(line);
}

void MainWindow::ShowMessage(const std::string& title, const std::string& text) {
  gate_->EndWait();
  QWidget* owner = QApplication::activeWindow();
  dialogs_.ShowMessage(owner != nullptr ? owner : this, Text(title), Text(text));
  if (title != kHintTitle || !gate_->RunningSource()) return;
  // Back to the entry the hint refused, ready to be typed over.
  if (const std::optional<ControlId> field = HintedField(*gate_->RunningSource(), text, *this)) FocusEntry(*field);
}

void MainWindow::ShowLinkStatus() {
  status_->Show(Text(RtuStatusText(state_.rtu)), Text(TcpStatusText(state_.tcp)));
}

QWidget* MainWindow::Control(ControlId id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

ResultTable* MainWindow::Table(ControlId id) const {
  if (id == ControlId::RtuResultTable) return rtuTable_;
  if (id == ControlId::TcpResultTable) return tcpTable_;
  return nullptr;
}

std::string MainWindow::ControlText(ControlId id) const {
  QWidget* control = Control(id);
  if (auto* field = qobject_cast<QLineEdit*>(control)) return field->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText().toStdString();
  if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->text().toStdString();
  if (auto* button = qobject_cast<QPushButton*>(control)) return button->text().toStdString();
  return std::string();
}

int MainWindow::SelectedEntry(ControlId id) const {
  QWidget* control = Control(id);
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentIndex();
  if (auto* tabs = qobject_cast<QTabWidget*>(control)) return tabs->currentIndex();
  return -1;
}

int64_t MainWindow::SpinValue(ControlId id) const {
  auto* spin = qobject_cast<QSpinBox*>(Control(id));
  if (spin == nullptr) return 0;
  // The typed text counts even before the field has lost the focus; text that is no number keeps the
  // last value.
  spin->interpretText();
  return spin->value();
}

void MainWindow::ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) {
  if (ResultTable* target = Table(table)) target->ReplaceRows(rows);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LayoutWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (gate_->Running()) {
    // The window is served while a handler waits, so the request can arrive now; it takes effect after.
    event->ignore();
    gate_->HoldClose();
    return;
  }
  QMainWindow::closeEvent(event);
  emit closed();
}

}  // namespace varnetik
