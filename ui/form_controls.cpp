#include "ui/form_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <limits>
#include <tuple>

#include "ui/list_combo.h"
#include "ui/tag_options.h"

namespace veldra {
namespace {

// A set's texts are not cut by the edit boxes (their default limit is 32767 characters).
constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

// Tooltips that hold HTML examples ("<img src=...>") must show as written, but QToolTip takes
// any text that starts like a tag for rich text. This filter shows such tooltips escaped.
class PlainToolTipFilter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !Qt::mightBeRichText(widget->toolTip())) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(),
                       QStringLiteral("<p style='white-space:pre'>") +
                           widget->toolTip().toHtmlEscaped() + QStringLiteral("</p>"),
                       widget);
    return true;
  }
};

class Builder {
 public:
  explicit Builder(QWidget& form) : form_(form), filter_(new PlainToolTipFilter(&form)) {}

  FormControls Build() {
    auto* layout = new QVBoxLayout(&form_);
    c_.SSTab1 = Named(new QTabWidget(&form_), QStringLiteral("SSTab1"));
    c_.SSTab1->addTab(ProcessTab(), QStringLiteral("処理"));
    c_.SSTab1->addTab(OptionTab1(), QStringLiteral("Option①"));
    c_.SSTab1->addTab(OptionTab2(), QStringLiteral("Option②"));
    c_.SSTab1->addTab(ColumnTab(), QStringLiteral("Option③"));
    c_.SSTab1->addTab(VersionTab(), QStringLiteral("ばーじょん"));
    c_.SSTab1->setCurrentIndex(0);
    layout->addWidget(c_.SSTab1);
    return c_;
  }

