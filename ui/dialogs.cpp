#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdlib>

namespace veldra {

void QtDialogs::ShowMessage(QWidget* owner, const QString& text, const QString& title, Icon icon) {
  QMessageBox box(icon == Icon::kInformation ? QMessageBox::Information : QMessageBox::NoIcon,
                  title, text, QMessageBox::Ok, owner);
  box.exec();
}

std::optional<QString> QtDialogs::PickFolder(QWidget* owner, const QString& title) {
  QString path =
      QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

void QtDialogs::EndProgram(int exit_code) {
  // Leaves the event loop without closing the window, so no close handling (and no save) runs;
  // main() then returns the code.
  if (QCoreApplication::instance() == nullptr) std::exit(exit_code);
  QCoreApplication::exit(exit_code);
}

}  // namespace veldra
