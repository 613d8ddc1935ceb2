#pragma once
// Keeping a combo box list in collation order without regard to case.

#include <QString>

class QComboBox;

namespace veldra {

class NameCollator;

// Inserts text at its sorted place in the list of combo (after entries that sort equal, so ties
// keep their arrival order). Returns the index it went to. The combo box's edit text is kept.
int InsertSorted(QComboBox& combo, const QString& text, const NameCollator& collator);

}  // namespace veldra