 private:
  template <typename W>
  W* Named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
  }

  static QString Indexed(const char* control, int index) {
    return QString::fromLatin1(control) + u'_' + QString::number(index);
  }

  void Tip(QWidget* widget, const QString& tip) {
    widget->setToolTip(tip);
    widget->installEventFilter(filter_);
  }

  QLabel* Label1(int index, const QString& caption) {
    auto* label = Named(new QLabel(caption), Indexed("Label1", index));
    label->setTextFormat(Qt::PlainText);
    c_.Label1[static_cast<size_t>(index)] = label;
    return label;
  }

  QLabel* Label2(int index, const QString& caption) {
    auto* label = Named(new QLabel(caption), Indexed("Label2", index));
    label->setTextFormat(Qt::PlainText);
    c_.Label2[static_cast<size_t>(index)] = label;
    return label;
  }

  QLineEdit* Text1(int index, const QString& tip = QString()) {
    auto* edit = Named(new QLineEdit, Indexed("Text1", index));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 14);
    edit->setMaxLength(kNoLengthLimit);
    if (!tip.isEmpty()) Tip(edit, tip);
    c_.Text1[static_cast<size_t>(index)] = edit;
    return edit;
  }

  QCheckBox* Check1(int index, const QString& caption) {
    auto* box = Named(new QCheckBox(caption), Indexed("Check1", index));
    c_.Check1[static_cast<size_t>(index)] = box;
    return box;
  }

  QGroupBox* Frame1(int index, const QString& caption = QString()) {
    auto* frame = Named(new QGroupBox(caption), Indexed("Frame1", index));
    c_.Frame1[static_cast<size_t>(index)] = frame;
    return frame;
  }

  QPushButton* BrowseButton(int index) {
    auto* button = Named(new QPushButton(QStringLiteral("…")), Indexed("Command2", index));
    Tip(button, QStringLiteral("フォルダの参照"));
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3);
    c_.Command2[static_cast<size_t>(index)] = button;
    return button;
  }

  ListComboBox* Combo(const QString& name, const QString& tip) {
    // Typed text is taken as typed; an entry only when picked from the list.
    auto* combo = Named(new ListComboBox, name);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // The width follows the window, not the longest history entry.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(32);
    combo->lineEdit()->setMaxLength(kNoLengthLimit);
    Tip(combo, tip);
    return combo;
  }

  QLabel* RunLabel(const QString& name) {
    auto* label = Named(new QLabel, name);
    label->setTextFormat(Qt::PlainText);
    return label;
  }

  // The lower half of 処理 during a run: a progress bar, counts, the time, the folder being
  // worked on and the 中止 button.
  QWidget* RunPanel() {
    c_.RunPanel = Named(new QWidget, QStringLiteral("RunPanel"));
    auto* grid = new QGridLayout(c_.RunPanel);
    c_.RunProgress = Named(new QProgressBar, QStringLiteral("RunProgress"));
    c_.StopButton = Named(new QPushButton(QStringLiteral("中止")), QStringLiteral("StopButton"));
    Tip(c_.StopButton, QStringLiteral("フォルダの区切りで処理を止めます (Esc)"));
    c_.StopButton->setShortcut(QKeySequence(Qt::Key_Escape));
    c_.RunFolders = RunLabel(QStringLiteral("RunFolders"));
    c_.RunPages = RunLabel(QStringLiteral("RunPages"));
    c_.RunGathered = RunLabel(QStringLiteral("RunGathered"));
    c_.RunElapsed = RunLabel(QStringLiteral("RunElapsed"));
    c_.ProgressLine = RunLabel(QStringLiteral("ProgressLine"));
    // A long folder name must not widen the window: the line takes the width it is given and
    // the text is elided to fit.
    c_.ProgressLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    c_.ProgressLine->setMinimumHeight(c_.ProgressLine->fontMetrics().height());
    grid->addWidget(c_.RunProgress, 0, 0, 1, 2);
    grid->addWidget(c_.StopButton, 0, 2);
    grid->addWidget(c_.RunFolders, 1, 0);
    grid->addWidget(c_.RunPages, 1, 1, 1, 2);
    grid->addWidget(c_.RunGathered, 2, 0);
    grid->addWidget(c_.RunElapsed, 2, 1, 1, 2);
    grid->addWidget(c_.ProgressLine, 3, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    // Hidden between runs, but its place is kept so that a run does not resize the window.
    QSizePolicy policy = c_.RunPanel->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    c_.RunPanel->setSizePolicy(policy);
    c_.RunPanel->hide();
    return c_.RunPanel;
  }

  QWidget* ProcessTab() {
    auto* tab = new QWidget;
    auto* outer = new QVBoxLayout(tab);
    c_.ProcessInputs = Named(new QWidget, QStringLiteral("ProcessInputs"));
    auto* layout = new QVBoxLayout(c_.ProcessInputs);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox* frame = Frame1(0);
    auto* grid = new QGridLayout(frame);
    c_.Combo1 =
        Combo(QStringLiteral("Combo1"), QStringLiteral("\"/srv/www/files/\"\u3000とか入力します"));
    c_.Combo2 = Combo(QStringLiteral("Combo2"),
                      QStringLiteral("/files/ や http://www.example.com/files/ などのURL名"));
    grid->addWidget(Label1(0, QStringLiteral("ルートのフォルダ名")), 0, 0);
    grid->addWidget(c_.Combo1, 0, 1);
    grid->addWidget(BrowseButton(0), 0, 2);
    grid->addWidget(Label1(1, QStringLiteral("そのURL名")), 1, 0);
    grid->addWidget(c_.Combo2, 1, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(frame);

    auto* row = new QHBoxLayout;
    c_.Combo3 = Combo(QStringLiteral("Combo3"),
                      QStringLiteral("設定した環境を複数個、切り替えて使用したい場合に指定します。"
                                     "(INIファイルの名前になります)"));
    c_.Combo3->setMinimumContentsLength(16);
    c_.Command1 = Named(new QPushButton(QStringLiteral("開始(&G)")), QStringLiteral("Command1"));
    Tip(c_.Command1, QStringLiteral("処理を開始します"));
    c_.Command1->setMinimumSize(c_.Command1->fontMetrics().horizontalAdvance(u'M') * 10,
                                c_.Command1->fontMetrics().height() * 3);
    auto* set_column = new QVBoxLayout;
    set_column->addWidget(Label1(13, QStringLiteral("環境セットの切替")));
    set_column->addWidget(c_.Combo3);
    row->addLayout(set_column, 1);
    row->addWidget(c_.Command1, 0, Qt::AlignBottom);
    layout->addLayout(row);
    outer->addWidget(c_.ProcessInputs);
    outer->addWidget(RunPanel());
    outer->addStretch(1);
    return tab;
  }

  QWidget* OptionTab1() {
    const QString image_tip = QStringLiteral("<img src=\"...\">とかにすると画像にできます");
    const QString cell_tip = QStringLiteral("bgcolor=redなどの色指定など");
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);

    QGroupBox* tags = Frame1(2, QStringLiteral("HTML表示のタグ関係"));
    auto* grid = new QGridLayout(tags);
    grid->addWidget(Text1(0, QStringLiteral("テーブル全体の色指定はココで指定")), 0, 0, 1, 4);
    grid->addWidget(Label1(3, QStringLiteral("フォルダ表示")), 1, 0);
    grid->addWidget(Text1(1, image_tip), 1, 1);
    grid->addWidget(Label1(4, QStringLiteral("ファイル表示")), 1, 2);
    grid->addWidget(Text1(2, image_tip), 1, 3);
    grid->addWidget(Check1(0, QStringLiteral("拡張子は表示しない")), 2, 0, 1, 2);
    grid->addWidget(Label1(10, QStringLiteral("ヘアライン表示")), 2, 2);
    grid->addWidget(Text1(6), 2, 3);
    grid->addWidget(Label1(14, QStringLiteral("ヘッダ部のファイル名")), 3, 0);
    grid->addWidget(Text1(11), 3, 1, 1, 3);
    grid->addWidget(Label1(15, QStringLiteral("フッタ部のファイル名")), 4, 0);
    grid->addWidget(Text1(12), 4, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    layout->addWidget(tags);

    QGroupBox* cells = Frame1(3, QStringLiteral("各行の<TH><TD>に対しての追加"));
    auto* cell_grid = new QGridLayout(cells);
    cell_grid->addWidget(Label1(5, QStringLiteral("<TH\u3000")), 0, 0);
    cell_grid->addWidget(Text1(3, cell_tip), 0, 1);
    cell_grid->addWidget(Label1(7, QStringLiteral(">")), 0, 2);
    cell_grid->addWidget(Label1(6, QStringLiteral("<TD\u3000")), 1, 0);
    cell_grid->addWidget(Text1(4, cell_tip), 1, 1);
    cell_grid->addWidget(Label1(8, QStringLiteral(">")), 1, 2);
    cell_grid->setColumnStretch(1, 1);
    layout->addWidget(cells);
    layout->addStretch(1);
    return tab;
  }

  QWidget* OptionTab2() {
    const QString gather_tip =
        QStringLiteral("HTMLファイルを別フォルダに集約したい場合はココに指定");
    const QString mark_tip = QStringLiteral("<img src=\"...\">とかでもOK");
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);

    QGroupBox* output = Frame1(4);
    auto* grid = new QGridLayout(output);
    grid->addWidget(Label1(9, QStringLiteral("出力するHTMLファイル名")), 0, 0);
    grid->addWidget(Text1(5), 0, 1, 1, 2);
    grid->addWidget(Label1(11, QStringLiteral("出力先フォルダ名")), 1, 0);
    grid->addWidget(Text1(9, gather_tip), 1, 1);
    grid->addWidget(BrowseButton(1), 1, 2);
    grid->addWidget(Label1(12, QStringLiteral("出力先のURL名")), 2, 0);
    grid->addWidget(Text1(10, gather_tip), 2, 1, 1, 2);
    c_.CheckSkipSame = Named(new QCheckBox(QStringLiteral("内容が変わらないページは書き換えない")),
                             QStringLiteral("CheckSkipSame"));
    Tip(c_.CheckSkipSame,
        QStringLiteral("前回と中身が同じページ・スナップショット・新着情報・プレイリストは"
                       "書き換えず、ファイルの日時をそのまま残します (作成日時の行は比べません)"));
    grid->addWidget(c_.CheckSkipSame, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(output);

    const struct {
      int frame, check, text;
      const char16_t* caption;
    } marks[] = {{6, 1, 7, u"差分に \"new\""}, {7, 2, 8, u"更新に \"update\""}};
    for (const auto& mark : marks) {
      QGroupBox* frame = Frame1(mark.frame, QString::fromUtf16(mark.caption));
      auto* row = new QHBoxLayout(frame);
      row->addWidget(Check1(mark.check, QStringLiteral("付けて表示する →")));
      row->addWidget(Text1(mark.text, mark_tip), 1);
      layout->addWidget(frame);
    }
    layout->addWidget(VisitorsFrame());
    layout->addStretch(1);
    return tab;
  }

  // The new-arrivals feed and page, and the playlists: files for the site's visitors.
  QGroupBox* VisitorsFrame() {
    auto* frame =
        Named(new QGroupBox(QStringLiteral("訪問者向け")), QStringLiteral("FrameVisitors"));
    auto* row = new QHBoxLayout(frame);
    c_.CheckFeed = Named(new QCheckBox(QStringLiteral("新着情報 (whatsnew.xml / whatsnew.htm)")),
                         QStringLiteral("CheckFeed"));
    Tip(c_.CheckFeed,
        QStringLiteral("新着・更新のファイルをルートフォルダ (集約時は出力先フォルダ) "
                       "の Atom フィードと新着ページにします。履歴は環境セットの隣に保存"));
    c_.CheckPlaylist = Named(new QCheckBox(QStringLiteral("プレイリスト (.m3u8)")),
                             QStringLiteral("CheckPlaylist"));
    Tip(c_.CheckPlaylist,
        QStringLiteral("MP3 のあるフォルダごとに、ページと同じ名前の .m3u8 を書きます"));
    row->addWidget(c_.CheckFeed);
    row->addWidget(c_.CheckPlaylist);
    row->addStretch(1);
    return frame;
  }

  QListWidget* ColumnList(const QString& name) {
    auto* list = Named(new QListWidget, name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    const QFontMetrics metrics = list->fontMetrics();
    list->setFixedSize(metrics.horizontalAdvance(QStringLiteral("ID3-COMMENT")) + 48,
                       metrics.height() * 9 + 12);
    return list;
  }

  QPushButton* MoveButton(int index, const QString& caption, const QString& tip) {
    auto* button = Named(new QPushButton(caption), Indexed("Command3", index));
    Tip(button, tip);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("<<<")) * 3);
    c_.Command3[static_cast<size_t>(index)] = button;
    return button;
  }

  QWidget* ColumnTab() {
    auto* tab = new QWidget;
    auto* grid = new QGridLayout(tab);
    c_.List1 = ColumnList(QStringLiteral("List1"));
    c_.List2 = ColumnList(QStringLiteral("List2"));
    Tip(c_.List2, QStringLiteral("この順番で出力されます。ただし先頭はファイル名固定です"));

    auto* between = new QVBoxLayout;
    between->addStretch(1);
    between->addWidget(MoveButton(0, QStringLiteral(">>>"), QStringLiteral("出力する項目へmove")));
    between->addWidget(
        MoveButton(1, QStringLiteral("<<<"), QStringLiteral("出力する項目からreMove")));
    between->addStretch(1);
    auto* order = new QVBoxLayout;
    order->addStretch(1);
    for (auto [index, caption, tip] :
         {std::tuple{2, u"↑", u"上に移動"}, std::tuple{3, u"↓", u"下に移動"}}) {
      QPushButton* button = MoveButton(index, QString::fromUtf16(caption), QString::fromUtf16(tip));
      button->setFixedWidth(button->fontMetrics().height() * 2);
      order->addWidget(button);
    }
    order->addStretch(1);

    grid->addWidget(Label2(0, QStringLiteral("出力しない項目")), 0, 0);
    grid->addWidget(Label2(1, QStringLiteral("出力する項目")), 0, 3);
    grid->addWidget(c_.List1, 1, 0);
    grid->addLayout(between, 1, 1);
    grid->addLayout(order, 1, 2);
    grid->addWidget(c_.List2, 1, 3);
    c_.Check2 =
        Named(new QCheckBox(QStringLiteral("ID3タグの処理をする")), QStringLiteral("Check2"));
    grid->addWidget(c_.Check2, 2, 0, 1, 4);
    AddTagOptions(*grid, 3);
    grid->setRowStretch(5, 1);
    return tab;
  }

  QWidget* VersionTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    QGroupBox* frame = Frame1(1);
    auto* inside = new QVBoxLayout(frame);
    inside->addWidget(Label1(2, QString()));
    layout->addWidget(frame);
    c_.SetFolder = Named(new QLabel, QStringLiteral("SetFolder"));
    c_.SetFolder->setTextFormat(Qt::PlainText);
    c_.SetFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    c_.SetFolder->setWordWrap(true);
    layout->addWidget(c_.SetFolder);
    c_.List3 = Named(new QListWidget, QStringLiteral("List3"));
    layout->addWidget(c_.List3);
    // A few whole rows above a horizontal scroll bar that is always there, so that a long path
    // never covers or cuts a row.
    constexpr int kWorkListRows = 4;
    c_.List3->setUniformItemSizes(true);
    c_.List3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c_.List3->addItem(QStringLiteral("/"));
    const int row = c_.List3->sizeHintForRow(0);
    c_.List3->clear();
    c_.List3->setFixedHeight(kWorkListRows * row + 2 * c_.List3->frameWidth() +
                             c_.List3->horizontalScrollBar()->sizeHint().height());
    layout->addStretch(1);
    return tab;
  }

  QWidget& form_;
  PlainToolTipFilter* filter_;
  FormControls c_;
};

}  // namespace

FormControls BuildFormControls(QWidget& form) { return Builder(form).Build(); }

}  // namespace veldra
