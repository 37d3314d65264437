// Every control of the main window: its id name, kind, place, initial content and tooltip; the labels and
// the names they give their controls; the tab pages; how spin boxes, buttons and combos behave; the focus
// order.
#include <QAccessible>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>

#include "app/ControlFactory.h"
#include "app/OperationTabs.h"
#include "app/StatusLine.h"
#include "tests/support/WindowHarness.h"

namespace varnetik {
namespace {

using testing::WindowHarness;

enum class Kind { Text, DropDown, Editable, Spin, Button };

struct ControlCase {
  ControlId id;
  Kind kind;
  QRect geometry;  // in the control area, or in its tab page
  const char* content;  // text, or the selected entry's text
  const char* tooltip;
};
void PrintTo(const ControlCase& c, std::ostream* os) { *os << ControlName(c.id).toStdString(); }

const ControlCase kControls[] = {
    {ControlId::PortCombo, Kind::Editable, {10, 28, 210, 24}, "", "Serieller Port (z. B. COM3 oder /dev/ttyUSB0)"},
    {ControlId::BaudCombo, Kind::DropDown, {230, 28, 90, 24}, "9600", "Baudrate"},
    {ControlId::ParityCombo, Kind::DropDown, {330, 28, 90, 24}, "None", "Parität: None / Even / Odd"},
    {ControlId::DataBitsCombo, Kind::DropDown, {430, 28, 80, 24}, "8", "Datenbits: 7 oder 8"},
    {ControlId::StopBitsCombo, Kind::DropDown, {520, 28, 80, 24}, "1", "Stoppbits: 1 oder 2"},
    {ControlId::SlaveIdSpin, Kind::Spin, {610, 28, 70, 24}, "1", "Unit/Slave-ID (1..247)"},
    {ControlId::RtuTimeoutSpin, Kind::Spin, {690, 28, 80, 24}, "800", "Gesamt-Timeout für RX in Millisekunden"},
    {ControlId::ScanButton, Kind::Button, {780, 28, 84, 24}, "Scannen", ""},
    {ControlId::RtuConnectButton, Kind::Button, {874, 28, 88, 24}, "Verbinden", ""},
    {ControlId::RtuDisconnectButton, Kind::Button, {972, 28, 96, 24}, "Trennen", ""},
    {ControlId::TcpHostField, Kind::Text, {10, 80, 210, 24}, "127.0.0.1", ""},
    {ControlId::TcpPortField, Kind::Text, {230, 80, 80, 24}, "502", ""},
    {ControlId::TcpTimeoutSpin, Kind::Spin, {320, 80, 80, 24}, "1200", ""},
    {ControlId::TcpConnectButton, Kind::Button, {410, 80, 100, 24}, "TCP verbinden", ""},
    {ControlId::TcpDisconnectButton, Kind::Button, {520, 80, 100, 24}, "TCP trennen", ""},
    {ControlId::RtuReadTypeCombo, Kind::DropDown, {140, 10, 150, 24}, "Holding (FC 03)", ""},
    {ControlId::RtuReadStartField, Kind::Text, {140, 40, 120, 24}, "0", ""},
    {ControlId::RtuReadCountField, Kind::Text, {360, 40, 80, 24}, "2", ""},
    {ControlId::RtuReadButton, Kind::Button, {460, 40, 90, 24}, "Lesen", ""},
    {ControlId::RtuWriteAddressField, Kind::Text, {140, 36, 120, 24}, "0", ""},
    {ControlId::RtuWriteValueField, Kind::Text, {365, 36, 100, 24}, "0", ""},
    {ControlId::RtuWriteOneButton, Kind::Button, {520, 36, 120, 24}, "Schreiben", ""},
    {ControlId::RtuWriteManyStartField, Kind::Text, {140, 166, 120, 24}, "0", ""},
    {ControlId::RtuWriteManyValuesField, Kind::Text, {365, 166, 130, 24}, "10,20,30", ""},
    {ControlId::RtuWriteManyButton, Kind::Button, {520, 166, 120, 24}, "Schreiben", ""},
    {ControlId::TcpReadTypeCombo, Kind::DropDown, {140, 10, 150, 24}, "Holding (FC 03)", ""},
    {ControlId::TcpReadStartField, Kind::Text, {140, 40, 120, 24}, "0", ""},
    {ControlId::TcpReadCountField, Kind::Text, {360, 40, 80, 24}, "2", ""},
    {ControlId::TcpReadButton, Kind::Button, {460, 40, 90, 24}, "Lesen", ""},
    {ControlId::TcpWriteAddressField, Kind::Text, {140, 36, 120, 24}, "0", ""},
    {ControlId::TcpWriteValueField, Kind::Text, {365, 36, 100, 24}, "0", ""},
    {ControlId::TcpWriteOneButton, Kind::Button, {520, 36, 120, 24}, "Schreiben", ""},
    {ControlId::TcpWriteManyStartField, Kind::Text, {140, 166, 120, 24}, "0", ""},
    {ControlId::TcpWriteManyValuesField, Kind::Text, {365, 166, 130, 24}, "10,20,30", ""},
    {ControlId::TcpWriteManyButton, Kind::Button, {520, 166, 120, 24}, "Schreiben", ""},
    {ControlId::ClearLogButton, Kind::Button, {720, 82, 110, 26}, "Log löschen", "Inhalt der rechten Liste löschen"},
};

// Place in the control area or in the tab page, also for a control inside a group frame of its page.
QRect PlaceInPage(const QWidget& control) {
  QRect place = control.geometry();
  for (const QWidget* frame = control.parentWidget(); qobject_cast<const QGroupBox*>(frame) != nullptr;
       frame = frame->parentWidget()) {
    place.translate(frame->pos());
  }
  return place;
}

class MainWindowControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(MainWindowControl, HasItsNamePlaceContentAndTooltip) {
  const ControlCase& c = GetParam();
  WindowHarness shell;
  QWidget* control = shell.window->findChild<QWidget*>(ControlName(c.id));
  ASSERT_NE(control, nullptr) << ControlName(c.id).toStdString();
  EXPECT_EQ(control, shell.window->Control(c.id));
  EXPECT_EQ(PlaceInPage(*control), c.geometry);
  EXPECT_EQ(control->toolTip(), QString::fromUtf8(c.tooltip));
  EXPECT_TRUE(control->isEnabled());
  EXPECT_EQ(shell.window->ControlText(c.id), c.content);
  switch (c.kind) {
    case Kind::Text: EXPECT_NE(qobject_cast<QLineEdit*>(control), nullptr); break;
    case Kind::DropDown: {
      auto* combo = qobject_cast<QComboBox*>(control);
      ASSERT_NE(combo, nullptr);
      EXPECT_FALSE(combo->isEditable());
      break;
    }
    case Kind::Editable: {
      auto* combo = qobject_cast<QComboBox*>(control);
      ASSERT_NE(combo, nullptr);
      EXPECT_TRUE(combo->isEditable());
      EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
      break;
    }
    case Kind::Spin: {
      auto* spin = qobject_cast<QSpinBox*>(control);
      ASSERT_NE(spin, nullptr);
      EXPECT_TRUE(spin->alignment() & Qt::AlignRight);
      EXPECT_FALSE(spin->isGroupSeparatorShown());
      EXPECT_EQ(spin->singleStep(), 1);
      break;
    }
    case Kind::Button: {
      auto* button = qobject_cast<QPushButton*>(control);
      ASSERT_NE(button, nullptr);
      EXPECT_FALSE(button->autoDefault());
      EXPECT_FALSE(button->isDefault());
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(All, MainWindowControl, ::testing::ValuesIn(kControls),
                         [](const auto& info) { return ControlName(info.param.id).toStdString(); });

struct LabelledCase {
  ControlId id;
  const char* label;
  const char* name = nullptr;  // what assistive technology reads when it is not the label
  const char* group = nullptr;  // the group frame that holds the control
};
void PrintTo(const LabelledCase& c, std::ostream* os) { *os << ControlName(c.id).toStdString(); }

const LabelledCase kLabelled[] = {
    {ControlId::PortCombo, "RTU Port"},
    {ControlId::BaudCombo, "Baudrate"},
    {ControlId::ParityCombo, "Parität"},
    {ControlId::DataBitsCombo, "Datenbits"},
    {ControlId::StopBitsCombo, "Stoppbits"},
    {ControlId::SlaveIdSpin, "Slave-ID"},
    {ControlId::RtuTimeoutSpin, "Timeout (ms)", "RTU Timeout (ms)"},
    {ControlId::TcpHostField, "TCP Host/IP"},
    {ControlId::TcpPortField, "Port"},
    {ControlId::TcpTimeoutSpin, "Timeout (ms)", "TCP Timeout (ms)"},
    {ControlId::RtuReadTypeCombo, "Typ:"},
    {ControlId::RtuReadStartField, "Startadresse (dez.):"},
    {ControlId::RtuReadCountField, "Anzahl:"},
    {ControlId::RtuWriteAddressField, "Adresse (dez.):", nullptr, "Einzelnes Register (FC 06)"},
    {ControlId::RtuWriteValueField, "Wert:", nullptr, "Einzelnes Register (FC 06)"},
    {ControlId::RtuWriteManyStartField, "Startadresse (dez.):", nullptr, "Mehrere Register (FC 16)"},
    {ControlId::RtuWriteManyValuesField, "Werte (CSV):", nullptr, "Mehrere Register (FC 16)"},
    {ControlId::TcpReadTypeCombo, "Typ:"},
    {ControlId::TcpReadStartField, "Startadresse (dez.):"},
    {ControlId::TcpReadCountField, "Anzahl:"},
    {ControlId::TcpWriteAddressField, "Adresse (dez.):", nullptr, "Einzelnes Register (FC 06)"},
    {ControlId::TcpWriteValueField, "Wert:", nullptr, "Einzelnes Register (FC 06)"},
    {ControlId::TcpWriteManyStartField, "Startadresse (dez.):", nullptr, "Mehrere Register (FC 16)"},
    {ControlId::TcpWriteManyValuesField, "Werte (CSV):", nullptr, "Mehrere Register (FC 16)"},
};

class LabelledControl : public ::testing::TestWithParam<LabelledCase> {};

// What assistive technology reads for the control: its label as the labelling relation and, for fields,
// spin boxes and the typing field of an editable combo, as its name (a combo box itself is named by its
// current entry on this platform), unless a name tells it from a control with the same label. A control
// of a group frame is the frame's child in the tree, and the frame labels it as well.
TEST_P(LabelledControl, IsNamedByItsLabel) {
  const LabelledCase& c = GetParam();
  WindowHarness shell;
  QWidget* control = shell.window->Control(c.id);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
  ASSERT_NE(accessible, nullptr);
  const auto labels = accessible->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), c.group != nullptr ? 2 : 1);
  EXPECT_EQ(labels.front().first->text(QAccessible::Name), QString::fromUtf8(c.label));
  if (c.group != nullptr) {
    EXPECT_EQ(labels.back().first->text(QAccessible::Name), QString::fromUtf8(c.group));
    EXPECT_EQ(accessible->parent()->role(), QAccessible::Grouping);
    EXPECT_EQ(accessible->parent()->text(QAccessible::Name), QString::fromUtf8(c.group));
  }
  auto* combo = qobject_cast<QComboBox*>(control);
  QWidget* field = combo == nullptr ? control : combo->lineEdit();
  if (field != nullptr) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name),
              QString::fromUtf8(c.name != nullptr ? c.name : c.label));
  }
}

