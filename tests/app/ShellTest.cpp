// Start-up, the port list, the dispatch of every button, and shutdown.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/InfoWindow.h"
#include "app/Shell.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RealInput.h"

namespace varnetik {
namespace {

using testing::WindowHarness;
using testing::TestConfig;

TEST(StartUp, WithoutPortsTheComboIsEmptyAndThePortNameKept) {
  WindowHarness shell;
  auto* ports = shell.Get<QComboBox>(ControlId::PortCombo);
  EXPECT_EQ(ports->count(), 0);
  EXPECT_EQ(ports->currentText(), "");
  EXPECT_EQ(shell.state.rtu.portName, "COM3");
  EXPECT_EQ(shell.state.slaveId, 1);
  EXPECT_FALSE(shell.state.rtu.IsOpen());
}

TEST(StartUp, FoundPortsAreListedAndTheFirstBecomesThePortName) {
  testing::PtyPair first;
  testing::PtyPair second;
  WindowHarness shell(TestConfig({"/dev/varnetik-no-such-port", first.Path(), second.Path()}));
  auto* ports = shell.Get<QComboBox>(ControlId::PortCombo);
  ASSERT_EQ(ports->count(), 2);
  EXPECT_EQ(ports->itemText(0).toStdString(), first.Path());
  EXPECT_EQ(ports->itemText(1).toStdString(), second.Path());
  EXPECT_EQ(ports->currentIndex(), 0);
  EXPECT_EQ(shell.state.rtu.portName, first.Path());
  EXPECT_EQ(shell.LogLines(), QStringList({"Gefundene COM Ports: 2", "Bereit."}));
}

TEST(ScanButton, RefillsTheListWithoutPilingUpAndLogsTwoLines) {
  testing::PtyPair port;
  WindowHarness shell(TestConfig({port.Path()}));
  auto* scan = shell.Get<QPushButton>(ControlId::ScanButton);
  shell.Get<QComboBox>(ControlId::PortCombo)->setEditText("getippt");
  QTest::mouseClick(scan, Qt::LeftButton);
  QTest::mouseClick(scan, Qt::LeftButton);
  auto* ports = shell.Get<QComboBox>(ControlId::PortCombo);
  EXPECT_EQ(ports->count(), 1);
  EXPECT_EQ(ports->currentText().toStdString(), port.Path());
  EXPECT_EQ(shell.LogLines().mid(2), QStringList({"Gefundene COM Ports: 1", "Portliste aktualisiert.",
                                             "Gefundene COM Ports: 1", "Portliste aktualisiert."}));
}

// Every button reaches its handler: with both links closed each answers in its own first words.
TEST(Dispatch, EveryButtonReachesItsHandler) {
  using Box = std::pair<QString, QString>;
  const struct {
    ControlId button;
    std::optional<Box> box;
    const char* logLine;
  } cases[] = {
      {ControlId::RtuConnectButton, Box{"Hinweis", "Bitte einen Port wählen/eingeben."}, nullptr},
      {ControlId::RtuDisconnectButton, std::nullopt, "Port geschlossen."},
      {ControlId::RtuReadButton, Box{"Hinweis", "Bitte zuerst den Port öffnen."}, nullptr},
      {ControlId::RtuWriteOneButton, Box{"Hinweis", "Bitte zuerst den Port öffnen."}, nullptr},
      {ControlId::RtuWriteManyButton, Box{"Hinweis", "Bitte zuerst den Port öffnen."}, nullptr},
      {ControlId::TcpConnectButton, Box{"Hinweis", "Bitte Host/IP und Port angeben."}, nullptr},
      {ControlId::TcpDisconnectButton, std::nullopt, "TCP getrennt."},
      {ControlId::TcpReadButton, Box{"Hinweis", "Bitte zuerst TCP verbinden."}, nullptr},
      {ControlId::TcpWriteOneButton, Box{"Hinweis", "Bitte zuerst TCP verbinden."}, nullptr},
      {ControlId::TcpWriteManyButton, Box{"Hinweis", "Bitte zuerst TCP verbinden."}, nullptr},
  };
  for (const auto& c : cases) {
    WindowHarness shell;
    shell.Get<QLineEdit>(ControlId::TcpHostField)->clear();
    const QStringList before = shell.LogLines();
    QTest::mouseClick(shell.Get<QPushButton>(c.button), Qt::LeftButton);
    if (c.box) {
      EXPECT_EQ(shell.dialogs.messages, std::vector<Box>({*c.box})) << static_cast<int>(c.button);
      EXPECT_EQ(shell.LogLines(), before);
    } else {
      EXPECT_TRUE(shell.dialogs.messages.empty());
      EXPECT_EQ(shell.LogLines().last(), c.logLine);
    }
  }
}

// The desktop's box: modal, plain text, no icon, one "OK" button, gone after Enter.
TEST(Dispatch, HintIsARealBoxClosedWithEnter) {
  WindowHarness shell(testing::Dialogs::Desktop);
  shell.ShowAndSettle();
  const QStringList logBefore = shell.LogLines();
  QStringList buttons;
  testing::ModalAnswers answers({[&](QWidget& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    for (QAbstractButton* button : box.buttons()) buttons << button->text();
    testing::PressEnter(dialog);
  }});
  QTest::mouseClick(shell.Get<QPushButton>(ControlId::TcpReadButton), Qt::LeftButton);
  EXPECT_EQ(answers.Seen(), QStringList({"Hinweis|Bitte zuerst TCP verbinden."}));
  EXPECT_EQ(buttons, QStringList({"OK"}));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(shell.LogLines(), logBefore);
}

// Once the real hint box is closed with Enter, the refused entry has the focus, its text selected.
TEST(Dispatch, ClosedHintBoxLeavesTheFocusInTheRefusedEntry) {
  WindowHarness shell(testing::Dialogs::Desktop);
  shell.ShowAndSettle();
  shell.window->activateWindow();
  auto* port = shell.Get<QLineEdit>(ControlId::TcpPortField);
  port->setText("70000");
  testing::ModalAnswers answers({testing::PressEnter});
  QTest::mouseClick(shell.Get<QPushButton>(ControlId::TcpConnectButton), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(answers.Seen(), QStringList({"Hinweis|Bitte Host/IP und Port angeben."}));
  // The window manager gives the main window back its activation (the offscreen platform does not).
  shell.window->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), port);
  EXPECT_EQ(port->selectedText(), "70000");
}

// Runs the program's loop with `during` called once the window is up; returns the exit code.
int RunWith(AppState& state, const std::function<void(MainWindow&)>& during) {
  testing::RecordingDialogs dialogs;
  QTimer::singleShot(0, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* window = qobject_cast<MainWindow*>(widget)) during(*window);
    }
  });
  return RunVarnetik(*qApp, state, TestConfig(), dialogs);
}

TEST(Shutdown, ClosingTheMainWindowClosesTheSerialPortAndExitsWithZero) {
  testing::PtyPair line;
  AppState state;
  bool wasOpen = false;
  const int code = RunWith(state, [&](MainWindow& window) {
    qobject_cast<QComboBox*>(window.Control(ControlId::PortCombo))->setEditText(QString::fromStdString(line.Path()));
    qobject_cast<QPushButton*>(window.Control(ControlId::RtuConnectButton))->click();
    wasOpen = state.rtu.IsOpen();
    window.close();
  });
  EXPECT_TRUE(wasOpen);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(state.rtu.IsOpen());
}

TEST(Shutdown, AnOpenInfoWindowDoesNotKeepTheProgramRunning) {
  AppState state;
  const int code = RunWith(state, [](MainWindow& window) {
    window.ShowInfoWindow();
    window.close();
  });
  EXPECT_EQ(code, 0);
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<InfoWindow*>(widget), nullptr);
}

}  // namespace
}  // namespace varnetik
