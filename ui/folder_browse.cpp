#include "ui/folder_browse.h"

#include <QDir>
#include <QFileInfo>

#include "ui/dialogs.h"

namespace veldra {

int BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title, QString& path,
                    const QString& start_folder) {
  std::optional<QString> picked = dialogs.PickFolder(owner, title, start_folder);
  if (!picked) return kBrowseCancelled;
  QString chosen = QDir::fromNativeSeparators(*picked);
  QFileInfo info(chosen);
  if (chosen.isEmpty() || !info.isAbsolute() || !info.isDir()) return kBrowseFailed;
  if (!chosen.endsWith(u'/')) chosen.append(u'/');
  path = chosen;
  return kBrowseChosen;
}

}  // namespace veldra