// Alike controls told apart for assistive technology; what the window shows stays as it is.
TEST(MainWindowControls, AlikeControlsHaveTheirOwnNames) {
  const struct {
    ControlId id;
    const char* name;
  } cases[] = {
      {ControlId::RtuResultTable, "RTU-Ergebnisse"},        {ControlId::TcpResultTable, "TCP-Ergebnisse"},
      {ControlId::RtuWriteOneButton, "Schreiben (FC 06)"},  {ControlId::TcpWriteOneButton, "Schreiben (FC 06)"},
      {ControlId::RtuWriteManyButton, "Schreiben (FC 16)"}, {ControlId::TcpWriteManyButton, "Schreiben (FC 16)"},
  };
  WindowHarness shell;
  for (const auto& c : cases) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(shell.window->Control(c.id))->text(QAccessible::Name),
              QString::fromUtf8(c.name));
  }
  EXPECT_EQ(shell.Get<QPushButton>(ControlId::RtuWriteManyButton)->text(), "Schreiben");
  for (int field = 0; field < 2; ++field) {
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(shell.window->Status().FieldLabel(field));
    EXPECT_EQ(status->text(QAccessible::Name), field == 0 ? "RTU-Status" : "TCP-Status");
    EXPECT_EQ(status->text(QAccessible::Description), shell.window->Status().Field(field));
  }
}

