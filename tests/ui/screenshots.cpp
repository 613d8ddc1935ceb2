// Renders each tab of the window, on a sample set, to DIR/tab0.png ... DIR/tab4.png.

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "ui_test_support.h"

namespace veldra::test {

int RenderScreenshots(const char* folder) {
  TestProgram program;
  program.WriteIni(QStringLiteral("VELDRA.ini"),
                   {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=/srv/www/music/"),
                    QStringLiteral("DIR(1)=/srv/www/live/"), QStringLiteral("URL(0)=/music/"),
                    QStringLiteral("URL(1)=/live/"), QStringLiteral("Check1(1)=TRUE"),
                    QStringLiteral("TEXT1(0)=<TABLE border=1 cellspacing=0 cellpadding=3>"),
                    QStringLiteral("TEXT1(1)=(DIR)"), QStringLiteral("TEXT1(3)=bgcolor=#c0c0ff"),
                    QStringLiteral("TEXT1(5)=index.htm"), QStringLiteral("TEXT1(6)=<HR>"),
                    QStringLiteral("TEXT1(7)=<FONT color=red>new!</FONT>"),
                    QStringLiteral("LIST1=ID3-COMMENT@ID3-TRACK@"),
                    QStringLiteral("LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@"
                                   "ID3-YEAR@ID3-GENRE@")});
  program.WriteIni(QStringLiteral("Classic.ini"), {QStringLiteral("[MAIN]")});
  auto form = program.Open();
  // The work list as a run leaves it.
  Control<QListWidget>(*form, "List3")->addItem(QStringLiteral("/srv/www/music/"));
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) return 1;

  const QDir out(QString::fromLocal8Bit(folder));
  auto* tabs = Control<QTabWidget>(*form, "SSTab1");
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("tab%1.png").arg(i));
    if (!form->grab().save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}

}  // namespace veldra::test
