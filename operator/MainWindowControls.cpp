#include "operator/MainWindowControls.h"

namespace varnetik {

namespace {

using K = ControlKind;
using P = ControlPage;

ControlPlan Label(P page, LogicalRect rect, const char* caption) { return {K::Label, std::nullopt, page, rect, caption, {}, {}}; }

ControlPlan Field(P page, ControlId id, LogicalRect rect, const char* text) { return {K::TextField, id, page, rect, text, {}, {}}; }

ControlPlan Button(P page, ControlId id, LogicalRect rect, const char* caption) { return {K::Button, id, page, rect, caption, {}, {}}; }

ControlPlan Spin(ControlId id, LogicalRect rect, int minimum, int maximum, const char* tooltip) {
  return {K::SpinBox, id, P::Window, rect, {}, tooltip, {}, minimum, maximum};
}

ControlPlan List(P page, ControlId id, LogicalRect rect, std::vector<std::string> entries, const char* tooltip) {
  return {K::DropDownList, id, page, rect, {}, tooltip, std::move(entries)};
}

// The two read pages are alike, and so are the two write pages: only the ids differ.
void AddReadPage(std::vector<ControlPlan>& out, P page, ControlId type, ControlId start, ControlId count,
                 ControlId read) {
  out.push_back(Label(page, {20, 12, 80, 20}, "Typ:"));
  out.push_back(List(page, type, {140, 10, 150, 24}, {"Holding (FC 03)", "Input (FC 04)"}, ""));
  out.push_back(Label(page, {20, 44, 110, 20}, "Startadresse (dez.):"));
  out.push_back(Field(page, start, {140, 40, 120, 24}, "0"));
  out.push_back(Label(page, {300, 44, 60, 20}, "Anzahl:"));
  out.push_back(Field(page, count, {360, 40, 80, 24}, "2"));
  out.push_back(Button(page, read, {460, 40, 90, 24}, "Lesen"));
}

void AddWritePage(std::vector<ControlPlan>& out, P page, ControlId address, ControlId value, ControlId one,
                  ControlId manyStart, ControlId manyValues, ControlId many) {
  out.push_back({K::GroupFrame, std::nullopt, page, {20, 10, 650, 110}, "Einzelnes Register (FC 06)", {}, {}});
  out.push_back(Label(page, {35, 40, 100, 20}, "Adresse (dez.):"));
  out.push_back(Field(page, address, {140, 36, 120, 24}, "0"));
  out.push_back(Label(page, {285, 40, 60, 20}, "Wert:"));
  out.push_back(Field(page, value, {365, 36, 100, 24}, "0"));
  out.push_back(Button(page, one, {520, 36, 120, 24}, "Schreiben"));
  out.push_back({K::GroupFrame, std::nullopt, page, {20, 140, 650, 110}, "Mehrere Register (FC 16)", {}, {}});
  out.push_back(Label(page, {35, 170, 120, 20}, "Startadresse (dez.):"));
  out.push_back(Field(page, manyStart, {140, 166, 120, 24}, "0"));
  out.push_back(Label(page, {285, 170, 80, 20}, "Werte (CSV):"));
  out.push_back(Field(page, manyValues, {365, 166, 130, 24}, "10,20,30"));
  out.push_back(Button(page, many, {520, 166, 120, 24}, "Schreiben"));
}

std::vector<ControlPlan> BuildControls() {
  using I = ControlId;
  std::vector<ControlPlan> out;
  out.push_back(Label(P::Window, {10, 10, 210, 16}, "RTU Port"));
  out.push_back({K::EditableCombo, I::PortCombo, P::Window, {10, 28, 210, 24}, {},
                 "Serieller Port (z. B. COM3 oder /dev/ttyUSB0)", {}});
  out.push_back(Label(P::Window, {230, 10, 90, 16}, "Baudrate"));
  out.push_back(List(P::Window, I::BaudCombo, {230, 28, 90, 24},
                     {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, "Baudrate"));
  out.push_back(Label(P::Window, {330, 10, 90, 16}, "Parität"));
  out.push_back(List(P::Window, I::ParityCombo, {330, 28, 90, 24}, {"None", "Even", "Odd"}, "Parität: None / Even / Odd"));
  out.push_back(Label(P::Window, {430, 10, 80, 16}, "Datenbits"));
  out.push_back(List(P::Window, I::DataBitsCombo, {430, 28, 80, 24}, {"7", "8"}, "Datenbits: 7 oder 8"));
  out.push_back(Label(P::Window, {520, 10, 80, 16}, "Stoppbits"));
  out.push_back(List(P::Window, I::StopBitsCombo, {520, 28, 80, 24}, {"1", "2"}, "Stoppbits: 1 oder 2"));
  out.push_back(Label(P::Window, {610, 10, 70, 16}, "Slave-ID"));
  out.push_back(Spin(I::SlaveIdSpin, {610, 28, 70, 24}, 1, 247, "Unit/Slave-ID (1..247)"));
  out.push_back(Label(P::Window, {690, 10, 90, 16}, "Timeout (ms)"));
  out.push_back(Spin(I::RtuTimeoutSpin, {690, 28, 80, 24}, 50, 5000, "Gesamt-Timeout für RX in Millisekunden"));
  // Each button starts 10 to the right of the control before it.
  out.push_back(Button(P::Window, I::ScanButton, {780, 28, 84, 24}, "Scannen"));
  out.push_back(Button(P::Window, I::RtuConnectButton, {874, 28, 88, 24}, "Verbinden"));
  out.push_back(Button(P::Window, I::RtuDisconnectButton, {972, 28, 96, 24}, "Trennen"));

  out.push_back(Label(P::Window, {10, 62, 80, 16}, "TCP Host/IP"));
  out.push_back(Field(P::Window, I::TcpHostField, {10, 80, 210, 24}, ""));
  out.push_back(Label(P::Window, {230, 62, 50, 16}, "Port"));
  out.push_back(Field(P::Window, I::TcpPortField, {230, 80, 80, 24}, ""));
  out.push_back(Label(P::Window, {320, 62, 90, 16}, "Timeout (ms)"));
  out.push_back(Spin(I::TcpTimeoutSpin, {320, 80, 80, 24}, 50, 5000, ""));
  out.push_back(Button(P::Window, I::TcpConnectButton, {410, 80, 100, 24}, "TCP verbinden"));
  out.push_back(Button(P::Window, I::TcpDisconnectButton, {520, 80, 100, 24}, "TCP trennen"));

  AddReadPage(out, P::RtuRead, I::RtuReadTypeCombo, I::RtuReadStartField, I::RtuReadCountField, I::RtuReadButton);
  AddWritePage(out, P::RtuWrite, I::RtuWriteAddressField, I::RtuWriteValueField, I::RtuWriteOneButton,
               I::RtuWriteManyStartField, I::RtuWriteManyValuesField, I::RtuWriteManyButton);
  AddReadPage(out, P::TcpRead, I::TcpReadTypeCombo, I::TcpReadStartField, I::TcpReadCountField, I::TcpReadButton);
  AddWritePage(out, P::TcpWrite, I::TcpWriteAddressField, I::TcpWriteValueField, I::TcpWriteOneButton,
               I::TcpWriteManyStartField, I::TcpWriteManyValuesField, I::TcpWriteManyButton);
  return out;
}

}  // namespace

const std::vector<ControlPlan>& MainWindowControls() {
  static const std::vector<ControlPlan> controls = BuildControls();
  return controls;
}

const std::vector<std::string>& TabPageTitles() {
  static const std::vector<std::string> titles{"RTU Lesen", "RTU Schreiben", "TCP Lesen", "TCP Schreiben"};
  return titles;
}

}  // namespace varnetik