INSTANTIATE_TEST_SUITE_P(All, LabelledControl, ::testing::ValuesIn(kLabelled),
                         [](const auto& info) { return ControlName(info.param.id).toStdString(); });

struct ListCase {
  ControlId id;
  QStringList entries;
  int selected;
};

TEST(MainWindowControls, DropDownListsHoldTheirEntriesAndDefaults) {
  const ListCase cases[] = {
      {ControlId::BaudCombo, {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, 3},
      {ControlId::ParityCombo, {"None", "Even", "Odd"}, 0},
      {ControlId::DataBitsCombo, {"7", "8"}, 1},
      {ControlId::StopBitsCombo, {"1", "2"}, 0},
      {ControlId::RtuReadTypeCombo, {"Holding (FC 03)", "Input (FC 04)"}, 0},
      {ControlId::TcpReadTypeCombo, {"Holding (FC 03)", "Input (FC 04)"}, 0},
  };
  WindowHarness shell;
  for (const ListCase& c : cases) {
    auto* combo = shell.Get<QComboBox>(c.id);
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
    EXPECT_EQ(entries, c.entries) << ControlName(c.id).toStdString();
    EXPECT_EQ(shell.window->SelectedEntry(c.id), c.selected) << ControlName(c.id).toStdString();
  }
}

TEST(MainWindowControls, SpinRangesAndValuesComeFromTheTypedText) {
  const struct {
    ControlId id;
    int minimum, maximum;
  } ranges[] = {{ControlId::SlaveIdSpin, 1, 247}, {ControlId::RtuTimeoutSpin, 50, 5000}, {ControlId::TcpTimeoutSpin, 50, 5000}};
  WindowHarness shell;
  for (const auto& r : ranges) {
    auto* spin = shell.Get<QSpinBox>(r.id);
    EXPECT_EQ(spin->minimum(), r.minimum);
    EXPECT_EQ(spin->maximum(), r.maximum);
  }
  // Typed but not yet confirmed: the handler still reads what the operator sees.
  auto* spin = shell.Get<QSpinBox>(ControlId::RtuTimeoutSpin);
  spin->findChild<QLineEdit*>()->setText("1234");
  EXPECT_EQ(shell.window->SpinValue(ControlId::RtuTimeoutSpin), 1234);
  EXPECT_EQ(shell.window->ControlText(ControlId::RtuTimeoutSpin), "1234");
  spin->findChild<QLineEdit*>()->setText("");
  EXPECT_EQ(shell.window->SpinValue(ControlId::RtuTimeoutSpin), 1234);
  // Stepping writes plain digits, without group separators.
  spin->setValue(4999);
  spin->stepUp();
  EXPECT_EQ(spin->text(), "5000");
  spin->stepUp();
  EXPECT_EQ(spin->value(), 5000);
}

TEST(MainWindowControls, LabelsCarryTheirTextsAtTheirPlaces) {
  const std::pair<QRect, const char*> area[] = {
      {{10, 10, 210, 16}, "RTU Port"},  {{230, 10, 90, 16}, "Baudrate"},  {{330, 10, 90, 16}, "Parität"},
      {{430, 10, 80, 16}, "Datenbits"}, {{520, 10, 80, 16}, "Stoppbits"}, {{610, 10, 70, 16}, "Slave-ID"},
      {{690, 10, 90, 16}, "Timeout (ms)"}, {{10, 62, 80, 16}, "TCP Host/IP"}, {{230, 62, 50, 16}, "Port"},
      {{320, 62, 90, 16}, "Timeout (ms)"},
  };
  const std::pair<QRect, const char*> readPage[] = {
      {{20, 12, 80, 20}, "Typ:"}, {{20, 44, 110, 20}, "Startadresse (dez.):"}, {{300, 44, 60, 20}, "Anzahl:"}};
  const std::pair<QRect, const char*> writePage[] = {{{35, 40, 100, 20}, "Adresse (dez.):"},
                                                     {{285, 40, 60, 20}, "Wert:"},
                                                     {{35, 170, 120, 20}, "Startadresse (dez.):"},
                                                     {{285, 170, 80, 20}, "Werte (CSV):"}};
  const auto labelsOf = [](QWidget* parent) {
    std::vector<std::pair<QRect, QString>> found;
    for (QLabel* label : parent->findChildren<QLabel*>()) {
      // Plain labels have no id and so no name; the logo picture is a named control. Labels of a tab page
      // belong to the page, not to the area.
      QWidget* holder = label->parentWidget();
      const bool own = holder == parent || (qobject_cast<QGroupBox*>(holder) && holder->parentWidget() == parent);
      if (own && label->objectName().isEmpty()) found.emplace_back(PlaceInPage(*label), label->text());
    }
    return found;
  };
  const auto expect = [](const auto& wanted, const std::vector<std::pair<QRect, QString>>& found) {
    ASSERT_EQ(found.size(), std::size(wanted));
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].first, wanted[i].first);
      EXPECT_EQ(found[i].second, QString::fromUtf8(wanted[i].second));
    }
  };
  WindowHarness shell;
  expect(area, labelsOf(shell.window->ControlArea()));
  OperationTabs* tabs = shell.window->Tabs();
  for (int page : {0, 2}) expect(readPage, labelsOf(tabs->widget(page)));
  for (int page : {1, 3}) {
    expect(writePage, labelsOf(tabs->widget(page)));
    const QList<QGroupBox*> frames = tabs->widget(page)->findChildren<QGroupBox*>();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0]->title(), "Einzelnes Register (FC 06)");
    EXPECT_EQ(frames[0]->geometry(), QRect(20, 10, 650, 110));
    EXPECT_EQ(frames[1]->title(), "Mehrere Register (FC 16)");
    EXPECT_EQ(frames[1]->geometry(), QRect(20, 140, 650, 110));
  }
}

