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
  // Qt's own texts (message box buttons, the folder picker) in Japanese, as the window is.
  QTranslator qt_texts;
  if (qt_texts.load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt_texts);
  veldra::QtDialogs dialogs;
  veldra::MainForm form(veldra::RunningProgramPlace(veldra::ProgramName()), dialogs);
  form.show();
  return QApplication::exec();
}
