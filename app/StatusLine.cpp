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
  bar->addWidget(fields_[0], 0);
  bar->addWidget(fields_[1], 1);
}

void StatusLine::Show(const QString& serialText, const QString& tcpText) {
  fields_[0]->setText(serialText);
  fields_[1]->setText(tcpText);
}

QString StatusLine::Field(int index) const { return FieldLabel(index) ? FieldLabel(index)->text() : QString(); }

QLabel* StatusLine::FieldLabel(int index) const { return index == 0 || index == 1 ? fields_[index] : nullptr; }

}  // namespace varnetik
