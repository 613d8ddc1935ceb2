// The window program VELDRA: the main window on the set named after the program.

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/program_info.h"
#include "settings/set_file.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELDRA"));
  QApplication::setDesktopFileName(QStringLiteral("veldra"));
  veldra::InstallQtJapanese(app);
  veldra::QtDialogs dialogs;
  veldra::MainForm form(veldra::RunningProgramPlace(veldra::ProgramName()), dialogs);
  form.show();
  return QApplication::exec();
}
