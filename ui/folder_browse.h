#pragma once
// Picking a folder with the folder picker.

#include <QString>

class QWidget;

namespace veldra {

class Dialogs;

// Result codes of BrowseForFolder.
inline constexpr int kBrowseChosen = 0;
inline constexpr int kBrowseCancelled = 1;
inline constexpr int kBrowseFailed = -1;

// Shows the picker with a title, modal to owner, opened at start_folder. 0: a folder was chosen and
// path holds it, ending with "/"; 1: cancelled; -1: the picker gave something that is not an
// existing local folder. path is changed only on 0.
int BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title, QString& path,
                    const QString& start_folder = QString());

}  // namespace veldra
