// The combo boxes as a user meets them: keyboard focus moving in and out, Return, Tab, Alt+G
// with the focus in a box, and a click on an entry of the drop-down list. A set or history
// entry is taken only when it is picked from the list; typed text stays as typed.

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "ui_test_support.h"

namespace veldra::test {
namespace {

constexpr int kRunTimeoutMs = 30000;

QLineEdit* Text(const QWidget& form, int index) {
  const QByteArray name = "Text1_" + QByteArray::number(index);
  return Control<QLineEdit>(form, name.constData());
}

QComboBox* Combo(const QWidget& form, int number) {
  const QByteArray name = "Combo" + QByteArray::number(number);
  return Control<QComboBox>(form, name.constData());
}

// Window tests run offscreen; focus moves only in an active window.
bool ShowActive(QWidget& form) {
  form.show();
  QApplication::setActiveWindow(&form);
  return QTest::qWaitForWindowActive(&form);
}

// Clicks into an edit box (or a combo box's edit) and replaces its text by typing.
void TypeInto(QWidget& box, const QString& text) {
  QWidget* target = &box;
  if (auto* combo = qobject_cast<QComboBox*>(&box)) target = combo->lineEdit();
  QTest::mouseClick(target, Qt::LeftButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
  QTest::keyClicks(QApplication::focusWidget(), text);
}

// The button takes the focus and clicks itself a moment later, as a mnemonic does.
void PressAltG() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier); }

// Opens the drop-down list of a combo box and clicks its entry at index.
void ClickListEntry(QComboBox& combo, int index) {
  combo.showPopup();
  QAbstractItemView* view = combo.view();
  QTRY_VERIFY(view->isVisible());
  const QRect rect = view->visualRect(view->model()->index(index, combo.modelColumn()));
  QTest::mouseMove(view->viewport(), rect.center());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
  QTRY_VERIFY(!view->isVisible());
}

// Makes the folders below a temporary folder; returns their absolute paths with "/".
QStringList MakeFolders(const QTemporaryDir& dir, const QStringList& names) {
  QStringList paths;
  for (const QString& name : names) {
    const QString path = QDir(dir.path()).absoluteFilePath(name) + u'/';
    WriteBytes(path + QStringLiteral("a.txt"), "a");
    paths.append(path);
  }
  return paths;
}

}  // namespace

class FocusTest : public QObject {
  Q_OBJECT

