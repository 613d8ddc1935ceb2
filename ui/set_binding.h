#pragma once
// Copying an environment set between the window's controls and the EnvironmentSet record.

#include <string>
#include <vector>

#include "settings/environment_set.h"

class QComboBox;

namespace veldra {

struct FormControls;

// The set as the controls hold it: SetName from Combo3's text, the root folder and URL with their
// histories from Combo1 and Combo2, Text1 i as text field i, Check1 i as flag i, Check2 as
// ProcessId3, List2 as OutputColumns and List1 as HiddenColumns.
EnvironmentSet ReadSet(const FormControls& controls);

// Shows a set in the controls. Combo3 is left alone: a load does not change the set name.
void ShowSet(const FormControls& controls, const EnvironmentSet& set);

// The entries of a combo box's list, and a replacement of its list and text.
std::vector<std::string> ComboItems(const QComboBox& combo);
void ShowCombo(QComboBox& combo, const std::vector<std::string>& items, const std::string& text);

}  // namespace veldra
