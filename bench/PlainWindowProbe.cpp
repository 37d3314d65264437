// The fair anchor of the start-up benchmark: a main window with the program's controls (menu, the serial
// and TCP rows, the four tab pages with their fields, frames and result tables, the log and the status
// line) at their places, built plainly with stock widgets: no port scan, no pictures, no font fitting, no
// accessible names. Same clock readings as the other probes.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>

#include "bench/BenchFigures.h"

namespace {

template <typename Widget>
Widget* Place(Widget* widget, const QRect& geometry) {
  widget->setGeometry(geometry);
  return widget;
}

void Label(QWidget* parent, const QRect& geometry, const QString& text) { Place(new QLabel(text, parent), geometry); }

void Field(QWidget* parent, const QRect& geometry, const QString& text) {
  Place(new QLineEdit(text, parent), geometry);
}

void Button(QWidget* parent, const QRect& geometry, const QString& text) {
  Place(new QPushButton(text, parent), geometry);
}

void List(QWidget* parent, const QRect& geometry, const QStringList& entries, int selected) {
  auto* combo = Place(new QComboBox(parent), geometry);
  combo->addItems(entries);
  combo->setCurrentIndex(selected);
}

void Spin(QWidget* parent, const QRect& geometry, int low, int high, int value) {
  auto* spin = Place(new QSpinBox(parent), geometry);
  spin->setRange(low, high);
  spin->setValue(value);
}

QWidget* ReadPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  Label(page, {20, 12, 80, 20}, QStringLiteral("Typ:"));
  List(page, {140, 10, 150, 24}, {QStringLiteral("Holding (FC 03)"), QStringLiteral("Input (FC 04)")}, 0);
  Label(page, {20, 44, 110, 20}, QStringLiteral("Startadresse (dez.):"));
  Field(page, {140, 40, 120, 24}, QStringLiteral("0"));
  Label(page, {300, 44, 60, 20}, QStringLiteral("Anzahl:"));
  Field(page, {360, 40, 80, 24}, QStringLiteral("2"));
  Button(page, {460, 40, 90, 24}, QStringLiteral("Lesen"));
  auto* table = Place(new QTreeWidget(page), {10, 80, 670, 360});
  table->setHeaderLabels({QStringLiteral("Adresse hex."), QStringLiteral("Adresse dez."), QStringLiteral("Wert hex."),
                          QStringLiteral("Wert dez."), QString()});
  return page;
}

QWidget* WritePage(QWidget* parent) {
  auto* page = new QWidget(parent);
  const QString titles[] = {QStringLiteral("Einzelnes Register (FC 06)"), QStringLiteral("Mehrere Register (FC 16)")};
  for (int group = 0; group < 2; ++group) {
    auto* frame = Place(new QGroupBox(titles[group], page), {20, 10 + 130 * group, 650, 110});
    Label(frame, {15, 30, 100, 20},
          group == 0 ? QStringLiteral("Adresse (dez.):") : QStringLiteral("Startadresse (dez.):"));
    Field(frame, {120, 26, 120, 24}, QStringLiteral("0"));
    Label(frame, {265, 30, 80, 20}, group == 0 ? QStringLiteral("Wert:") : QStringLiteral("Werte (CSV):"));
    Field(frame, {345, 26, 120, 24}, group == 0 ? QStringLiteral("0") : QStringLiteral("10,20,30"));
    Button(frame, {500, 26, 120, 24}, QStringLiteral("Schreiben"));
  }
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int64_t appBuilt = varnetik::bench::MonotonicNs();
  QMainWindow window;
  window.resize(1078, 700);
  window.menuBar()->setNativeMenuBar(false);
  window.menuBar()->addMenu(QStringLiteral("Menü"))->addAction(QStringLiteral("Info..."));
  auto* area = new QWidget(&window);
  window.setCentralWidget(area);

  Label(area, {10, 10, 210, 16}, QStringLiteral("RTU Port"));
  Place(new QComboBox(area), {10, 28, 210, 24})->setEditable(true);
  Label(area, {230, 10, 90, 16}, QStringLiteral("Baudrate"));
  List(area, {230, 28, 90, 24}, {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, 3);
  Label(area, {330, 10, 90, 16}, QStringLiteral("Parität"));
  List(area, {330, 28, 90, 24}, {"None", "Even", "Odd"}, 0);
  Label(area, {430, 10, 80, 16}, QStringLiteral("Datenbits"));
  List(area, {430, 28, 80, 24}, {"7", "8"}, 1);
  Label(area, {520, 10, 80, 16}, QStringLiteral("Stoppbits"));
  List(area, {520, 28, 80, 24}, {"1", "2"}, 0);
  Label(area, {610, 10, 70, 16}, QStringLiteral("Slave-ID"));
  Spin(area, {610, 28, 70, 24}, 1, 247, 1);
  Label(area, {690, 10, 90, 16}, QStringLiteral("Timeout (ms)"));
  Spin(area, {690, 28, 80, 24}, 50, 5000, 800);
  Button(area, {780, 28, 84, 24}, QStringLiteral("Scannen"));
  Button(area, {874, 28, 88, 24}, QStringLiteral("Verbinden"));
  Button(area, {972, 28, 96, 24}, QStringLiteral("Trennen"));

  Label(area, {10, 62, 80, 16}, QStringLiteral("TCP Host/IP"));
  Field(area, {10, 80, 210, 24}, QStringLiteral("127.0.0.1"));
  Label(area, {230, 62, 50, 16}, QStringLiteral("Port"));
  Field(area, {230, 80, 80, 24}, QStringLiteral("502"));
  Label(area, {320, 62, 90, 16}, QStringLiteral("Timeout (ms)"));
  Spin(area, {320, 80, 80, 24}, 50, 5000, 800);
  Button(area, {410, 80, 100, 24}, QStringLiteral("TCP verbinden"));
  Button(area, {520, 80, 100, 24}, QStringLiteral("TCP trennen"));

  auto* tabs = Place(new QTabWidget(area), {10, 130, 700, 550});
  tabs->addTab(ReadPage(tabs), QStringLiteral("RTU Lesen"));
  tabs->addTab(WritePage(tabs), QStringLiteral("RTU Schreiben"));
  tabs->addTab(ReadPage(tabs), QStringLiteral("TCP Lesen"));
  tabs->addTab(WritePage(tabs), QStringLiteral("TCP Schreiben"));

  auto* log = Place(new QListWidget(area), {720, 130, 348, 470});
  log->addItem(QStringLiteral("[00:00:00] Keine verfügbaren Ports gefunden."));
  log->addItem(QStringLiteral("[00:00:00] Bereit."));
  Button(area, {720, 610, 110, 26}, QStringLiteral("Log löschen"));
  window.statusBar()->addWidget(new QLabel(QStringLiteral("RTU: getrennt")));
  window.statusBar()->addWidget(new QLabel(QStringLiteral("TCP: getrennt")), 1);

  const int64_t ready = varnetik::bench::MonotonicNs();
  window.show();
  QApplication::processEvents();
  const int64_t shown = varnetik::bench::MonotonicNs();
  std::printf("app %lld\nready %lld\nshown %lld\n", static_cast<long long>(appBuilt), static_cast<long long>(ready),
              static_cast<long long>(shown));
  return 0;
}
