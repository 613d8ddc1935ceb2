// The two "…" buttons and the folder picker's three results.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ui/folder_browse.h"
#include "ui_test_support.h"

namespace veldra::test {
namespace {

void PressBrowse(QWidget& form, int index) {
  const QByteArray name = "Command2_" + QByteArray::number(index);
  QTest::mouseClick(Control<QPushButton>(form, name.constData()), Qt::LeftButton);
}

}  // namespace

class BrowseTest : public QObject {
  Q_OBJECT

 private slots:
  void ResultCodes() {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    WriteBytes(folder + QStringLiteral("/file.txt"), "x");
    FakeDialogs dialogs;
    dialogs.folder_answers = {folder,
                              folder + u'/',
                              QStringLiteral("/"),
                              std::nullopt,
                              folder + QStringLiteral("/missing"),
                              folder + QStringLiteral("/file.txt"),
                              QStringLiteral("relative/folder"),
                              QString()};
    QString path = QStringLiteral("unchanged");
    QCOMPARE(BrowseForFolder(dialogs, nullptr, QStringLiteral("t"), path), kBrowseChosen);
    QCOMPARE(path, folder + u'/');
    QCOMPARE(BrowseForFolder(dialogs, nullptr, QStringLiteral("t"), path), kBrowseChosen);
    QCOMPARE(path, folder + u'/');
    QCOMPARE(BrowseForFolder(dialogs, nullptr, QStringLiteral("t"), path), kBrowseChosen);
    QCOMPARE(path, QStringLiteral("/"));  // the root keeps its single separator

    path = QStringLiteral("unchanged");
    QCOMPARE(BrowseForFolder(dialogs, nullptr, QStringLiteral("t"), path), kBrowseCancelled);
    for (int failing = 0; failing < 4; ++failing) {
      QCOMPARE(BrowseForFolder(dialogs, nullptr, QStringLiteral("t"), path), kBrowseFailed);
    }
    QCOMPARE(path, QStringLiteral("unchanged"));
  }

  void ChosenFolderFillsItsInputButNotTheHistory() {
    TestProgram program;
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=/old/")});
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    auto form = program.Open();
    program.dialogs.folder_answers = {folder, folder + QStringLiteral("/")};

    PressBrowse(*form, 0);
    auto* combo1 = Control<QComboBox>(*form, "Combo1");
    QCOMPARE(combo1->currentText(), folder + u'/');
    QCOMPARE(Items(*combo1), QStringList{QStringLiteral("/old/")});
    QCOMPARE(program.dialogs.picker_titles,
             QStringList{QStringLiteral("フォルダを選択してください。")});

    PressBrowse(*form, 1);
    QCOMPARE(Control<QLineEdit>(*form, "Text1_9")->text(), folder + u'/');
    QVERIFY(program.dialogs.messages.empty());
  }

  void CancelChangesNothing() {
    TestProgram program;
    auto form = program.Open();
    Control<QComboBox>(*form, "Combo1")->setEditText(QStringLiteral("/kept/"));
    Control<QLineEdit>(*form, "Text1_9")->setText(QStringLiteral("/out/"));
    PressBrowse(*form, 0);
    PressBrowse(*form, 1);
    QCOMPARE(program.dialogs.picker_titles.size(), 2);
    QCOMPARE(Control<QComboBox>(*form, "Combo1")->currentText(), QStringLiteral("/kept/"));
    QCOMPARE(Control<QLineEdit>(*form, "Text1_9")->text(), QStringLiteral("/out/"));
    QVERIFY(program.dialogs.messages.empty());
    QVERIFY(!program.dialogs.exit_code.has_value());
  }

  void FailureShowsTheErrorAndEndsWithoutSaving() {
    TestProgram program;
    auto form = program.Open();
    Control<QLineEdit>(*form, "Text1_9")->setText(QStringLiteral("/out/"));
    program.dialogs.folder_answers = {program.Path(QStringLiteral("no such folder"))};
    PressBrowse(*form, 1);

    QCOMPARE(program.dialogs.messages.size(), size_t{1});
    QCOMPARE(program.dialogs.messages[0].text, QStringLiteral("エラーだぞ。"));
    QCOMPARE(program.dialogs.messages[0].title, QStringLiteral("VELDRA mp3+"));
    QVERIFY(program.dialogs.messages[0].icon == Dialogs::Icon::kNone);
    QVERIFY(program.dialogs.exit_code.has_value());
    QCOMPARE(Control<QLineEdit>(*form, "Text1_9")->text(), QStringLiteral("/out/"));

    form->close();
    QVERIFY(!QFile::exists(program.Path(QStringLiteral("VELDRA.ini"))));
  }
};

int RunBrowseTest(int argc, char** argv) {
  BrowseTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "browse_test.moc"
