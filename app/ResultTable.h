// A result table: five report columns (address hex/dec, value hex/dec, an empty fifth), text only, one
// row selected at a time across the full width, the selection staying visible without the focus.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

#include "operator/OperatorConsole.h"
#include "operator/TableTexts.h"

namespace varnetik {

class ResultTable : public QTreeWidget {
  Q_OBJECT

 public:
  ResultTable(ControlId id, QWidget* parent);

  ControlId Id() const { return id_; }
  void ReplaceRows(const std::vector<ResultRow>& rows);
  int RowCount() const { return topLevelItemCount(); }
  // Text of a cell as shown; empty for a row or column that does not exist.
  QString CellText(int row, int column) const;
  // The selected row, -1 when none.
  int SelectedRow() const;
  // Cells 0 to 3 of the row joined by tabs, as "Komplette Zeile kopieren" copies them.
  QString RowText(int row) const;
  // Selects the row that has the keyboard focus (the first when none has) and returns it; -1 when the
  // table is empty.
  int SelectCurrentRow();
  // Where a menu for the row opens from the keyboard: at the row's lower left corner, in global pixels.
  QPoint MenuPointOfRow(int row) const;

 signals:
  // The menu key or Shift+F10: the context menu is wanted for the current row.
  void menuKeyPressed();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  ControlId id_;
};

}  // namespace varnetik
