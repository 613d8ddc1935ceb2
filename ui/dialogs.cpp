#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTranslator>
#include <cstdlib>

namespace veldra {
namespace {

// Room the window manager takes beside a title: the buttons of the title bar and its margins.
constexpr int kTitleBarExtra = 160;

// The folder itself when it exists, else the nearest one above it, else the home folder.
QString ExistingFolder(const QString& folder) {
  QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
  while (!path.isEmpty() && QFileInfo(path).isAbsolute()) {
    if (QFileInfo(path).isDir()) return path;
    const QString up = QFileInfo(path).path();
    if (up == path) break;
    path = up;
  }
  return QDir::homePath();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& title, Dialogs::Icon icon) {
  QMessageBox::Icon shown = QMessageBox::NoIcon;
  if (icon == Dialogs::Icon::kInformation) shown = QMessageBox::Information;
  if (icon == Dialogs::Icon::kWarning) shown = QMessageBox::Warning;
  auto box = std::make_unique<QMessageBox>(shown, title, text, QMessageBox::Ok, owner);
  // A message box is as wide as its text, and the window manager cuts a longer title: a spacer
  // across the box's grid keeps it wide enough for the whole title.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    const int width = box->fontMetrics().horizontalAdvance(title) + kTitleBarExtra;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box;
}

std::unique_ptr<QFileDialog> MakeFolderPicker(QWidget* owner, const QString& title,
                                              const QString& start_folder) {
  auto picker = std::make_unique<QFileDialog>(owner, title, ExistingFolder(start_folder));
  picker->setFileMode(QFileDialog::Directory);
  picker->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  return picker;
}

void QtDialogs::ShowMessage(QWidget* owner, const QString& text, const QString& title, Icon icon) {
  MakeMessageBox(owner, text, title, icon)->exec();
}

std::optional<QString> QtDialogs::PickFolder(QWidget* owner, const QString& title,
                                             const QString& start_folder) {
  const std::unique_ptr<QFileDialog> picker = MakeFolderPicker(owner, title, start_folder);
  if (picker->exec() != QDialog::Accepted || picker->selectedFiles().isEmpty()) return std::nullopt;
  const QString path = picker->selectedFiles().constFirst();
  if (path.isEmpty()) return std::nullopt;
  return path;
}

void QtDialogs::EndProgram(int exit_code) {
  // Leaves the event loop without closing the window, so no close handling (and no save) runs;
  // main() then returns the code.
  if (QCoreApplication::instance() == nullptr) std::exit(exit_code);
  QCoreApplication::exit(exit_code);
}

bool InstallQtJapanese(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace veldra
