// The tab panel with the four operation pages. It tells where its pages start, so the result tables can be
// fitted before the panel has laid itself out (that happens only once it is shown).
#pragma once

#include <QTabWidget>

namespace varnetik {

class OperationTabs : public QTabWidget {
  Q_OBJECT

 public:
  explicit OperationTabs(QWidget* parent);

  // Distance from the panel's top edge to the top edge of its pages: the tab bar and the frame.
  int PageTop() const;
};

}  // namespace varnetik
