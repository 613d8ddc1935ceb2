// Renders each tab of the window, on a sample set, to DIR/tab0.png ... DIR/tab4.png, and 処理
// during a run (held at a pause point) to DIR/run.png.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSemaphore>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstdio>

#include "engine/run_control.h"
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

  // A run over a sample tree, held after its 24th page while the window is grabbed.
  tabs->setCurrentIndex(0);
  QTemporaryDir tree;
  const QString root = QDir(tree.path()).absoluteFilePath(QStringLiteral("music"));
  for (int artist = 1; artist <= 8; ++artist) {
    for (int album = 1; album <= 6; ++album) {
      WriteBytes(root + QStringLiteral("/Artist %1/Album %2/01 Track.mp3").arg(artist).arg(album),
                 QByteArray(256, 'x'));
    }
  }
  constexpr int kPagesBeforeGrab = 24;
  std::atomic<int> pages{0};
  QSemaphore paused, release;
  form->SetTestPauseHook([&](std::string_view point) {
    if (point != pause_point::kFolderWritten || ++pages != kPagesBeforeGrab) return;
    paused.release();
    release.tryAcquire(1, 60000);
  });
  Control<QComboBox>(*form, "Combo1")->setEditText(root + u'/');
  QTest::mouseClick(Control<QPushButton>(*form, "Command1"), Qt::LeftButton);
  auto* written = Control<QLabel>(*form, "RunPages");
  const QString expected = QStringLiteral("書き出したページ: %1").arg(kPagesBeforeGrab);
  if (!QTest::qWaitFor([&] { return paused.available() > 0 && written->text() == expected; },
                       60000)) {
    std::fprintf(stderr, "the run did not reach its pause\n");
    release.release();
    return 1;
  }
  const QString path = out.filePath(QStringLiteral("run.png"));
  const bool saved = form->grab().save(path);
  release.release();
  if (!QTest::qWaitFor([&] { return !form->IsRunning(); }, 60000) || !saved) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return 1;
  }
  return 0;
}

}  // namespace veldra::test
