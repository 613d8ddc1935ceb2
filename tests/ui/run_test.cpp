// The Start button: the input checks with their messages, a run off the window's thread that
// writes pages and saves the set, the histories it leaves, and the window's state meanwhile.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <unistd.h>

#include "engine/run_control.h"
#include "engine/run_lock.h"
#include "ui_test_support.h"

namespace veldra::test {
namespace {

constexpr int kRunTimeoutMs = 30000;

struct RunInput {
  QString root, url, set;
};

void Type(QWidget& form, const RunInput& input) {
  Control<QComboBox>(form, "Combo1")->setEditText(input.root);
  Control<QComboBox>(form, "Combo2")->setEditText(input.url);
  Control<QComboBox>(form, "Combo3")->setEditText(input.set);
}

void ClickStart(QWidget& form) {
  QTest::mouseClick(Control<QPushButton>(form, "Command1"), Qt::LeftButton);
}

// A small tree: root/a.txt, root/sub/b.txt.
QString MakeTree(const QTemporaryDir& dir) {
  const QString root = QDir(dir.path()).absoluteFilePath(QStringLiteral("root"));
  WriteBytes(root + QStringLiteral("/a.txt"), "a");
  WriteBytes(root + QStringLiteral("/sub/b.txt"), "bb");
  return root;
}

// Holds a run at the first time it reaches a pause point until the test releases it.
class PausePoint {
 public:
  explicit PausePoint(std::string_view point) : point_(point) {}
  std::function<void(std::string_view)> Hook() {
    return [this](std::string_view at) {
      if (at != point_ || reached_.exchange(true)) return;
      paused_.release();
      // A test that fails before releasing must not hang the run for ever.
      release_.tryAcquire(1, kRunTimeoutMs);
    };
  }
  bool Paused() const { return paused_.available() > 0; }
  void Release() { release_.release(); }

 private:
  const std::string_view point_;
  std::atomic<bool> reached_{false};
  QSemaphore paused_, release_;
};

// A root folder with 40 sub-folders: a run writes their pages first, the root's last.
QString MakeWideTree(const QTemporaryDir& dir) {
  const QString root = QDir(dir.path()).absoluteFilePath(QStringLiteral("wide"));
  for (int i = 0; i < 40; ++i) WriteBytes(root + QStringLiteral("/d%1/f.txt").arg(100 + i), "f");
  return root;
}

QStringList ListTexts(const QListWidget& list) {
  QStringList texts;
  for (int row = 0; row < list.count(); ++row) texts.append(list.item(row)->text());
  return texts;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void InputErrors_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("root_after");
    QTest::addColumn<QString>("url_after");
    QTest::addColumn<QString>("set_after");
    QTest::newRow("root blank") << QStringLiteral("   ") << QStringLiteral(" /u/ ")
                                << QStringLiteral("VELDRA")
                                << QStringLiteral("ルートのフォルダ名を入力してください")
                                << QString() << QStringLiteral("/u/") << QStringLiteral("VELDRA");
    // The separator is appended before the URL is checked, and stays.
    QTest::newRow("url empty") << QStringLiteral("  /data ") << QString()
                               << QStringLiteral("VELDRA")
                               << QStringLiteral("ルートのURL名を入力してください")
                               << QStringLiteral("/data/") << QString() << QStringLiteral("VELDRA");
    QTest::newRow("set blank") << QStringLiteral("/data/") << QStringLiteral("/u/")
                               << QStringLiteral("  ")
                               << QStringLiteral("環境セット名の省略はできません")
                               << QStringLiteral("/data/") << QStringLiteral("/u/") << QString();
    QTest::newRow("set with separator")
        << QStringLiteral("/data") << QStringLiteral("/u/") << QStringLiteral(" ../evil ")
        << QStringLiteral("環境セット名にはフォルダの区切り文字や制御文字は使えません")
        << QStringLiteral("/data/") << QStringLiteral("/u/") << QStringLiteral("../evil");
  }