TEST(MainWindowControls, WindowTitleMenuAndTabs) {
  WindowHarness shell;
  EXPECT_EQ(shell.window->windowTitle(), "Varnetik");
  const QList<QAction*> menus = shell.window->menuBar()->actions();
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0]->text(), "Menü");
  ASSERT_EQ(menus[0]->menu()->actions().size(), 1);
  EXPECT_EQ(menus[0]->menu()->actions()[0]->text(), "Info...");
  OperationTabs* tabs = shell.window->Tabs();
  QStringList titles;
  for (int i = 0; i < tabs->count(); ++i) titles << tabs->tabText(i);
  EXPECT_EQ(titles, QStringList({"RTU Lesen", "RTU Schreiben", "TCP Lesen", "TCP Schreiben"}));
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_FALSE(shell.window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(shell.window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(shell.window->findChild<QWidget*>("StatusBar"), static_cast<QWidget*>(shell.window->statusBar()));
  EXPECT_NE(shell.window->findChild<QWidget*>("LogList"), nullptr);
  EXPECT_NE(shell.window->findChild<QWidget*>("OperationTabs"), nullptr);
}

TEST(MainWindowControls, TabMovesThroughTheControlsInCreationOrder) {
  WindowHarness shell;
  shell.ShowAndSettle();
  const std::vector<ControlId> order = {
      ControlId::PortCombo,        ControlId::BaudCombo,        ControlId::ParityCombo,
      ControlId::DataBitsCombo,    ControlId::StopBitsCombo,    ControlId::SlaveIdSpin,
      ControlId::RtuTimeoutSpin,   ControlId::ScanButton,       ControlId::RtuConnectButton,
      ControlId::RtuDisconnectButton, ControlId::TcpHostField,  ControlId::TcpPortField,
      ControlId::TcpTimeoutSpin,   ControlId::TcpConnectButton, ControlId::TcpDisconnectButton,
      ControlId::OperationTabs,    ControlId::RtuReadTypeCombo, ControlId::RtuReadStartField,
      ControlId::RtuReadCountField, ControlId::RtuReadButton,   ControlId::RtuResultTable,
      ControlId::LogList,          ControlId::ClearLogButton,
  };
  shell.window->Control(order.front())->setFocus();
  std::vector<ControlId> visited;
  for (size_t step = 0; step < order.size(); ++step) {
    QWidget* focused = shell.window->focusWidget();
    ASSERT_NE(focused, nullptr);
    // The editable combo and the spin boxes hand the focus to their inner field.
    for (QWidget* w = focused; w != nullptr; w = w->parentWidget()) {
      const auto found = std::find_if(order.begin(), order.end(),
                                      [&](ControlId id) { return shell.window->Control(id) == w; });
      if (found != order.end()) {
        visited.push_back(*found);
        break;
      }
    }
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_EQ(visited, order);
}

// The page keys switch pages wherever the focus is, before a drop-down list or a field can take them.
TEST(MainWindowControls, PageKeysSwitchPagesFromEveryControl) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int page;  // from the first page
  } keys[] = {
      {Qt::Key_Tab, Qt::ControlModifier, 1},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 3},
      {Qt::Key_PageDown, Qt::ControlModifier, 1},
      {Qt::Key_PageUp, Qt::ControlModifier, 3},
  };
  const ControlId focused[] = {ControlId::RtuReadTypeCombo, ControlId::RtuReadCountField, ControlId::PortCombo,
                               ControlId::SlaveIdSpin,      ControlId::RtuResultTable,    ControlId::LogList,
                               ControlId::ScanButton,       ControlId::OperationTabs};
  WindowHarness shell;
  shell.ShowAndSettle();
  shell.window->activateWindow();
  shell.window->ReplaceTableRows(ControlId::RtuResultTable, {{"0x0000", "0", "$0001", "1"}});
  OperationTabs* tabs = shell.window->Tabs();
  auto* type = shell.Get<QComboBox>(ControlId::RtuReadTypeCombo);
  for (ControlId id : focused) {
    for (const auto& k : keys) {
      tabs->setCurrentIndex(0);
      shell.window->Control(id)->setFocus();
      QTest::keyClick(shell.window->windowHandle(), k.key, k.modifiers);
      EXPECT_EQ(tabs->currentIndex(), k.page) << ControlName(id).toStdString() << " " << k.key;
      EXPECT_EQ(type->currentIndex(), 0) << ControlName(id).toStdString() << " " << k.key;
    }
  }
}

// The FC 16 group's start field covers the end of its caption's box; at 96 dpi the caption's text, colon
// included, ends before the field.
TEST(MainWindowControls, CaptionUnderAFieldEndsBeforeIt) {
  WindowHarness shell;
  shell.ShowAndSettle();
  QWidget* field = shell.window->Control(ControlId::RtuWriteManyStartField);
  const auto* caption = qobject_cast<const QLabel*>(
      QAccessible::queryAccessibleInterface(field)->relations(QAccessible::Label).front().first->object());
  ASSERT_NE(caption, nullptr);
  ASSERT_EQ(caption->text(), "Startadresse (dez.):");
  EXPECT_LT(caption->x(), field->x());
  EXPECT_GT(caption->geometry().right(), field->x());
  EXPECT_LE(caption->x() + QFontMetricsF(caption->font()).horizontalAdvance(caption->text()), field->x());
}

}  // namespace
}  // namespace varnetik
