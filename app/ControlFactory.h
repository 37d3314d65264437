// Creates the window's controls of each kind with their fixed position, id name and tooltip, so that every
// control of one kind behaves alike (right-aligned spin boxes, buttons that never act on Enter, ...).
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include "operator/ControlId.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

namespace varnetik {

// Qt object name of a control: its enumerator's name, e.g. "PortCombo".
QString ControlName(ControlId id);

QLabel* MakeLabel(QWidget* parent, const QRect& geometry, const QString& text);
QLineEdit* MakeTextField(QWidget* parent, ControlId id, const QRect& geometry, const QString& text);
// A drop-down list (choose only) filled with entries, entry `selected` chosen (-1: none).
QComboBox* MakeDropDownList(QWidget* parent, ControlId id, const QRect& geometry, const QStringList& entries,
                            int selected);
// The same, showing the entry whose text is `selected` (the first entry when none is), so a list starts on
// the value its link record holds rather than on an index restated beside it.
QComboBox* MakeDropDownList(QWidget* parent, ControlId id, const QRect& geometry, const QStringList& entries,
                            const QString& selected);
// A combo box whose text the operator may type freely; typing never adds entries to its list.
QComboBox* MakeEditableCombo(QWidget* parent, ControlId id, const QRect& geometry);
QSpinBox* MakeSpinBox(QWidget* parent, ControlId id, const QRect& geometry, int minimum, int maximum,
                      int value);
QPushButton* MakeButton(QWidget* parent, ControlId id, const QRect& geometry, const QString& text);
QGroupBox* MakeGroupFrame(QWidget* parent, const QRect& geometry, const QString& title);

}  // namespace varnetik
