// The window's make-up: caption, tabs, every control with its caption and tooltip on its tab,
// the size, and Combo1_Click keeping the URL in step with the chosen folder.

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "ui_test_support.h"

namespace veldra::test {

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void CaptionAndTabs() {
    TestProgram program;
    auto form = program.Open();
    QCOMPARE(form->objectName(), QStringLiteral("main_form"));
    QCOMPARE(form->windowTitle(), QStringLiteral("ファイル一覧HTML作成 mp3+"));
    auto* tabs = Control<QTabWidget>(*form, "SSTab1");
    const QStringList expected = {QStringLiteral("処理"), QStringLiteral("Option①"),
                                  QStringLiteral("Option②"), QStringLiteral("Option③"),
                                  QStringLiteral("ばーじょん")};
    QCOMPARE(tabs->count(), expected.size());
    for (int i = 0; i < tabs->count(); ++i) QCOMPARE(tabs->tabText(i), expected[i]);
    QCOMPARE(tabs->currentIndex(), 0);
  }

  void ControlsSitInTheirTabsAndFramesWithCaptionsAndTooltips_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    const QString image = QStringLiteral("<img src=\"...\">とかにすると画像にできます");
    const QString cell = QStringLiteral("bgcolor=redなどの色指定など");
    const QString gather = QStringLiteral("HTMLファイルを別フォルダに集約したい場合はココに指定");
    const QString mark = QStringLiteral("<img src=\"...\">とかでもOK");
    const QString browse = QStringLiteral("フォルダの参照");
    struct Row {
      const char* name;
      int tab;
      const char* frame;  // the group box it sits in, if any
      QString caption, tooltip;
    };
    const Row rows[] = {
        {"Label1_0", 0, "Frame1_0", QStringLiteral("ルートのフォルダ名"), {}},
        {"Combo1", 0, "Frame1_0", {}, QStringLiteral("\"/srv/www/files/\"\u3000とか入力します")},
        {"Command2_0", 0, "Frame1_0", QStringLiteral("…"), browse},
        {"Label1_1", 0, "Frame1_0", QStringLiteral("そのURL名"), {}},
        {"Combo2",
         0,
         "Frame1_0",
         {},
         QStringLiteral("/files/ や http://www.example.com/files/ などのURL名")},
        {"Label1_13", 0, nullptr, QStringLiteral("環境セットの切替"), {}},
        {"Combo3",
         0,
         nullptr,
         {},
         QStringLiteral("設定した環境を複数個、切り替えて使用したい場合に指定します。"
                        "(INIファイルの名前になります)")},
        {"Command1", 0, nullptr, QStringLiteral("開始(&G)"), QStringLiteral("処理を開始します")},
        {"Frame1_0", 0, nullptr, {}, {}},
        {"Frame1_2", 1, nullptr, QStringLiteral("HTML表示のタグ関係"), {}},
        {"Text1_0", 1, "Frame1_2", {}, QStringLiteral("テーブル全体の色指定はココで指定")},
        {"Label1_3", 1, "Frame1_2", QStringLiteral("フォルダ表示"), {}},
        {"Text1_1", 1, "Frame1_2", {}, image},
        {"Label1_4", 1, "Frame1_2", QStringLiteral("ファイル表示"), {}},
        {"Text1_2", 1, "Frame1_2", {}, image},
        {"Check1_0", 1, "Frame1_2", QStringLiteral("拡張子は表示しない"), {}},
        {"Label1_10", 1, "Frame1_2", QStringLiteral("ヘアライン表示"), {}},
        {"Text1_6", 1, "Frame1_2", {}, {}},
        {"Label1_14", 1, "Frame1_2", QStringLiteral("ヘッダ部のファイル名"), {}},
        {"Text1_11", 1, "Frame1_2", {}, {}},
        {"Label1_15", 1, "Frame1_2", QStringLiteral("フッタ部のファイル名"), {}},
        {"Text1_12", 1, "Frame1_2", {}, {}},
        {"Frame1_3", 1, nullptr, QStringLiteral("各行の<TH><TD>に対しての追加"), {}},
        {"Label1_5", 1, "Frame1_3", QStringLiteral("<TH\u3000"), {}},
        {"Text1_3", 1, "Frame1_3", {}, cell},
        {"Label1_7", 1, "Frame1_3", QStringLiteral(">"), {}},
        {"Label1_6", 1, "Frame1_3", QStringLiteral("<TD\u3000"), {}},
        {"Text1_4", 1, "Frame1_3", {}, cell},
        {"Label1_8", 1, "Frame1_3", QStringLiteral(">"), {}},
        {"Frame1_4", 2, nullptr, {}, {}},
        {"Label1_9", 2, "Frame1_4", QStringLiteral("出力するHTMLファイル名"), {}},
        {"Text1_5", 2, "Frame1_4", {}, {}},
        {"Label1_11", 2, "Frame1_4", QStringLiteral("出力先フォルダ名"), {}},
        {"Text1_9", 2, "Frame1_4", {}, gather},
        {"Command2_1", 2, "Frame1_4", QStringLiteral("…"), browse},
        {"Label1_12", 2, "Frame1_4", QStringLiteral("出力先のURL名"), {}},
        {"Text1_10", 2, "Frame1_4", {}, gather},
        {"CheckSkipSame", 2, "Frame1_4", QStringLiteral("内容が変わらないページは書き換えない"),
         QStringLiteral("前回と中身が同じページ・スナップショット・新着情報・プレイリストは"
                        "書き換えず、ファイルの日時をそのまま残します (作成日時の行は比べません)")},
        {"Frame1_6", 2, nullptr, QStringLiteral("差分に \"new\""), {}},
        {"Check1_1", 2, "Frame1_6", QStringLiteral("付けて表示する →"), {}},
        {"Text1_7", 2, "Frame1_6", {}, mark},
        {"Frame1_7", 2, nullptr, QStringLiteral("更新に \"update\""), {}},
        {"Check1_2", 2, "Frame1_7", QStringLiteral("付けて表示する →"), {}},
        {"Text1_8", 2, "Frame1_7", {}, mark},
        {"Label2_0", 3, nullptr, QStringLiteral("出力しない項目"), {}},
        {"List1", 3, nullptr, {}, {}},
        {"Command3_0", 3, nullptr, QStringLiteral(">>>"), QStringLiteral("出力する項目へmove")},
        {"Command3_1", 3, nullptr, QStringLiteral("<<<"), QStringLiteral("出力する項目からreMove")},
        {"Command3_2", 3, nullptr, QStringLiteral("↑"), QStringLiteral("上に移動")},
        {"Command3_3", 3, nullptr, QStringLiteral("↓"), QStringLiteral("下に移動")},
        {"Label2_1", 3, nullptr, QStringLiteral("出力する項目"), {}},
        {"List2",
         3,
         nullptr,
         {},
         QStringLiteral("この順番で出力されます。ただし先頭はファイル名固定です")},
        {"Check2", 3, nullptr, QStringLiteral("ID3タグの処理をする"), {}},
        {"FrameVisitors", 2, nullptr, QStringLiteral("訪問者向け"), {}},
        {"CheckFeed", 2, "FrameVisitors", QStringLiteral("新着情報 (whatsnew.xml / whatsnew.htm)"),
         QStringLiteral("新着・更新のファイルをルートフォルダ (集約時は出力先フォルダ) "
                        "の Atom フィードと新着ページにします。履歴は環境セットの隣に保存")},
        {"CheckPlaylist", 2, "FrameVisitors", QStringLiteral("プレイリスト (.m3u8)"),
         QStringLiteral("MP3 のあるフォルダごとに、ページと同じ名前の .m3u8 を書きます")},
        {"Frame1_1", 4, nullptr, {}, {}},
        {"Label1_2", 4, "Frame1_1", {}, {}},
        {"List3", 4, nullptr, {}, {}},
        {"SetFolder", 4, nullptr, {}, {}},
    };
    for (const Row& row : rows) {
      QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.tab
                              << QString::fromLatin1(row.frame) << row.caption << row.tooltip;
    }
  }

  void ControlsSitInTheirTabsAndFramesWithCaptionsAndTooltips() {
    QFETCH(QString, name);
    QFETCH(int, tab);
    QFETCH(QString, frame);
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    TestProgram program;
    auto form = program.Open();
    auto* widget = form->findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QVERIFY(Control<QTabWidget>(*form, "SSTab1")->widget(tab)->isAncestorOf(widget));
    if (!frame.isEmpty()) {
      QVERIFY(form->findChild<QGroupBox*>(frame)->isAncestorOf(widget));
    } else {
      for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        QVERIFY(qobject_cast<QGroupBox*>(up) == nullptr);
      }
    }
    QCOMPARE(widget->toolTip(), tooltip);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      // The version text and the sets' folder; see SetsTest.
      if (name == QStringLiteral("Label1_2") || name == QStringLiteral("SetFolder")) return;
      shown = label->text();
      // "<TH　" and the like are shown as written, not taken for markup.
      QCOMPARE(label->textFormat(), Qt::PlainText);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      shown = button->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
      shown = frame->title();
    }
    QCOMPARE(shown, caption);
  }

  void ComboBoxesAreEditableAndStartButtonTakesAltG() {
    TestProgram program;
    auto form = program.Open();
    for (const char* name : {"Combo1", "Combo2", "Combo3"}) {
      auto* combo = Control<QComboBox>(*form, name);
      QVERIFY(combo->isEditable());
      QCOMPARE(combo->insertPolicy(), QComboBox::NoInsert);
    }
    QCOMPARE(Control<QPushButton>(*form, "Command1")->shortcut(),
             QKeySequence(QStringLiteral("Alt+G")));
  }

  // The window opens at its smallest size and can be widened: the text boxes take the width.
  // Long texts change no size. The focus starts in the root folder box.
  void WindowWidensButNotBelowItsOpeningSize() {
    TestProgram program;
    auto form = program.Open();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto* combo1 = Control<QComboBox>(*form, "Combo1");
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(combo1));
    const QSize size = form->size();
    QCOMPARE(form->minimumSize(), size);
    QVERIFY(form->maximumWidth() > size.width());
    combo1->addItem(QString(300, u'x'));
    combo1->setEditText(QString(300, u'y'));
    Control<QLabel>(*form, "ProgressLine")->setText(QString(300, u'z'));
    QApplication::processEvents();
    QCOMPARE(form->size(), size);

    const int combo_width = combo1->width();
    auto* tabs = Control<QTabWidget>(*form, "SSTab1");
    tabs->setCurrentIndex(2);
    auto* output_folder = Control<QLineEdit>(*form, "Text1_9");
    const int edit_width = output_folder->width();
    form->resize(size.width() + 200, size.height());
    QTRY_COMPARE(form->width(), size.width() + 200);
    QVERIFY(output_folder->width() >= edit_width + 150);
    tabs->setCurrentIndex(0);
    QTRY_VERIFY(combo1->width() >= combo_width + 150);
  }

  // The work list shows whole rows, a horizontal scroll bar included.
  void WorkListShowsWholeRows() {
    TestProgram program;
    auto form = program.Open();
    auto* list = Control<QListWidget>(*form, "List3");
    for (int i = 0; i < 3; ++i)
      list->addItem(QStringLiteral("/srv/www/music/") + QString(200, u'x'));
    form->show();
    Control<QTabWidget>(*form, "SSTab1")->setCurrentIndex(4);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const int row = list->sizeHintForRow(0);
    const int shown = list->viewport()->height();
    QVERIFY2(shown >= 3 * row, qPrintable(QStringLiteral("%1 %2").arg(shown).arg(row)));
    QCOMPARE(shown % row, 0);
  }

  void ChoosingAFolderSelectsTheUrlAtItsPlace() {
    TestProgram program;
    program.WriteIni(QStringLiteral("VELDRA.ini"),
                     {QStringLiteral("[MAIN]"), QStringLiteral("DIR(0)=/d0/"),
                      QStringLiteral("DIR(1)=/d1/"), QStringLiteral("DIR(2)=/d2/"),
                      QStringLiteral("URL(0)=/u0/"), QStringLiteral("URL(1)=/u1/")});
    auto form = program.Open();
    auto* combo1 = Control<QComboBox>(*form, "Combo1");
    auto* combo2 = Control<QComboBox>(*form, "Combo2");
    QCOMPARE(combo2->currentText(), QStringLiteral("/u0/"));

    combo1->setCurrentIndex(1);
    emit combo1->activated(1);
    QCOMPARE(combo2->currentIndex(), 1);
    QCOMPARE(combo2->currentText(), QStringLiteral("/u1/"));

    // The URL history is shorter: the URL stays as it is.
    combo2->setEditText(QStringLiteral("/typed/"));
    combo1->setCurrentIndex(2);
    emit combo1->activated(2);
    QCOMPARE(combo2->currentText(), QStringLiteral("/typed/"));
    QCOMPARE(Items(*combo2), QStringList({QStringLiteral("/u0/"), QStringLiteral("/u1/")}));
  }
};

int RunWindowTest(int argc, char** argv) {
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldra::test

#include "window_test.moc"
