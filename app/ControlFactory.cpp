#include "app/ControlFactory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <string_view>

namespace varnetik {

namespace {

void Place(QWidget* control, ControlId id, const QRect& geometry) {
  control->setObjectName(ControlName(id));
  control->setGeometry(geometry);
}

}  // namespace

QString ControlName(ControlId id) {
  const std::string_view name = ControlIdName(id);
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
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

QComboBox* MakeDropDownList(QWidget* parent, ControlId id, const QRect& geometry, const QStringList& entries,
                            const QString& selected) {
  return MakeDropDownList(parent, id, geometry, entries, std::max<int>(0, entries.indexOf(selected)));
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
