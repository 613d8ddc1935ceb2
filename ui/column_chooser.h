#pragma once
// The four buttons that move column keys between the hidden list (List1) and the output list
// (List2), and within the output list.

class QListWidget;

namespace veldra {

// Button indexes of Command3.
inline constexpr int kMoveToOutput = 0;  // ">>>"
inline constexpr int kMoveToHidden = 1;  // "<<<"
inline constexpr int kMoveUp = 2;        // "↑"
inline constexpr int kMoveDown = 3;      // "↓"

// The row selected in a list, or -1 when none is.
int SelectedRow(const QListWidget& list);

// Does what button index of Command3 does; any other index does nothing. A key moved to the
// other list goes to its end and leaves nothing selected in the list it left; a key moved up or
// down stays selected.
void Command3_Click(QListWidget& list1, QListWidget& list2, int index);

}  // namespace veldra
