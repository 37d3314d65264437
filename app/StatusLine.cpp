#include "app/StatusLine.h"

#include <QLabel>
#include <QStatusBar>

namespace varnetik {

StatusLine::StatusLine(QStatusBar* bar) {
  fields_[0] = new QLabel(bar);
  fields_[0]->setObjectName(QStringLiteral("SerialStatusField"));
  fields_[0]->setFixedWidth(kSerialStatusWidth);
  fields_[1] = new QLabel(bar);
  fields_[1]->setObjectName(QStringLiteral("TcpStatusField"));
  for (QLabel* field : fields_) field->setTextFormat(Qt::PlainText);
  fields_[0]->setAccessibleName(QStringLiteral("RTU-Status"));
  fields_[1]->setAccessibleName(QStringLiteral("TCP-Status"));
  bar->addWidget(fields_[0], 0);
  bar->addWidget(fields_[1], 1);
}

void StatusLine::Show(const QString& serialText, const QString& tcpText) {
  fields_[0]->setText(serialText);
  fields_[1]->setText(tcpText);
  // Named by what they show about; the state itself is their description (and their text).
  fields_[0]->setAccessibleDescription(serialText);
  fields_[1]->setAccessibleDescription(tcpText);
}

QString StatusLine::Field(int index) const { return FieldLabel(index) ? FieldLabel(index)->text() : QString(); }

QLabel* StatusLine::FieldLabel(int index) const { return index == 0 || index == 1 ? fields_[index] : nullptr; }

}  // namespace varnetik
