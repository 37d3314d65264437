#include "app/ControlFactory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace varnetik {

namespace {

struct NamedId {
  ControlId id;
  const char* name;
};

constexpr NamedId kControlNames[] = {
    {ControlId::PortCombo, "PortCombo"},
    {ControlId::BaudCombo, "BaudCombo"},
    {ControlId::ParityCombo, "ParityCombo"},
    {ControlId::DataBitsCombo, "DataBitsCombo"},
    {ControlId::StopBitsCombo, "StopBitsCombo"},
    {ControlId::SlaveIdSpin, "SlaveIdSpin"},
    {ControlId::RtuTimeoutSpin, "RtuTimeoutSpin"},
    {ControlId::ScanButton, "ScanButton"},
    {ControlId::RtuConnectButton, "RtuConnectButton"},
    {ControlId::RtuDisconnectButton, "RtuDisconnectButton"},
    {ControlId::OperationTabs, "OperationTabs"},
    {ControlId::RtuReadTypeCombo, "RtuReadTypeCombo"},
    {ControlId::RtuReadStartField, "RtuReadStartField"},
    {ControlId::RtuReadCountField, "RtuReadCountField"},
    {ControlId::RtuReadButton, "RtuReadButton"},
    {ControlId::RtuResultTable, "RtuResultTable"},
    {ControlId::RtuWriteAddressField, "RtuWriteAddressField"},
    {ControlId::RtuWriteValueField, "RtuWriteValueField"},
    {ControlId::RtuWriteOneButton, "RtuWriteOneButton"},
    {ControlId::RtuWriteManyStartField, "RtuWriteManyStartField"},
    {ControlId::RtuWriteManyValuesField, "RtuWriteManyValuesField"},
    {ControlId::RtuWriteManyButton, "RtuWriteManyButton"},
    {ControlId::LogList, "LogList"},
    {ControlId::LogoPicture, "LogoPicture"},
    {ControlId::ClearLogButton, "ClearLogButton"},
    {ControlId::TcpHostField, "TcpHostField"},
    {ControlId::TcpPortField, "TcpPortField"},
    {ControlId::TcpTimeoutSpin, "TcpTimeoutSpin"},
    {ControlId::TcpConnectButton, "TcpConnectButton"},
    {ControlId::TcpDisconnectButton, "TcpDisconnectButton"},
    {ControlId::TcpReadTypeCombo, "TcpReadTypeCombo"},
    {ControlId::TcpReadStartField, "TcpReadStartField"},
    {ControlId::TcpReadCountField, "TcpReadCountField"},
    {ControlId::TcpReadButton, "TcpReadButton"},
    {ControlId::TcpResultTable, "TcpResultTable"},
    {ControlId::TcpWriteAddressField, "TcpWriteAddressField"},
    {ControlId::TcpWriteValueField, "TcpWriteValueField"},
    {ControlId::TcpWriteOneButton, "TcpWriteOneButton"},
    {ControlId::TcpWriteManyStartField, "TcpWriteManyStartField"},
    {ControlId::TcpWriteManyValuesField, "TcpWriteManyValuesField"},
    {ControlId::TcpWriteManyButton, "TcpWriteManyButton"},
};

void Place(QWidget* control, ControlId id, const QRect& geometry) {
  control->setObjectName(ControlName(id));
  control->setGeometry(geometry);
}

}  // namespace

QString ControlName(ControlId id) {
  for (const NamedId& entry : kControlNames) {
    if (entry.id == id) return QString::fromLatin1(entry.name);
  }
  return QString();
}

QLabel* MakeLabel(QWidget* parent, const QRect& geometry, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* MakeTextField(QWidget* parent, ControlId id, const QRect& geometry, const QString& text) {
  auto* field = new QLineEdit(text, parent);
  Place(field, id, geometry);
  return field;
}

QComboBox* MakeDropDownList(QWidget* parent, ControlId id, const QRect& geometry, const QStringList& entries,
                            int selected) {
  auto* combo = new QComboBox(parent);
  Place(combo, id, geometry);
  combo->addItems(entries);
  combo->setCurrentIndex(selected);
  return combo;
}

QComboBox* MakeEditableCombo(QWidget* parent, ControlId id, const QRect& geometry) {
  auto* combo = new QComboBox(parent);
  Place(combo, id, geometry);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

QSpinBox* MakeSpinBox(QWidget* parent, ControlId id, const QRect& geometry, int minimum, int maximum,
                      int value) {
  auto* spin = new QSpinBox(parent);
  Place(spin, id, geometry);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  spin->setGroupSeparatorShown(false);
  // Arrows and arrow keys step by one; an out-of-range step stops at the limit instead of wrapping.
  spin->setSingleStep(1);
  spin->setWrapping(false);
  return spin;
}

QPushButton* MakeButton(QWidget* parent, ControlId id, const QRect& geometry, const QString& text) {
  auto* button = new QPushButton(text, parent);
  Place(button, id, geometry);
  // Enter in a field must start nothing.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QGroupBox* MakeGroupFrame(QWidget* parent, const QRect& geometry, const QString& title) {
  auto* frame = new QGroupBox(title, parent);
  frame->setGeometry(geometry);
  return frame;
}

}  // namespace varnetik
