#include "ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSessionManager>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <utility>

#include "engine/messages.h"
#include "engine/run.h"
#include "engine/run_lock.h"
#include "platform/text_compare.h"
#include "settings/set_list.h"
#include "ui/column_chooser.h"
#include "ui/dialogs.h"
#include "ui/folder_browse.h"
#include "ui/list_combo.h"
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
  elapsed_timer_ = new QTimer(this);
  elapsed_timer_->setInterval(1000);
  connect(elapsed_timer_, &QTimer::timeout, this, &MainForm::ShowElapsed);
  ConnectControls();
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QCoreApplication::aboutToQuit, this, &MainForm::OnAboutToQuit);
    connect(app, &QGuiApplication::commitDataRequest, this, &MainForm::OnCommitData,
            Qt::DirectConnection);
  }
  Form_Load();
  // The window can be widened (the text boxes stretch) but not made smaller than it opens.
  setMinimumSize(sizeHint());
  c_.Combo1->setFocus();
}

MainForm::~MainForm() {
  // A window destroyed during a run (a program end) waits for it: the run owns files it writes.
  if (run_ != nullptr) run_->wait();
}

void MainForm::ConnectControls() {
  // Only a pick from the list: Qt's own "activated" also comes when the focus leaves a box
  // whose text equals an entry, which would reload a set or replace the URL behind the user.
  connect(static_cast<ListComboBox*>(c_.Combo1), &ListComboBox::Chosen, this,
          &MainForm::Combo1_Click);
  connect(static_cast<ListComboBox*>(c_.Combo3), &ListComboBox::Chosen, this,
          &MainForm::Combo3_Click);
  connect(c_.Command1, &QPushButton::clicked, this, &MainForm::Command1_Click);
  connect(c_.StopButton, &QPushButton::clicked, this, &MainForm::StopRun);
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
  c_.SetFolder->setText(QStringLiteral("環境セットの保存先: ") +
                        QFile::decodeName(QByteArray::fromStdString(place_.folder)));

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
  const SetLoad load = LoadEnvironmentSet(place_, set);
  if (load.state == SetFileState::kRefused) {
    // The set shown stays, and so does the file it is saved to.
    dialogs_.ShowMessage(this, ToQ(text::kSetNameInvalid), ToQ(text::kInputErrorTitle),
                         Dialogs::Icon::kNone);
    return;
  }
  ini_path_ = load.ini_path;
  set_unreadable_ = load.state == SetFileState::kUnreadable;
  ShowSet(c_, set);
  if (set_unreadable_) {
    dialogs_.ShowMessage(this,
                         ToQ(std::string(text::kSetUnreadable) + load.ini_path + " (" +
                             load.detail + ")\n" + std::string(text::kSetUnreadableNotSaved)),
                         ToQ(text::kProgramTitle), Dialogs::Icon::kWarning);
  }
}

void MainForm::SaveSet() {
  // A failed save goes unnoticed, as every settings write does.
  if (set_unreadable_) return;
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
    dialogs_.ShowMessage(this, ToQ(InputErrorMessage(error, set.CodePage)),
                         ToQ(text::kInputErrorTitle), Dialogs::Icon::kNone);
    return;
  }
  // One run per set and folders at a time: refused at once (never waited for) when another run,
  // here or in a batch runner, holds the lock.
  RunLock lock;
  if (lock.Take(set, place_, SystemClock().NowUtcSeconds()) == RunLock::Outcome::kHeld) {
    dialogs_.ShowMessage(this, ToQ(RunLockedMessage(lock.holder())), ToQ(text::kProgramTitle),
                         Dialogs::Icon::kNone);
    return;
  }
  StartRun(set, std::move(lock));
}

void MainForm::StartRun(const EnvironmentSet& set, RunLock lock) {
  // The run is marked as running before any control is disabled: disabling moves the focus,
  // and nothing the focus change sets off may load a set meanwhile.
  run_ = new RunThread(set, place_, std::move(lock), test_pause_hook_, this);
  c_.RunProgress->setRange(0, 0);  // busy until the first folder is listed
  c_.RunFolders->clear();
  c_.RunPages->clear();
  c_.RunGathered->clear();
  c_.StopButton->setEnabled(true);
  c_.RunPanel->show();
  c_.StopButton->setFocus();
  // The settings take no input until the run has ended: no second run, no set switch, no edits
  // the run would not see. The progress and the 中止 button below them stay live.
  SetInputsEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  SetProgressText(QStringLiteral("処理中…"));
  run_time_.start();
  ShowElapsed();
  elapsed_timer_->start();
  connect(run_, &RunThread::ProgressChanged, this, &MainForm::ShowProgress, Qt::QueuedConnection);
  connect(run_, &QThread::finished, this, &MainForm::FinishRun, Qt::QueuedConnection);
  run_->start();
}

