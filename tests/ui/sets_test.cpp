// Start-up, switching sets and closing: which set the window shows, which file it saves into.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "ui_test_support.h"

namespace veldra::test {
namespace {

QLineEdit* Text(const QWidget& form, int index) {
  const QByteArray name = "Text1_" + QByteArray::number(index);
  return Control<QLineEdit>(form, name.constData());
}

QStringList ListTexts(const QListWidget& list) {
  QStringList texts;
  for (int row = 0; row < list.count(); ++row) texts.append(list.item(row)->text());
  return texts;
}

// Chooses an entry of the set list as the user does.
void ChooseSet(QWidget& form, const QString& name) {
  auto* combo = Control<QComboBox>(form, "Combo3");
  const int index = combo->findText(name);
  if (index < 0) qFatal("no set %s", qPrintable(name));
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

}  // namespace

class SetsTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartShowsTheProgramSetWithDefaults() {
    TestProgram program;
    auto form = program.Open();
    auto* combo3 = Control<QComboBox>(*form, "Combo3");
    QCOMPARE(Items(*combo3), QStringList{QStringLiteral("VELDRA")});
    QCOMPARE(combo3->currentText(), QStringLiteral("VELDRA"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("VELDRA.ini")));

    QCOMPARE(Text(*form, 0)->text(),
             QStringLiteral("<TABLE border=1 cellspacing=0 cellpadding=3>"));
    QCOMPARE(Text(*form, 1)->text(), QStringLiteral("(DIR)"));
    QCOMPARE(Text(*form, 2)->text(), QString());
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("index.htm"));
    QCOMPARE(Text(*form, 6)->text(), QStringLiteral("<HR>"));
    QCOMPARE(Text(*form, 11)->text(), QStringLiteral("VELDRA-Head-htm.txt"));
    QCOMPARE(Text(*form, 12)->text(), QStringLiteral("VELDRA-Foot-htm.txt"));
    QVERIFY(Control<QCheckBox>(*form, "Check2")->isChecked());
    QVERIFY(!Control<QCheckBox>(*form, "Check1_1")->isChecked());
    QCOMPARE(ListTexts(*Control<QListWidget>(*form, "List1")),
             QStringList({QStringLiteral("ID3-TRACK"), QStringLiteral("PLAY TIME"),
                          QStringLiteral("BITRATE")}));
    QCOMPARE(Control<QListWidget>(*form, "List2")->count(), 8);
    QVERIFY(!Control<QCheckBox>(*form, "CheckTags")->isChecked());
    QCOMPARE(Control<QComboBox>(*form, "ComboCodePage")->currentText(),
             QStringLiteral("932 日本語 (Shift-JIS)"));
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), QString());

    QCOMPARE(Control<QLabel>(*form, "Label1_2")->text(),
             QStringLiteral("VELDRA Build 1.2.2\nCopyright (C) 2026 VELDRA mp3+ developers\n\n"
                            "フォルダごとにファイル一覧のHTMLページを作ります"));
    // The version tab says where the sets are kept: beside the program or the per-user folder.
    const QString folder = QFile::decodeName(program.place().folder.c_str());
    QCOMPARE(Control<QLabel>(*form, "SetFolder")->text(),
             QStringLiteral("環境セットの保存先: ") + folder);

    QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).isEmpty());
    form->close();
    QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).contains("TEXT1(5)=index.htm"));
  }

  // The visitors' check boxes show FEED and PLAYLIST and save them back; a set without the keys
  // shows both off and saves without them.
  void FeedAndPlaylistCheckBoxes() {
    TestProgram program;
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=index.htm"),
                      QStringLiteral("FEED=true")});
    auto form = program.Open();
    auto* feed = Control<QCheckBox>(*form, "CheckFeed");
    auto* playlist = Control<QCheckBox>(*form, "CheckPlaylist");
    QVERIFY(feed->isChecked());
    QVERIFY(!playlist->isChecked());
    feed->setChecked(false);
    playlist->setChecked(true);
    form->close();
    const QByteArray saved = program.Read(QStringLiteral("VELDRA.ini"));
    QVERIFY(saved.contains("FEED=FALSE\r\n"));
    QVERIFY(saved.endsWith("PLAYLIST=TRUE\r\n"));
  }

  // The SKIPSAME check box shows the key and saves it back; a set without the key shows it off
  // and, left off, saves without it.
  void SkipSameCheckBox() {
    TestProgram program;
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=index.htm")});
    {
      auto form = program.Open();
      auto* skip = Control<QCheckBox>(*form, "CheckSkipSame");
      QVERIFY(!skip->isChecked());
      form->close();
      QVERIFY(!program.Read(QStringLiteral("VELDRA.ini")).contains("SKIPSAME"));
    }
    auto form = program.Open();
    Control<QCheckBox>(*form, "CheckSkipSame")->setChecked(true);
    form->close();
    QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).endsWith("SKIPSAME=TRUE\r\n"));
    auto again = program.Open();
    QVERIFY(Control<QCheckBox>(*again, "CheckSkipSame")->isChecked());
  }

  void SetListIsSortedWithoutRegardToCase() {
    TestProgram program;
    for (const char* file : {"b.ini", "Alpha.ini", "my.set.ini", "zeta.ini", "notes.txt"}) {
      program.WriteIni(QString::fromLatin1(file), {QStringLiteral("[MAIN]")});
    }
    auto form = program.Open();
    auto* combo3 = Control<QComboBox>(*form, "Combo3");
    QCOMPARE(Items(*combo3),
             QStringList({QStringLiteral("Alpha"), QStringLiteral("b"), QStringLiteral("my.set"),
                          QStringLiteral("VELDRA"), QStringLiteral("zeta")}));
    QCOMPARE(combo3->currentText(), QStringLiteral("VELDRA"));
  }

  void OwnSetFileInOtherCapitalsIsListedOnce() {
    TestProgram program;
    program.WriteIni(QStringLiteral("veldra.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=lower.htm")});
    program.WriteIni(QStringLiteral("other.ini"), {QStringLiteral("[MAIN]")});
    auto form = program.Open();
    QCOMPARE(Items(*Control<QComboBox>(*form, "Combo3")),
             QStringList({QStringLiteral("other"), QStringLiteral("VELDRA")}));
    // It is the program's set: its values load, and saving writes back into it.
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("lower.htm"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("veldra.ini")));
  }

  void SpacedNameListsAndLoadsWithoutItsSpaces() {
    TestProgram program;
    program.WriteIni(QStringLiteral("spaced  .ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=spaced-file.htm")});
    program.WriteIni(QStringLiteral("spaced.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=trimmed.htm")});
    auto form = program.Open();
    QVERIFY(Items(*Control<QComboBox>(*form, "Combo3")).contains(QStringLiteral("spaced")));
    ChooseSet(*form, QStringLiteral("spaced"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("spaced.ini")));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("trimmed.htm"));
  }

  void SwitchingSetsDropsUnsavedEdits() {
    TestProgram program;
    program.WriteIni(
        QStringLiteral("A.ini"),
        {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=a.htm"), QStringLiteral("DIR(0)=/a/")});
    program.WriteIni(QStringLiteral("B.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=b.htm")});
    const QByteArray a_before = program.Read(QStringLiteral("A.ini"));
    auto form = program.Open();

    ChooseSet(*form, QStringLiteral("A"));
    QCOMPARE(Control<QComboBox>(*form, "Combo3")->currentText(), QStringLiteral("A"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("a.htm"));
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), QStringLiteral("/a/"));
    Text(*form, 5)->setText(QStringLiteral("edited.htm"));

    ChooseSet(*form, QStringLiteral("B"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("b.htm"));
    // Nothing of A survives the switch, the root folder included.
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), QString());
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->count(), 0);

    ChooseSet(*form, QStringLiteral("A"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("a.htm"));
    QCOMPARE(program.Read(QStringLiteral("A.ini")), a_before);

    // Choosing the set already shown reloads it.
    Text(*form, 5)->setText(QStringLiteral("edited again.htm"));
    ChooseSet(*form, QStringLiteral("A"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("a.htm"));
  }

  void ClosingSavesIntoTheSetInUseNotATypedName() {
    TestProgram program;
    program.WriteIni(QStringLiteral("A.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=a.htm")});
    auto form = program.Open();
    ChooseSet(*form, QStringLiteral("A"));
    Control<QComboBox>(*form, "Combo3")->setEditText(QStringLiteral("Typed"));
    Text(*form, 5)->setText(QStringLiteral("closing.htm"));
    Control<QCheckBox>(*form, "Check1_0")->setChecked(true);
    form->close();

    const QByteArray saved = program.Read(QStringLiteral("A.ini"));
    QVERIFY(saved.contains("TEXT1(5)=closing.htm"));
    QVERIFY(saved.contains("Check1(0)=TRUE"));
    QVERIFY(!QFile::exists(program.Path(QStringLiteral("Typed.ini"))));
    QVERIFY(!QFile::exists(program.Path(QStringLiteral("VELDRA.ini"))));
  }

  void TagOptionsLoadAndSaveWithTheSet() {
    TestProgram program;
    program.WriteIni(QStringLiteral("T.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TAGS=all"),
                      QStringLiteral("CODEPAGE=1251"), QStringLiteral("LIST1=ID3-TRACK@"),
                      QStringLiteral("LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@"
                                     "ID3-ALBUM@ID3-COMMENT@ID3-YEAR@ID3-GENRE@BITRATE@")});
    auto form = program.Open();
    ChooseSet(*form, QStringLiteral("T"));
    QVERIFY(Control<QCheckBox>(*form, "CheckTags")->isChecked());
    QCOMPARE(Control<QCheckBox>(*form, "CheckTags")->text(),
             QStringLiteral("タグを ID3v2・FLAC なども読む"));
    QVERIFY(Control<QCheckBox>(*form, "CheckTags")->toolTip().contains(QStringLiteral("ID3v1")));
    auto* code_page = Control<QComboBox>(*form, "ComboCodePage");
    QCOMPARE(code_page->currentText(), QStringLiteral("1251 キリル"));
    QVERIFY(code_page->toolTip().contains(QStringLiteral("Latin-1")));
    // The key in neither list is shown at the end of the hidden list, but not stored there.
    QCOMPARE(ListTexts(*Control<QListWidget>(*form, "List1")),
             QStringList({QStringLiteral("ID3-TRACK"), QStringLiteral("PLAY TIME")}));
    Control<QCheckBox>(*form, "CheckTags")->setChecked(false);
    code_page->setEditText(QStringLiteral(" 874 "));
    form->close();

    const QByteArray saved = program.Read(QStringLiteral("T.ini"));
    QVERIFY(saved.contains("TAGS=ID3V1\r\n"));
    QVERIFY(saved.contains("CODEPAGE=874\r\n"));
    QVERIFY(saved.contains("LIST1=ID3-TRACK@\r\n"));
    QVERIFY(saved.contains("ID3-GENRE@BITRATE@\r\n"));
  }

  // The program's set file cannot be read when the window opens: a message names it, and the
  // window never saves over it, not even once the file can be read again (it would replace
  // what the file holds with the defaults the window shows).
  void UnreadableSetFileIsReportedAndNeverSavedOver() {
    TestProgram program;
    QVERIFY(QDir().mkdir(program.Path(QStringLiteral("VELDRA.ini"))));
    auto form = program.Open();
    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    const FakeDialogs::Message& message = program.dialogs.messages.front();
    QVERIFY(message.text.startsWith(QStringLiteral("環境セットのファイルを読めませんでした: ") +
                                    program.Path(QStringLiteral("VELDRA.ini")) +
                                    QStringLiteral(" (Is a directory)\n")));
    QCOMPARE(message.icon, Dialogs::Icon::kWarning);
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("index.htm"));

    QVERIFY(QDir().rmdir(program.Path(QStringLiteral("VELDRA.ini"))));
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=mine.htm")});
    const QByteArray before = program.Read(QStringLiteral("VELDRA.ini"));
    Text(*form, 5)->setText(QStringLiteral("typed.htm"));
    form->close();
    QCOMPARE(program.Read(QStringLiteral("VELDRA.ini")), before);
  }

  // A set file whose name cannot be a set name (a tab in it) is listed but not loaded: the
  // window says why, keeps showing the set it had, and saves that set where it came from.
  void SetWithARefusedNameIsNotLoaded() {
    TestProgram program;
    program.WriteIni(QStringLiteral("tab\there.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=tab.htm")});
    const QByteArray tab_before = program.Read(QStringLiteral("tab\there.ini"));
    auto form = program.Open();
    ChooseSet(*form, QStringLiteral("tab\there"));
    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    QCOMPARE(program.dialogs.messages.front().text,
             QStringLiteral("環境セット名にはフォルダの区切り文字や制御文字は使えません"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("index.htm"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("VELDRA.ini")));
    form->close();
    QCOMPARE(program.Read(QStringLiteral("tab\there.ini")), tab_before);
    QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).contains("TEXT1(5)=index.htm"));
  }

  void WindowAlwaysOpensOnTheProgramSet() {
    TestProgram program;
    program.WriteIni(QStringLiteral("A.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=a.htm")});
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=v.htm")});
    {
      auto form = program.Open();
      ChooseSet(*form, QStringLiteral("A"));
      form->close();
    }
    auto form = program.Open();
    QCOMPARE(Control<QComboBox>(*form, "Combo3")->currentText(), QStringLiteral("VELDRA"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("v.htm"));
  }
};

int RunSetsTest(int argc, char** argv) {
  SetsTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "sets_test.moc"
