#include "app/OperationTabs.h"

#include <QStyle>
#include <QStyleOptionTabWidgetFrame>

#include "app/ControlFactory.h"

namespace varnetik {

OperationTabs::OperationTabs(QWidget* parent) : QTabWidget(parent) {
  setObjectName(ControlName(ControlId::OperationTabs));
}

int OperationTabs::PageTop() const {
  // The same rectangle the panel gives its pages when it lays itself out.
  QStyleOptionTabWidgetFrame option;
  initStyleOption(&option);
  return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).top();
}

}  // namespace varnetik
