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

  BuildFirstRow();
  BuildLogo();
  // The first row decides the width; the window may grow but never get narrower or lower.
  resize(kFirstRowWidth, height());
  setMinimumSize(kFirstRowWidth, kMinimumHeight);
  SetFirstRowTooltips();
  BuildTcpRow();
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

void MainWindow::BuildFirstRow() {
  QLabel* label = MakeLabel(area_, {10, 10, 210, 16}, QStringLiteral("RTU Port"));
  QComboBox* port = Keep(ControlId::PortCombo, MakeEditableCombo(area_, ControlId::PortCombo, {10, 28, 210, 24}));
  label->setBuddy(port);
  // The typing field inside the combo is a field of its own to assistive technology, outside the label's reach.
  port->lineEdit()->setAccessibleName(label->text());
  label = MakeLabel(area_, {230, 10, 90, 16}, QStringLiteral("Baudrate"));
  label->setBuddy(Keep(ControlId::BaudCombo,
                       MakeDropDownList(area_, ControlId::BaudCombo, {230, 28, 90, 24},
                                        {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
                                        QString::number(state_.rtu.baudRate))));
  label = MakeLabel(area_, {330, 10, 90, 16}, QStringLiteral("Parität"));
  label->setBuddy(Keep(ControlId::ParityCombo, MakeDropDownList(area_, ControlId::ParityCombo, {330, 28, 90, 24},
                                                                {"None", "Even", "Odd"},
                                                                ComboEntryOfParity(state_.rtu.parity))));
  label = MakeLabel(area_, {430, 10, 80, 16}, QStringLiteral("Datenbits"));
  label->setBuddy(Keep(ControlId::DataBitsCombo,
                       MakeDropDownList(area_, ControlId::DataBitsCombo, {430, 28, 80, 24}, {"7", "8"},
                                        QString::number(state_.rtu.dataBits))));
  label = MakeLabel(area_, {520, 10, 80, 16}, QStringLiteral("Stoppbits"));
  label->setBuddy(Keep(ControlId::StopBitsCombo,
                       MakeDropDownList(area_, ControlId::StopBitsCombo, {520, 28, 80, 24}, {"1", "2"},
                                        QString::number(state_.rtu.stopBits))));
  label = MakeLabel(area_, {610, 10, 70, 16}, QStringLiteral("Slave-ID"));
  label->setBuddy(Keep(ControlId::SlaveIdSpin,
                       MakeSpinBox(area_, ControlId::SlaveIdSpin, {610, 28, 70, 24}, 1, 247, state_.slaveId)));
  label = MakeLabel(area_, {690, 10, 90, 16}, QStringLiteral("Timeout (ms)"));
  label->setBuddy(Keep(ControlId::RtuTimeoutSpin, MakeSpinBox(area_, ControlId::RtuTimeoutSpin, {690, 28, 80, 24}, 50,
                                                              5000, static_cast<int>(state_.rtu.rxTimeoutMs))));
  // Each button starts 10 to the right of the control before it.
  Keep(ControlId::ScanButton, MakeButton(area_, ControlId::ScanButton, kScanButtonRect, QStringLiteral("Scannen")));
  Keep(ControlId::RtuConnectButton,
       MakeButton(area_, ControlId::RtuConnectButton, {874, 28, 88, 24}, QStringLiteral("Verbinden")));
  Keep(ControlId::RtuDisconnectButton,
       MakeButton(area_, ControlId::RtuDisconnectButton, {972, 28, 96, 24}, QStringLiteral("Trennen")));
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

void MainWindow::SetFirstRowTooltips() {
  const std::pair<ControlId, const char*> tips[] = {
      {ControlId::PortCombo, "Serieller Port (z. B. COM3 oder /dev/ttyUSB0)"},
      {ControlId::BaudCombo, "Baudrate"},
      {ControlId::ParityCombo, "Parität: None / Even / Odd"},
      {ControlId::DataBitsCombo, "Datenbits: 7 oder 8"},
      {ControlId::StopBitsCombo, "Stoppbits: 1 oder 2"},
      {ControlId::SlaveIdSpin, "Unit/Slave-ID (1..247)"},
      {ControlId::RtuTimeoutSpin, "Gesamt-Timeout für RX in Millisekunden"},
  };
  for (const auto& [id, tip] : tips) Control(id)->setToolTip(QString::fromUtf8(tip));
}

void MainWindow::AddCaptionedField(QWidget* parent, const QRect& captionGeometry, const QString& caption,
                                   ControlId id, const QRect& geometry, const QString& text) {
  QLabel* label = MakeLabel(parent, captionGeometry, caption);
  label->setBuddy(Keep(id, MakeTextField(parent, id, geometry, text)));
}

void MainWindow::BuildTcpRow() {
  AddCaptionedField(area_, {10, 62, 80, 16}, QStringLiteral("TCP Host/IP"), ControlId::TcpHostField,
                    {10, 80, 210, 24}, Text(state_.tcp.host));
  AddCaptionedField(area_, {230, 62, 50, 16}, QStringLiteral("Port"), ControlId::TcpPortField, {230, 80, 80, 24},
                    QString::number(state_.tcp.port));
  QLabel* label = MakeLabel(area_, {320, 62, 90, 16}, QStringLiteral("Timeout (ms)"));
  label->setBuddy(Keep(ControlId::TcpTimeoutSpin, MakeSpinBox(area_, ControlId::TcpTimeoutSpin, {320, 80, 80, 24}, 50,
                                                              5000, static_cast<int>(state_.tcp.rxTimeoutMs))));
  Keep(ControlId::TcpConnectButton,
       MakeButton(area_, ControlId::TcpConnectButton, {410, 80, 100, 24}, QStringLiteral("TCP verbinden")));
  Keep(ControlId::TcpDisconnectButton,
       MakeButton(area_, ControlId::TcpDisconnectButton, {520, 80, 100, 24}, QStringLiteral("TCP trennen")));
}

void MainWindow::BuildTabs() {
  tabs_ = Keep(ControlId::OperationTabs, new OperationTabs(area_));
  tabs_->setGeometry(kTabsX, kTabsY, kTabsWidth, height() - 150);
  tabs_->addTab(BuildReadPage(true), QStringLiteral("RTU Lesen"));
  tabs_->addTab(BuildWritePage(true), QStringLiteral("RTU Schreiben"));
  tabs_->addTab(BuildReadPage(false), QStringLiteral("TCP Lesen"));
  tabs_->addTab(BuildWritePage(false), QStringLiteral("TCP Schreiben"));
  tabs_->setCurrentIndex(0);
}

QWidget* MainWindow::BuildReadPage(bool serial) {
  auto* page = new QWidget(tabs_);
  const auto id = [serial](ControlId rtu, ControlId tcp) { return serial ? rtu : tcp; };
  QLabel* label = MakeLabel(page, {20, 12, 80, 20}, QStringLiteral("Typ:"));
  const ControlId type = id(ControlId::RtuReadTypeCombo, ControlId::TcpReadTypeCombo);
  label->setBuddy(Keep(type, MakeDropDownList(page, type, {140, 10, 150, 24}, {"Holding (FC 03)", "Input (FC 04)"}, 0)));
  AddCaptionedField(page, {20, 44, 110, 20}, QStringLiteral("Startadresse (dez.):"),
                    id(ControlId::RtuReadStartField, ControlId::TcpReadStartField), {140, 40, 120, 24},
                    QStringLiteral("0"));
  AddCaptionedField(page, {300, 44, 60, 20}, QStringLiteral("Anzahl:"),
                    id(ControlId::RtuReadCountField, ControlId::TcpReadCountField), {360, 40, 80, 24},
                    QStringLiteral("2"));
  const ControlId read = id(ControlId::RtuReadButton, ControlId::TcpReadButton);
  Keep(read, MakeButton(page, read, {460, 40, 90, 24}, QStringLiteral("Lesen")));
  const ControlId tableId = id(ControlId::RtuResultTable, ControlId::TcpResultTable);
  auto* table = Keep(tableId, new ResultTable(tableId, page));
  table->setGeometry(10, kTableYInPage, 670, 360);
  (serial ? rtuTable_ : tcpTable_) = table;
  return page;
}

QWidget* MainWindow::BuildWritePage(bool serial) {
  auto* page = new QWidget(tabs_);
  const auto id = [serial](ControlId rtu, ControlId tcp) { return serial ? rtu : tcp; };
  // The fields of a group sit inside its frame, so that assistive technology finds them in their group;
  // the positions below are those in the page, moved into the frame's own coordinates.
  QGroupBox* frame = MakeGroupFrame(page, {20, 10, 650, 110}, QStringLiteral("Einzelnes Register (FC 06)"));
  QPoint inFrame = -frame->pos();
  AddCaptionedField(frame, QRect(35, 40, 100, 20).translated(inFrame), QStringLiteral("Adresse (dez.):"),
                    id(ControlId::RtuWriteAddressField, ControlId::TcpWriteAddressField),
                    QRect(140, 36, 120, 24).translated(inFrame), QStringLiteral("0"));
  AddCaptionedField(frame, QRect(285, 40, 60, 20).translated(inFrame), QStringLiteral("Wert:"),
                    id(ControlId::RtuWriteValueField, ControlId::TcpWriteValueField),
                    QRect(365, 36, 100, 24).translated(inFrame), QStringLiteral("0"));
  const ControlId one = id(ControlId::RtuWriteOneButton, ControlId::TcpWriteOneButton);
  Keep(one, MakeButton(frame, one, QRect(520, 36, 120, 24).translated(inFrame), QStringLiteral("Schreiben")));

  frame = MakeGroupFrame(page, {20, 140, 650, 110}, QStringLiteral("Mehrere Register (FC 16)"));
  inFrame = -frame->pos();
  AddCaptionedField(frame, QRect(35, 170, 120, 20).translated(inFrame), QStringLiteral("Startadresse (dez.):"),
                    id(ControlId::RtuWriteManyStartField, ControlId::TcpWriteManyStartField),
                    QRect(140, 166, 120, 24).translated(inFrame), QStringLiteral("0"));
  AddCaptionedField(frame, QRect(285, 170, 80, 20).translated(inFrame), QStringLiteral("Werte (CSV):"),
                    id(ControlId::RtuWriteManyValuesField, ControlId::TcpWriteManyValuesField),
                    QRect(365, 166, 130, 24).translated(inFrame), QStringLiteral("10,20,30"));
  const ControlId many = id(ControlId::RtuWriteManyButton, ControlId::TcpWriteManyButton);
  Keep(many, MakeButton(frame, many, QRect(520, 166, 120, 24).translated(inFrame), QStringLiteral("Schreiben")));
  return page;
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
