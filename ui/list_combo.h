#pragma once
// An editable combo box that tells a pick from its list apart from the end of typing.

#include <QComboBox>

namespace veldra {

// Qt's editable combo box also reports "activated" when editing ends (Return, or the focus
// leaving the box, the window or a tab being disabled) and the text typed equals an entry, and
// it completes typed text inline from its list. This box does neither: the text stays exactly
// as typed, and Chosen is emitted only when the user picks an entry: a click or Return in the
// drop-down list, the arrow keys or the wheel over the box.
class ListComboBox final : public QComboBox {
  Q_OBJECT

 public:
  explicit ListComboBox(QWidget* parent = nullptr);

 signals:
  void Chosen(int index);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool editing_ends_ = false;  // set while Qt handles a key or focus change that ends editing
};

}  // namespace veldra
