// The two "…" buttons and the folder picker's three results.

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "ui/dialogs.h"
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
    // Each picker opened at the folder in its box.
    QCOMPARE(program.dialogs.picker_starts, QStringList({QStringLiteral("/old/"), QString()}));
  }

  // Qt's picker opens at the folder in the box, or the nearest folder above it that exists.
  void PickerOpensAtTheFolderInItsBox() {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    QDir().mkpath(folder + QStringLiteral("/sub"));
    for (const QString& start :
         {folder + QStringLiteral("/sub/"), folder + QStringLiteral("/sub/not/there/")}) {
      auto picker = MakeFolderPicker(nullptr, QStringLiteral("t"), start);
      QCOMPARE(picker->directory().absolutePath(), folder + QStringLiteral("/sub"));
      QVERIFY(picker->testOption(QFileDialog::ShowDirsOnly));
      QCOMPARE(picker->fileMode(), QFileDialog::Directory);
    }
  }

  // The closing notice is wide enough for its whole title.
  void MessageBoxShowsItsWholeTitle() {
    const QString title = QStringLiteral("お知らせ (ファイル一覧HTML作成 mp3+)");
    auto box =
        MakeMessageBox(nullptr, QStringLiteral("★終わったよ★"), title, Dialogs::Icon::kWarning);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QVERIFY(box->width() > box->fontMetrics().horizontalAdvance(title) + 100);
    QCOMPARE(box->icon(), QMessageBox::Warning);
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

// Run under LANG=C: Qt's own translations are loaded whatever the locale.
class PickerLanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void PickerSpeaksJapanese() {
    QVERIFY(InstallQtJapanese(*QCoreApplication::instance()));
    QTemporaryDir dir;
    auto picker =
        MakeFolderPicker(nullptr, QStringLiteral("フォルダを選択してください。"), dir.path());
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    auto* buttons = picker->findChild<QDialogButtonBox*>();
    QVERIFY(buttons != nullptr);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    QString accept;
    for (QAbstractButton* button : buttons->buttons())
      if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) accept = button->text();
    QCOMPARE(accept, QStringLiteral("選択(&C)"));
    QStringList labels;
    for (QLabel* label : picker->findChildren<QLabel*>()) labels.append(label->text());
    // "Look in:" and "Directory:"
    QVERIFY2(labels.contains(QStringLiteral("アドレス:")), qPrintable(labels.join(u'|')));
    QVERIFY2(labels.contains(QStringLiteral("ディレクトリ:")), qPrintable(labels.join(u'|')));
  }
};

int RunPickerLanguageTest(int argc, char** argv) {
  PickerLanguageTest test;
  return QTest::qExec(&test, argc, argv);
}

int RunBrowseTest(int argc, char** argv) {
  BrowseTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "browse_test.moc"