void MainForm::SetInputsEnabled(bool enabled) {
  c_.SSTab1->tabBar()->setEnabled(enabled);
  c_.ProcessInputs->setEnabled(enabled);
  for (int i = 1; i < c_.SSTab1->count(); ++i) c_.SSTab1->widget(i)->setEnabled(enabled);
}

void MainForm::StopRun() {
  if (run_ == nullptr) return;
  run_->RequestStop();
  c_.StopButton->setEnabled(false);
  SetProgressText(QStringLiteral("中止しています… (書きかけのページを書き終えてから止まります)"));
}

namespace {

int ClampToInt(size_t n) { return n > 2147483647u ? 2147483647 : static_cast<int>(n); }

}  // namespace

void MainForm::ShowProgress() {
  if (run_ == nullptr) return;
  const RunThread::Progress progress = run_->TakeProgress();
  c_.RunFolders->setText(QStringLiteral("フォルダ: %1 済み / %2 見つけた")
                             .arg(progress.folders_done)
                             .arg(progress.folders_found));
  c_.RunPages->setText(QStringLiteral("書き出したページ: %1").arg(progress.pages_written));
  if (progress.gathering) {
    c_.RunGathered->setText(QStringLiteral("集めたページ: %1 / %2")
                                .arg(progress.pages_gathered)
                                .arg(progress.pages_to_gather));
    c_.RunProgress->setRange(0, ClampToInt(progress.pages_to_gather));
    c_.RunProgress->setValue(ClampToInt(progress.pages_gathered));
  } else if (progress.folders_found > 0) {
    c_.RunProgress->setRange(0, ClampToInt(progress.folders_found));
    c_.RunProgress->setValue(ClampToInt(progress.folders_done));
  }
  if (!c_.StopButton->isEnabled()) return;  // keeps the line that says a stop is coming
  SetProgressText(progress.gathering ? QStringLiteral("ページを出力フォルダに集めています…")
                                     : QStringLiteral("処理中: %1").arg(progress.folder));
}

void MainForm::ShowElapsed() {
  const qint64 seconds = run_time_.isValid() ? run_time_.elapsed() / 1000 : 0;
  c_.RunElapsed->setText(QStringLiteral("経過時間: %1:%2:%3")
                             .arg(seconds / 3600)
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0')));
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
  elapsed_timer_->stop();

  ini_path_ = result.ini_path;
  // A run saves the set only over a file it can read; once saved, the file holds this set.
  if (result.set_saved) set_unreadable_ = false;
  c_.List3->clear();
  c_.List3->addItems(ToQList(result.work_list));
  SetProgressText(QString());
  c_.RunPanel->hide();
  QApplication::restoreOverrideCursor();
  const QString title =
      ToQ(text::kNoticeTitleOpen) + ToQ(text::kWindowCaption) + ToQ(text::kNoticeTitleClose);
  // A run that failed in part (no root, folders not listed or written, pages not gathered)
  // says so with the warning icon; its first line stays the same.
  dialogs_.ShowMessage(
      this, ToQ(FormatRunNotice(result.report)), title,
      result.report.AllWritten() ? Dialogs::Icon::kInformation : Dialogs::Icon::kWarning);
  SetInputsEnabled(true);
  if (std::exchange(close_pending_, false)) close();
}

void MainForm::Command2_Click(int index) {
  if (index < 0 || index > 1) return;
  QString path;
  // The picker opens at the folder already in the box.
  const QString start = index == 0 ? c_.Combo1->currentText() : c_.Text1[9]->text();
  const int code = BrowseForFolder(dialogs_, this, ToQ(text::kBrowseTitle), path, start);
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
    // Stopping between folders ends the run soonest with every written page whole.
    run_->RequestStop();
    run_->wait();
    const RunResult result = run_->TakeResult();
    ini_path_ = result.ini_path;
    if (result.set_saved) set_unreadable_ = false;
    delete std::exchange(run_, nullptr);
    elapsed_timer_->stop();
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
