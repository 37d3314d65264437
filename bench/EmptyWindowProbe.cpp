// The anchor of the start-up benchmark: an empty main window, built and started like the program, with
// the same clock readings (QApplication built, window built, shown window through the event loop once).
// Given the argument "label", the window holds one label whose size is asked for, so that the font
// database is loaded as by any window that shows text; that variant shows which part of the gap is the
// fonts.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <cstdio>
#include <cstring>

#include "bench/BenchFigures.h"

int main(int argc, char** argv) {
  const bool withLabel = argc > 1 && std::strcmp(argv[1], "label") == 0;
  QApplication app(argc, argv);
  const int64_t appBuilt = varnetik::bench::MonotonicNs();
  QMainWindow window;
  if (withLabel) {
    auto* label = new QLabel(QStringLiteral("Bereit."), &window);
    window.setCentralWidget(label);
    label->sizeHint();
  }
  const int64_t ready = varnetik::bench::MonotonicNs();
  window.show();
  QApplication::processEvents();
  const int64_t shown = varnetik::bench::MonotonicNs();
  std::printf("app %lld\nready %lld\nshown %lld\n", static_cast<long long>(appBuilt),
              static_cast<long long>(ready), static_cast<long long>(shown));
  return 0;
}
