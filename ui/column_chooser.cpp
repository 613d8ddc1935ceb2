#include "ui/column_chooser.h"

#include <QListWidget>

namespace veldra {
namespace {

void ClearSelection(QListWidget& list) {
  list.clearSelection();
  list.setCurrentRow(-1);
}

void Select(QListWidget& list, int row) {
  list.setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

// Moves the selected key of from to the end of to; from is left without a selection.
void MoveSelected(QListWidget& from, QListWidget& to) {
  const int row = SelectedRow(from);
  if (from.count() == 0 || row < 0) return;
  const QString key = from.item(row)->text();
  to.addItem(key);
  delete from.takeItem(row);
  ClearSelection(from);
}

void Exchange(QListWidget& list, int a, int b) {
  const QString text_a = list.item(a)->text();
  list.item(a)->setText(list.item(b)->text());
  list.item(b)->setText(text_a);
}

}  // namespace

int SelectedRow(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  if (selected.isEmpty()) return -1;
  return list.row(selected.first());
}

void Command3_Click(QListWidget& list1, QListWidget& list2, int index) {
  switch (index) {
    case kMoveToOutput:
      MoveSelected(list1, list2);
      break;
    case kMoveToHidden:
      MoveSelected(list2, list1);
      break;
    case kMoveUp: {
      const int row = SelectedRow(list2);
      if (list2.count() == 0 || row <= 0) return;
      Exchange(list2, row - 1, row);
      Select(list2, row - 1);
      break;
    }
    case kMoveDown: {
      const int row = SelectedRow(list2);
      if (list2.count() == 0 || row < 0 || row >= list2.count() - 1) return;
      Exchange(list2, row, row + 1);
      Select(list2, row + 1);
      break;
    }
    default:
      break;
  }
}

}  // namespace veldra
