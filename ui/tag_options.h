#pragma once
// The tag options on the tab "Option③": whether tags are read beyond ID3v1 (TAGS) and the code
// page of legacy tag text (CODEPAGE). Found by object name ("CheckTags", "ComboCodePage").

class QGridLayout;
class QWidget;

namespace veldra {

struct EnvironmentSet;

// Adds the check box and the code page choice to grid, on row and the row after it.
void AddTagOptions(QGridLayout& grid, int row);

// Copies the controls below root into set, and set into them.
void ReadTagOptions(const QWidget& root, EnvironmentSet& set);
void ShowTagOptions(const QWidget& root, const EnvironmentSet& set);

}  // namespace veldra
