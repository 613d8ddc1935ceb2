#include "ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSessionManager>
#include <QTabWidget>
#include <utility>

#include "engine/messages.h"
#include "engine/run.h"
#include "platform/text_compare.h"
#include "settings/set_list.h"
#include "ui/column_chooser.h"
#include "ui/dialogs.h"
#include "ui/folder_browse.h"
#include "ui/qt_text.h"
#include "ui/run_thread.h"
#include "ui/set_binding.h"
#include "ui/sorted_list.h"
#include "ui/version_text.h"

namespace veldra {

MainForm::MainForm(ProgramPlace place, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), place_(std::move(place)), dialogs_(dialogs) {
  setObjectName(QStringLiteral("main_form"));
  setWindowTitle(ToQ(text::kWindowCaption));
  c_ = BuildFormControls(*this);
  ConnectControls();
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QCoreApplication::aboutToQuit, this, &MainForm::OnAboutToQuit);
    connect(app, &QGuiApplication::commitDataRequest, this, &MainForm::OnCommitData,
            Qt::DirectConnection);
  }
  Form_Load();
}

MainForm::~MainForm() {
  // A window destroyed during a run (a program end) waits for it: the run owns files it writes.
  if (run_ != nullptr) run_->wait();
}

void MainForm::ConnectControls() {
  connect(c_.Combo1, &QComboBox::activated, this, &MainForm::Combo1_Click);
  connect(c_.Combo3, &QComboBox::activated, this, &MainForm::Combo3_Click);
  connect(c_.Command1, &QPushButton::clicked, this, &MainForm::Command1_Click);
  for (int i = 0; i < static_cast<int>(c_.Command2.size()); ++i) {
    connect(c_.Command2[static_cast<size_t>(i)], &QPushButton::clicked, this,
            [this, i] { Command2_Click(i); });
  }
  for (int i = 0; i < static_cast<int>(c_.Command3.size()); ++i) {
    connect(c_.Command3[static_cast<size_t>(i)], &QPushButton::clicked, this,
            [this, i] { Command3_Click(i); });
  }
}

void MainForm::Form_Load() {
  c_.Label1[2]->setText(ToQ(VersionText(place_.name)));

  const NameCollator collator;
  const QSignalBlocker blocker(c_.Combo3);
  c_.Combo3->clear();
  bool own_set_listed = false;
  for (const std::string& name : ListEnvironmentSets(place_)) {
    // The program's own set is listed once, as the program names it.
    if (EqualsNoCase(name, place_.name)) {
      if (own_set_listed) continue;
      own_set_listed = true;
    }
    InsertSorted(*c_.Combo3, ToQ(name), collator);
  }
  c_.Combo3->setCurrentIndex(-1);
  c_.Combo3->setEditText(ToQ(place_.name));
  LoadSet();
}

void MainForm::LoadSet() {
  EnvironmentSet set;
  set.SetName = FromQ(c_.Combo3->currentText());
  ini_path_ = LoadEnvironmentSet(place_, set);
  ShowSet(c_, set);
}

void MainForm::SaveSet() {
  // A failed save goes unnoticed, as every settings write does.
  (void)SaveEnvironmentSet(ReadSet(c_), ini_path_);
}

void MainForm::Combo1_Click(int index) {
  if (index < 0 || index >= c_.Combo2->count()) return;
  c_.Combo2->setCurrentIndex(index);
  c_.Combo2->setEditText(c_.Combo2->itemText(index));
}

void MainForm::Combo3_Click(int index) {
  if (IsRunning() || index < 0 || index >= c_.Combo3->count()) return;
  c_.Combo3->setEditText(c_.Combo3->itemText(index));
  LoadSet();
}

void MainForm::Command1_Click() {
  if (IsRunning()) return;
  EnvironmentSet set = ReadSet(c_);
  std::vector<std::string> set_list = ComboItems(*c_.Combo3);
  const InputError error = PrepareRunInput(set, set_list);
  ShowCombo(*c_.Combo1, set.RootFolderHistory, set.RootFolder);
  ShowCombo(*c_.Combo2, set.RootUrlHistory, set.RootUrl);
  ShowCombo(*c_.Combo3, set_list, set.SetName);
  if (error != InputError::kNone) {
    dialogs_.ShowMessage(this, ToQ(InputErrorMessage(error, set.CodePage)), ToQ(text::kInputErrorTitle),
                         Dialogs::Icon::kNone);
    return;
  }
  StartRun(set);
}

