#include "ui/list_combo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

namespace veldra {

ListComboBox::ListComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // The default completer completes inline and matches the list without regard to case, so
  // that leaving the box would also replace "music" by an entry "Music".
  setCompleter(nullptr);
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (!editing_ends_) emit Chosen(index);
  });
}

void ListComboBox::focusOutEvent(QFocusEvent* event) {
  const bool before = std::exchange(editing_ends_, true);
  QComboBox::focusOutEvent(event);
  editing_ends_ = before;
}

void ListComboBox::keyPressEvent(QKeyEvent* event) {
  const bool ends = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool before = std::exchange(editing_ends_, editing_ends_ || ends);
  QComboBox::keyPressEvent(event);
  editing_ends_ = before;
}

}  // namespace veldra
