// The column chooser on the tab "Option③": its four buttons and their selection rules.

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ui/column_chooser.h"
#include "ui_test_support.h"

namespace veldra::test {
namespace {

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int row = 0; row < list.count(); ++row) texts.append(list.item(row)->text());
  return texts;
}

const QStringList kDefaultOutput = {QStringLiteral("FILE SIZE"), QStringLiteral("TIME STAMP"),
                                    QStringLiteral("ID3-TITLE"), QStringLiteral("ID3-ARTIST"),
                                    QStringLiteral("ID3-ALBUM"), QStringLiteral("ID3-COMMENT"),
                                    QStringLiteral("ID3-YEAR"),  QStringLiteral("ID3-GENRE")};

// The window on a new set: List2 holds the eight default keys, List1 "ID3-TRACK" and then the
// two later keys (PLAY TIME, BITRATE) that a set without them shows at the end, unstored.
struct Chooser {
  TestProgram program;
  std::unique_ptr<MainForm> form = program.Open();
  QListWidget* list1 = Control<QListWidget>(*form, "List1");
  QListWidget* list2 = Control<QListWidget>(*form, "List2");

  void Press(int index) {
    const QByteArray name = "Command3_" + QByteArray::number(index);
    QTest::mouseClick(Control<QPushButton>(*form, name.constData()), Qt::LeftButton);
  }
};

}  // namespace

class ColumnChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void MoveToOutputNeedsASelectionAndUsesItOnce() {
    Chooser c;
    c.Press(kMoveToOutput);
    QCOMPARE(Texts(*c.list2), kDefaultOutput);
    QCOMPARE(c.list1->count(), 3);

    c.list2->setCurrentRow(2);
    c.list1->setCurrentRow(0);
    c.Press(kMoveToOutput);
    QCOMPARE(Texts(*c.list2), kDefaultOutput + QStringList{QStringLiteral("ID3-TRACK")});
    QCOMPARE(c.list1->count(), 2);
    QCOMPARE(SelectedRow(*c.list1), -1);
    QCOMPARE(SelectedRow(*c.list2), 2);  // the output list's selection is left alone

    c.Press(kMoveToOutput);
    QCOMPARE(c.list2->count(), 9);
  }

  void MoveToHiddenClearsTheSelectionAndComesBackAtTheEnd() {
    Chooser c;
    c.list2->setCurrentRow(1);  // TIME STAMP
    c.Press(kMoveToHidden);
    QCOMPARE(Texts(*c.list1),
             QStringList({QStringLiteral("ID3-TRACK"), QStringLiteral("PLAY TIME"),
                          QStringLiteral("BITRATE"), QStringLiteral("TIME STAMP")}));
    QCOMPARE(c.list2->count(), 7);
    QCOMPARE(SelectedRow(*c.list2), -1);
    c.Press(kMoveToHidden);  // nothing selected: nothing moves
    QCOMPARE(c.list2->count(), 7);

    c.list1->setCurrentRow(3);
    c.Press(kMoveToOutput);
    QCOMPARE(c.list2->item(7)->text(), QStringLiteral("TIME STAMP"));
  }

  void EveryKeyCanBeHidden() {
    Chooser c;
    while (c.list2->count() > 0) {
      c.list2->setCurrentRow(0);
      c.Press(kMoveToHidden);
    }
    QCOMPARE(c.list1->count(), 11);
    c.Press(kMoveUp);
    c.Press(kMoveDown);
    c.Press(kMoveToHidden);
    QCOMPARE(c.list1->count(), 11);
    QCOMPARE(c.list2->count(), 0);
  }

  void UpAndDownMoveTheSelectedKeyOnePlace() {
    Chooser c;
    c.list2->setCurrentRow(0);
    c.Press(kMoveUp);  // already at the top
    QCOMPARE(Texts(*c.list2), kDefaultOutput);
    QCOMPARE(SelectedRow(*c.list2), 0);

    for (int press = 1; press <= 8; ++press) c.Press(kMoveDown);
    QStringList walked = kDefaultOutput;
    walked.move(0, 7);
    QCOMPARE(Texts(*c.list2), walked);
    QCOMPARE(SelectedRow(*c.list2), 7);

    c.Press(kMoveUp);
    walked.swapItemsAt(6, 7);
    QCOMPARE(Texts(*c.list2), walked);
    QCOMPARE(SelectedRow(*c.list2), 6);

    c.list2->clearSelection();
    c.Press(kMoveUp);
    QCOMPARE(Texts(*c.list2), walked);
  }

  void ChosenColumnsAreSavedWithTheSet() {
    Chooser c;
    c.list2->setCurrentRow(7);  // ID3-GENRE
    c.Press(kMoveUp);
    c.list1->setCurrentRow(0);
    c.Press(kMoveToOutput);
    c.form->close();
    const QByteArray saved = c.program.Read(QStringLiteral("VELDRA.ini"));
    QVERIFY(
        saved.contains("LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@"
                       "ID3-COMMENT@ID3-GENRE@ID3-YEAR@ID3-TRACK@\r\n"));
    QVERIFY(saved.contains("LIST1=\r\n"));
  }
};

int RunColumnChooserTest(int argc, char** argv) {
  ColumnChooserTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "column_chooser_test.moc"