 private slots:
  // Alt+G with a new set name typed in the set box: the window afterwards shows the settings
  // that were run and saved, not a blank set of the new name, and closing keeps them.
  void NewSetNameTypedThenAltG() {
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeFolders(tree, {QStringLiteral("root")})[0];
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=") + root,
                      QStringLiteral("URL(0)=/files/"), QStringLiteral("TEXT1(3)=bgcolor=red"),
                      QStringLiteral("TEXT1(7)=NEW!"), QStringLiteral("Check1(1)=TRUE")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    TypeInto(*Combo(*form, 3), QStringLiteral("Fresh"));
    PressAltG();
    QTRY_VERIFY_WITH_TIMEOUT(!program.dialogs.messages.empty(), kRunTimeoutMs);
    QVERIFY(!form->IsRunning());
    QCOMPARE(program.dialogs.messages.size(), size_t{1});

    QCOMPARE(Combo(*form, 3)->currentText(), QStringLiteral("Fresh"));
    QCOMPARE(Text(*form, 3)->text(), QStringLiteral("bgcolor=red"));
    QCOMPARE(Text(*form, 7)->text(), QStringLiteral("NEW!"));
    QCOMPARE(Text(*form, 11)->text(), QStringLiteral("VELDRA-Head-htm.txt"));
    QCOMPARE(Combo(*form, 1)->currentText(), root);
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("Fresh.ini")));
    form->close();
    const QByteArray saved = program.Read(QStringLiteral("Fresh.ini"));
    QVERIFY(saved.contains("TEXT1(3)=bgcolor=red"));
    QVERIFY(saved.contains("TEXT1(7)=NEW!"));
    QVERIFY(saved.contains("TEXT1(11)=VELDRA-Head-htm.txt"));
  }

  // Leaving the set box, whose text names a listed set, keeps the edits made since the set was
  // loaded: here an output folder the user has just cleared.
  void LeavingTheSetBoxKeepsEdits_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Tab") << QStringLiteral("tab");
    QTest::newRow("Return") << QStringLiteral("return");
    QTest::newRow("click elsewhere") << QStringLiteral("click");
    QTest::newRow("window deactivated") << QStringLiteral("deactivate");
  }

  void LeavingTheSetBoxKeepsEdits() {
    QFETCH(QString, how);
    TestProgram program;
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(9)=/srv/out/"),
                      QStringLiteral("TEXT1(10)=/out/")});
    program.WriteIni(QStringLiteral("Other.ini"), {QStringLiteral("[MAIN]")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    auto* tabs = Control<QTabWidget>(*form, "SSTab1");
    tabs->setCurrentIndex(2);
    TypeInto(*Text(*form, 9), QString());
    tabs->setCurrentIndex(0);
    auto* combo3 = Combo(*form, 3);
    QTest::mouseClick(combo3->lineEdit(), Qt::LeftButton);
    QVERIFY(combo3->hasFocus());
    QCOMPARE(combo3->currentText(), QStringLiteral("VELDRA"));

    if (how == QStringLiteral("tab")) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    } else if (how == QStringLiteral("return")) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (how == QStringLiteral("click")) {
      QTest::mouseClick(Combo(*form, 1)->lineEdit(), Qt::LeftButton);
    } else {
      QWidget other;
      other.show();
      QApplication::setActiveWindow(&other);
      QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    if (how == QStringLiteral("tab") || how == QStringLiteral("click"))
      QVERIFY(!combo3->hasFocus());
    QCOMPARE(Text(*form, 9)->text(), QString());
    QCOMPARE(Text(*form, 10)->text(), QStringLiteral("/out/"));
    QCOMPARE(combo3->currentText(), QStringLiteral("VELDRA"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("VELDRA.ini")));
  }

  // Typing a prefix of a history entry into the root box gives that prefix, not the entry, and
  // a run publishes the folder typed under the URL typed.
  void RootBoxDoesNotCompleteFromItsHistory() {
    TestProgram program;
    QTemporaryDir tree;
    const QStringList folders = MakeFolders(tree, {QStringLiteral("mu"), QStringLiteral("music")});
    const QString mu = folders[0];
    const QString music = folders[1];
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=") + music,
                      QStringLiteral("URL(0)=/music/"), QStringLiteral("TEXT1(5)=index.htm")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    const QString typed = mu.chopped(1);
    TypeInto(*Combo(*form, 1), typed);
    QCOMPARE(Combo(*form, 1)->currentText(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(Combo(*form, 1)->currentText(), typed);
    TypeInto(*Combo(*form, 2), QStringLiteral("/mu/"));
    PressAltG();
    QTRY_VERIFY_WITH_TIMEOUT(!program.dialogs.messages.empty(), kRunTimeoutMs);
    QVERIFY(!form->IsRunning());

    QCOMPARE(Combo(*form, 1)->currentText(), mu);
    QCOMPARE(Combo(*form, 2)->currentText(), QStringLiteral("/mu/"));
    QVERIFY(QFile::exists(mu + QStringLiteral("index.htm")));
    QVERIFY(!QFile::exists(music + QStringLiteral("index.htm")));
  }

  // Leaving the root box with a text equal to a history entry leaves the typed URL alone, with
  // Tab, Return, or Alt+G (the run then publishes under the URL typed).
  void LeavingTheRootBoxKeepsTheTypedUrl_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Tab") << QStringLiteral("tab");
    QTest::newRow("Return") << QStringLiteral("return");
    QTest::newRow("Alt+G") << QStringLiteral("altg");
  }

  void LeavingTheRootBoxKeepsTheTypedUrl() {
    QFETCH(QString, how);
    TestProgram program;
    QTemporaryDir tree;
    const QStringList folders = MakeFolders(tree, {QStringLiteral("a"), QStringLiteral("b")});
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=") + folders[0],
                      QStringLiteral("DIR(1)=") + folders[1], QStringLiteral("URL(0)=/ua/"),
                      QStringLiteral("URL(1)=/ub/")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    TypeInto(*Combo(*form, 2), QStringLiteral("/typed/"));
    TypeInto(*Combo(*form, 1), folders[1]);
    if (how == QStringLiteral("tab")) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    } else if (how == QStringLiteral("return")) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else {
      PressAltG();
      QTRY_VERIFY_WITH_TIMEOUT(!program.dialogs.messages.empty(), kRunTimeoutMs);
      QVERIFY(!form->IsRunning());
      QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).contains("URL(0)=/typed/"));
      QVERIFY(program.Read(QStringLiteral("VELDRA.ini")).contains("URL(1)=/ua/"));
    }
    QCOMPARE(Combo(*form, 1)->currentText(), folders[1]);
    QCOMPARE(Combo(*form, 2)->currentText(), QStringLiteral("/typed/"));
  }

  // Alt+G with the focus in the URL box runs and shows what was typed there.
  void AltGWithTheFocusInTheUrlBox() {
    TestProgram program;
    QTemporaryDir tree;
    const QString root = MakeFolders(tree, {QStringLiteral("root")})[0];
    program.WriteIni(
        QStringLiteral("VELDRA.ini"),
        {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=") + root, QStringLiteral("URL(0)=/old/"),
         QStringLiteral("URL(1)=/new/"), QStringLiteral("TEXT1(5)=index.htm")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    TypeInto(*Combo(*form, 2), QStringLiteral("/new/"));
    PressAltG();
    QTRY_VERIFY_WITH_TIMEOUT(!program.dialogs.messages.empty(), kRunTimeoutMs);
    QVERIFY(!form->IsRunning());
    QCOMPARE(Combo(*form, 2)->currentText(), QStringLiteral("/new/"));
    QCOMPARE(Items(*Combo(*form, 2)),
             QStringList({QStringLiteral("/new/"), QStringLiteral("/old/")}));
    QFile page(root + QStringLiteral("index.htm"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("/new/"));
  }

  // Picking from the drop-down list with the mouse is what takes an entry: a folder brings its
  // URL, a set is loaded.
  void ClickOnADropDownEntry() {
    TestProgram program;
    program.WriteIni(
        QStringLiteral("VELDRA.ini"),
        {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=/a/"), QStringLiteral("DIR(1)=/b/"),
         QStringLiteral("URL(0)=/ua/"), QStringLiteral("URL(1)=/ub/")});
    program.WriteIni(QStringLiteral("Other.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("TEXT1(5)=other.htm")});
    auto form = program.Open();
    QVERIFY(ShowActive(*form));
    ClickListEntry(*Combo(*form, 1), 1);
    QCOMPARE(Combo(*form, 1)->currentText(), QStringLiteral("/b/"));
    QCOMPARE(Combo(*form, 2)->currentText(), QStringLiteral("/ub/"));

    Text(*form, 5)->setText(QStringLiteral("edited.htm"));
    auto* combo3 = Combo(*form, 3);
    ClickListEntry(*combo3, combo3->findText(QStringLiteral("Other")));
    QCOMPARE(combo3->currentText(), QStringLiteral("Other"));
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("other.htm"));
    QCOMPARE(QString::fromStdString(form->ini_path()), program.Path(QStringLiteral("Other.ini")));
    // The focus leaving the box afterwards loads nothing again.
    Text(*form, 5)->setText(QStringLiteral("edited.htm"));
    QTest::mouseClick(combo3->lineEdit(), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(Text(*form, 5)->text(), QStringLiteral("edited.htm"));
  }
};

int RunFocusTest(int argc, char** argv) {
  FocusTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "focus_test.moc"