  void InputErrors() {
    QFETCH(QString, root);
    QFETCH(QString, url);
    QFETCH(QString, set);
    QFETCH(QString, message);
    QFETCH(QString, root_after);
    QFETCH(QString, url_after);
    QFETCH(QString, set_after);
    TestProgram program;
    auto form = program.Open();
    Type(*form, {root, url, set});
    ClickStart(*form);

    QVERIFY(!form->IsRunning());
    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    QCOMPARE(program.dialogs.messages[0].text, message);
    QCOMPARE(program.dialogs.messages[0].title, QStringLiteral("入力エラー"));
    QVERIFY(program.dialogs.messages[0].icon == Dialogs::Icon::kNone);
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), root_after);
    QCOMPARE(Control<QComboBox>(*form, "Combo2")->currentText(), url_after);
    QCOMPARE(Control<QComboBox>(*form, "Combo3")->currentText(), set_after);
    // Histories and files are touched only by a run that passed its checks.
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->count(), 0);
    QCOMPARE(Control<QComboBox>(*form, "Combo2")->count(), 0);
    QCOMPARE(Items(*Control<QComboBox>(*form, "Combo3")), QStringList{QStringLiteral("VELDRA")});
    QVERIFY(QDir(program.Path(QString())).entryList(QDir::Files).isEmpty());
  }

  void RunWritesPagesAndSavesTheSet() {
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeTree(tree);
    auto form = program.Open();
    Type(*form, {QStringLiteral("  ") + root + QStringLiteral(" "), QStringLiteral(" /files/"),
                 QStringLiteral(" Music ")});
    ClickStart(*form);

    // The run goes on off the window's thread; until it ends the tabs take no input and a close
    // is put off.
    QVERIFY(form->IsRunning());
    for (const char* input : {"Combo1", "Combo3", "Command1", "Text1_5", "List2"})
      QVERIFY2(!form->findChild<QWidget*>(QString::fromLatin1(input))->isEnabled(), input);
    QVERIFY(!Control<QTabWidget>(*form, "SSTab1")->tabBar()->isEnabled());
    QVERIFY(Control<QPushButton>(*form, "StopButton")->isEnabled());
    QVERIFY(!form->close());
    QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);
    QVERIFY(Control<QComboBox>(*form, "Combo1")->isEnabled());
    QVERIFY(Control<QTabWidget>(*form, "SSTab1")->tabBar()->isEnabled());
    QVERIFY(Control<QWidget>(*form, "RunPanel")->isHidden());

    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    const FakeDialogs::Message& notice = program.dialogs.messages[0];
    QCOMPARE(notice.title, QStringLiteral("お知らせ (ファイル一覧HTML作成 mp3+)"));
    QVERIFY(notice.icon == Dialogs::Icon::kInformation);
    QVERIFY2(notice.text.startsWith(QStringLiteral("★終わったよ★")), qPrintable(notice.text));

    QVERIFY(QFile::exists(root + QStringLiteral("/index.htm")));
    QVERIFY(QFile::exists(root + QStringLiteral("/sub/index.htm")));
    QCOMPARE(ListTexts(*Control<QListWidget>(*form, "List3")),
             QStringList({root + u'/', root + QStringLiteral("/sub/")}));
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), root + u'/');
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("Music.ini")));
    const QByteArray saved = program.Read(QStringLiteral("Music.ini"));
    QVERIFY(saved.contains("DIR(0)=" + (root + u'/').toUtf8()));
    QVERIFY(saved.contains("URL(0)=/files/"));

    // The close asked for during the run happened after it, and saved into the run's set.
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(!QFile::exists(program.Path(QStringLiteral("VELDRA.ini"))));
  }

  void RunHeldElsewhereIsRefusedWithAMessage() {
    // Another run of the set over the same root holds the lock (a batch run, say): the click is
    // refused at once with a message naming it, and nothing is written.
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeTree(tree);
    EnvironmentSet held;
    held.SetName = "veldra";  // set names are matched without regard to case
    held.RootFolder = (root + QStringLiteral("/./")).toStdString();
    RunLock other;
    QVERIFY(other.Take(held, program.place(), 0) == RunLock::Outcome::kTaken);

    auto form = program.Open();
    Type(*form, {root, QStringLiteral("/u/"), QStringLiteral("VELDRA")});
    ClickStart(*form);
    QVERIFY(!form->IsRunning());
    QVERIFY(Control<QTabWidget>(*form, "SSTab1")->isEnabled());
    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    const QString& text = program.dialogs.messages[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("同じ環境セットで同じフォルダを処理中")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("pid %1 (").arg(getpid())), qPrintable(text));
    QVERIFY(!QFile::exists(root + QStringLiteral("/index.htm")));

    // Once it ends, the same click runs.
    other.Release();
    ClickStart(*form);
    QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);
    QVERIFY(QFile::exists(root + QStringLiteral("/index.htm")));
  }

  void HistoriesKeepEachValueOnceMostRecentFirst() {
    TestProgram program;
    QTemporaryDir tree;
    const QString first = MakeTree(tree) + u'/';
    const QString second = first + QStringLiteral("sub/");
    auto form = program.Open();
    const RunInput runs[] = {{first, QStringLiteral("/a/"), QStringLiteral("VELDRA")},
                             {second, QStringLiteral("/b/"), QStringLiteral("Other")},
                             {first, QStringLiteral("/A/"), QStringLiteral("VELDRA")}};
    for (const RunInput& run : runs) {
      Type(*form, run);
      ClickStart(*form);
      QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);
    }
    QCOMPARE(program.dialogs.messages.size(), size_t{3});
    QCOMPARE(Items(*Control<QComboBox>(*form, "Combo1")), QStringList({first, second}));
    // "/a/" matched "/A/" without regard to case and gave way to it.
    QCOMPARE(Items(*Control<QComboBox>(*form, "Combo2")),
             QStringList({QStringLiteral("/A/"), QStringLiteral("/b/")}));
    // The set list takes the used name at its top, out of its sorted order.
    QCOMPARE(Items(*Control<QComboBox>(*form, "Combo3")),
             QStringList({QStringLiteral("VELDRA"), QStringLiteral("Other")}));
    QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).contains("URL(1)=/b/"));
    QVERIFY(program.Read(QStringLiteral("Other.ini")).contains("URL(0)=/b/"));
  }

  // The 中止 button or Esc during a run: the run stops between folders, the pages written stay
  // whole, the set is saved, and the notice says it was stopped. Meanwhile the progress shows.
  void StopButtonAndEscStopBetweenFolders_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("button") << false;
    QTest::newRow("Esc") << true;
  }

  void StopButtonAndEscStopBetweenFolders() {
    QFETCH(bool, escape);
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeWideTree(tree);
    auto form = program.Open();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    PausePoint pause(pause_point::kFolderWritten);
    form->SetTestPauseHook(pause.Hook());
    Type(*form, {root, QStringLiteral("/w/"), QStringLiteral("Wide")});
    ClickStart(*form);
    QTRY_VERIFY_WITH_TIMEOUT(pause.Paused(), kRunTimeoutMs);

    // Paused after the first page: the lower half of 処理 shows the counts so far.
    auto* stop = Control<QPushButton>(*form, "StopButton");
    QVERIFY(stop->isVisible());
    QVERIFY(stop->isEnabled());
    QTRY_COMPARE(Control<QLabel>(*form, "RunPages")->text(), QStringLiteral("書き出したページ: 1"));
    QVERIFY(Control<QLabel>(*form, "RunFolders")
                ->text()
                .startsWith(QStringLiteral("フォルダ: 1 済み / ")));
    auto* bar = Control<QProgressBar>(*form, "RunProgress");
    QCOMPARE(bar->value(), 1);
    QCOMPARE(bar->maximum(), 41);
    QVERIFY(
        Control<QLabel>(*form, "RunElapsed")->text().startsWith(QStringLiteral("経過時間: 0:00:")));

    if (escape) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else {
      QTest::mouseClick(stop, Qt::LeftButton);
    }
    QTRY_VERIFY(!stop->isEnabled());
    pause.Release();
    QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);

    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    const FakeDialogs::Message& notice = program.dialogs.messages[0];
    QVERIFY2(notice.text.startsWith(QStringLiteral("★終わったよ★\n中止しました。")),
             qPrintable(notice.text));
    QVERIFY(notice.icon == Dialogs::Icon::kInformation);
    QVERIFY(!QFile::exists(root + QStringLiteral("/index.htm")));
    int pages = 0;
    for (int i = 0; i < 40; ++i) {
      QFile page(root + QStringLiteral("/d%1/index.htm").arg(100 + i));
      if (!page.open(QIODevice::ReadOnly)) continue;
      ++pages;
      QVERIFY(page.readAll().endsWith("</HTML>\r\n"));
    }
    QVERIFY(pages >= 1 && pages < 40);
    QVERIFY(program.Read(QStringLiteral("Wide.ini")).contains("URL(0)=/w/"));
    QVERIFY(Control<QComboBox>(*form, "Combo1")->isEnabled());
  }

  // The gathering pass shows its own progress: pages gathered of all.
  void GatheringShowsPagesGatheredOfAll() {
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeTree(tree);
    QTemporaryDir out;
    auto form = program.Open();
    Control<QLineEdit>(*form, "Text1_9")->setText(out.path() + u'/');
    Control<QLineEdit>(*form, "Text1_10")->setText(QStringLiteral("/pages/"));
    PausePoint pause(pause_point::kRunDone);
    form->SetTestPauseHook(pause.Hook());
    Type(*form, {root, QStringLiteral("/files/"), QStringLiteral("VELDRA")});
    ClickStart(*form);
    QTRY_VERIFY_WITH_TIMEOUT(pause.Paused(), kRunTimeoutMs);
    QTRY_COMPARE(Control<QLabel>(*form, "RunGathered")->text(),
                 QStringLiteral("集めたページ: 2 / 2"));
    auto* bar = Control<QProgressBar>(*form, "RunProgress");
    QCOMPARE(bar->maximum(), 2);
    QCOMPARE(bar->value(), 2);
    pause.Release();
    QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);
    QVERIFY(QFile::exists(out.path() + QStringLiteral("/index00001.htm")));
  }

  // A run that failed in part carries the warning icon; its first line stays the same.
  void RunThatFailedInPartCarriesTheWarningIcon() {
    TestProgram program;
    QTemporaryDir tree;
    auto form = program.Open();
    Type(*form, {tree.path() + QStringLiteral("/missing"), QStringLiteral("/m/"),
                 QStringLiteral("VELDRA")});
    ClickStart(*form);
    QTRY_VERIFY_WITH_TIMEOUT(!form->IsRunning(), kRunTimeoutMs);
    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    QVERIFY(program.dialogs.messages[0].icon == Dialogs::Icon::kWarning);
    QVERIFY(program.dialogs.messages[0].text.startsWith(QStringLiteral("★終わったよ★\n")));
  }
};

int RunRunTest(int argc, char** argv) {
  RunTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "run_test.moc"
