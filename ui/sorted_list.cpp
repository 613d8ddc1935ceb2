#include "ui/sorted_list.h"

#include <QComboBox>

#include "platform/text_compare.h"
#include "ui/qt_text.h"

namespace veldra {

int InsertSorted(QComboBox& combo, const QString& text, const NameCollator& collator) {
  const std::string key = FromQ(text);
  int low = 0;
  int high = combo.count();
  while (low < high) {
    int mid = low + (high - low) / 2;
    if (collator.Compare(FromQ(combo.itemText(mid)), key) <= 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  const QString edit_text = combo.currentText();
  combo.insertItem(low, text);
  if (combo.isEditable()) combo.setEditText(edit_text);
  return low;
}

}  // namespace veldra
