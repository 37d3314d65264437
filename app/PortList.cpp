#include "app/PortList.h"

#include <QComboBox>

#include "serial/RtuLink.h"

namespace varnetik {

void FillPortCombo(QComboBox& combo, const std::vector<std::string>& names) {
  combo.clear();
  for (const std::string& name : names) combo.addItem(QString::fromStdString(name));
}

void ApplyPortList(QComboBox& combo, RtuLink& link) {
  if (combo.count() > 0) {
    combo.setCurrentIndex(0);
    link.portName = combo.itemText(0).toStdString();
  } else {
    combo.setEditText(QString());
  }
}

}  // namespace varnetik
