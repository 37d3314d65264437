#include "app/ResultTable.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

#include "app/Clipboard.h"
#include "app/ControlFactory.h"

namespace varnetik {

ResultTable::ResultTable(ControlId id, QWidget* parent) : QTreeWidget(parent), id_(id) {
  setObjectName(ControlName(id));
  setColumnCount(kResultColumnCount);
  QStringList titles;
  for (const char* title : kResultColumnTitles) titles << QString::fromUtf8(title);
  setHeaderLabels(titles);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  for (int column = 0; column < kResultColumnCount; ++column) setColumnWidth(column, kResultColumnWidths[column]);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
  // Keep the selected row marked when the focus is elsewhere, e.g. while its context menu is open.
  QPalette colours = palette();
  colours.setBrush(QPalette::Inactive, QPalette::Highlight, colours.brush(QPalette::Active, QPalette::Highlight));
  colours.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                   colours.brush(QPalette::Active, QPalette::HighlightedText));
  setPalette(colours);
}

void ResultTable::ReplaceRows(const std::vector<ResultRow>& rows) {
  clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const ResultRow& row : rows) {
    items.append(new QTreeWidgetItem(QStringList{
        QString::fromStdString(row.addressHex), QString::fromStdString(row.addressDec),
        QString::fromStdString(row.valueHex), QString::fromStdString(row.valueDec), QString()}));
  }
  addTopLevelItems(items);
}

QString ResultTable::CellText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr || column < 0 || column >= kResultColumnCount) return QString();
  return item->text(column);
}

int ResultTable::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

QString ResultTable::RowText(int row) const {
  ResultCells cells;
  for (int column = 0; column < kResultTextColumnCount; ++column) cells[column] = CellText(row, column).toStdString();
  return QString::fromStdString(RowClipboardText(cells));
}

int ResultTable::SelectCurrentRow() {
  if (RowCount() == 0) return -1;
  QTreeWidgetItem* row = currentItem() != nullptr ? currentItem() : topLevelItem(0);
  setCurrentItem(row);
  row->setSelected(true);
  return indexOfTopLevelItem(row);
}

QPoint ResultTable::MenuPointOfRow(int row) const {
  const QRect rect = visualItemRect(topLevelItem(row));
  return viewport()->mapToGlobal(rect.bottomLeft());
}

bool ResultTable::event(QEvent* event) {
  // The platform's own context-menu event for the menu key belongs to the keyboard road, which opens the
  // menu at the row instead of at the mouse pointer.
  if (event->type() == QEvent::ContextMenu &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
    emit menuKeyPressed();
    event->accept();
    return true;
  }
  return QTreeWidget::event(event);
}

void ResultTable::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    // The item view would copy the one cell that has the focus; the operator wants the row.
    const int row = SelectedRow();
    if (row >= 0) SetClipboardText(RowText(row));
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
    emit menuKeyPressed();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void ResultTable::mouseReleaseEvent(QMouseEvent* event) {
  // A right-click on empty space keeps the selected row, so that its context menu still opens for it.
  // The item view would drop the selection when such a click is released.
  QTreeWidgetItem* kept = currentItem() != nullptr && currentItem()->isSelected() ? currentItem() : nullptr;
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton && kept != nullptr && selectedItems().isEmpty()) kept->setSelected(true);
}

}  // namespace varnetik