void MainForm::StartRun(const EnvironmentSet& set) {
  // The tabs take no input until the run has ended: no second run, no set switch, no edits the
  // run would not see. The progress line below them stays live.
  c_.SSTab1->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  SetProgressText(QStringLiteral("処理中…"));
  run_ = new RunThread(set, place_, this);
  connect(run_, &RunThread::ProgressChanged, this, &MainForm::ShowProgress, Qt::QueuedConnection);
  connect(run_, &QThread::finished, this, &MainForm::FinishRun, Qt::QueuedConnection);
  run_->start();
}

void MainForm::ShowProgress() {
  if (run_ == nullptr) return;
  const RunThread::Progress progress = run_->TakeProgress();
  SetProgressText(
      QStringLiteral("%1 フォルダ済み\u3000%2").arg(progress.pages_written).arg(progress.folder));
}

void MainForm::SetProgressText(const QString& text) {
  QLabel& line = *c_.ProgressLine;
  line.setText(line.fontMetrics().elidedText(text, Qt::ElideMiddle, line.width()));
}

void MainForm::FinishRun() {
  if (run_ == nullptr) return;
  run_->wait();
  RunResult result = run_->TakeResult();
  delete std::exchange(run_, nullptr);

  ini_path_ = result.ini_path;
  c_.List3->clear();
  c_.List3->addItems(ToQList(result.work_list));
  SetProgressText(QString());
  QApplication::restoreOverrideCursor();
  const QString title =
      ToQ(text::kNoticeTitleOpen) + ToQ(text::kWindowCaption) + ToQ(text::kNoticeTitleClose);
  dialogs_.ShowMessage(this, ToQ(FormatRunNotice(result.report)), title,
                       Dialogs::Icon::kInformation);
  c_.SSTab1->setEnabled(true);
  if (std::exchange(close_pending_, false)) close();
}

void MainForm::Command2_Click(int index) {
  if (index < 0 || index > 1) return;
  QString path;
  const int code = BrowseForFolder(dialogs_, this, ToQ(text::kBrowseTitle), path);
  if (code == kBrowseChosen) {
    if (index == 0) {
      c_.Combo1->setEditText(path);
    } else {
      c_.Text1[9]->setText(path);
    }
  } else if (code != kBrowseCancelled) {
    dialogs_.ShowMessage(this, ToQ(text::kBrowseFailed), ToQ(text::kProgramTitle),
                         Dialogs::Icon::kNone);
    ended_ = true;
    dialogs_.EndProgram(1);
  }
}

void MainForm::Command3_Click(int index) { veldra::Command3_Click(*c_.List1, *c_.List2, index); }

bool MainForm::Form_QueryUnload() {
  if (IsRunning()) return false;
  if (!ended_) SaveSet();
  return true;
}

void MainForm::closeEvent(QCloseEvent* event) {
  if (closed_ || ended_) {
    event->accept();
    return;
  }
  if (!Form_QueryUnload()) {
    // The run saves the set itself when it ends; the window closes right after its notice.
    close_pending_ = true;
    event->ignore();
    return;
  }
  closed_ = true;
  event->accept();
}

void MainForm::OnAboutToQuit() {
  // The program is quitting without a close of the window (a quit from the session or the
  // application): wait for a run to end, then save as a close would.
  if (run_ != nullptr) {
    run_->wait();
    ini_path_ = run_->TakeResult().ini_path;
    delete std::exchange(run_, nullptr);
    QApplication::restoreOverrideCursor();
  }
  if (!closed_ && !ended_) {
    SaveSet();
    closed_ = true;
  }
}

void MainForm::OnCommitData(QSessionManager& /*manager*/) {
  // The session is ending: save now, the window may get no close. During a run the run saves.
  if (!IsRunning() && !ended_) SaveSet();
}

}  // namespace veldra
