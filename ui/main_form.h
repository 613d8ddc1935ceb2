#pragma once
// The program's one window, main_form: five tabs whose controls hold every setting of the
// environment set in use, the Start button that runs it, and the set list.

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "settings/set_file.h"
#include "ui/form_controls.h"

class QSessionManager;
class QTimer;

namespace veldra {

class Dialogs;
class RunLock;
class RunThread;
struct RunResult;

class MainForm final : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and runs Form_Load for the program folder and name in place. Every
  // message box and the folder picker go through dialogs, which must outlive the window.
  MainForm(ProgramPlace place, Dialogs& dialogs, QWidget* parent = nullptr);
  ~MainForm() override;

  const FormControls& controls() const { return c_; }
  // The set file in use: where closing the window saves.
  const std::string& ini_path() const { return ini_path_; }
  bool IsRunning() const { return run_ != nullptr; }

  // Test-only: called at each named pause point of the runs started from now on, on the run's
  // thread (see RunControl).
  void SetTestPauseHook(std::function<void(std::string_view)> hook) {
    test_pause_hook_ = std::move(hook);
  }

  // The window's events; the controls' signals call them.
  void Form_Load();
  void Combo1_Click(int index);
  void Combo3_Click(int index);
  void Command1_Click();
  void Command2_Click(int index);
  void Command3_Click(int index);
  // The 中止 button (and Esc): asks the run to stop between folders.
  void StopRun();
  // Saves the set in use into its file (the close handling). False while a run is going on:
  // the close is then put off until the run has ended.
  bool Form_QueryUnload();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ConnectControls();
  void LoadSet();
  void SaveSet();
  void StartRun(const EnvironmentSet& set, RunLock lock);
  void ShowProgress();
  void FinishRun();
  void SetProgressText(const QString& text);
  void ShowElapsed();
  void SetInputsEnabled(bool enabled);
  void OnAboutToQuit();
  void OnCommitData(QSessionManager& manager);

  const ProgramPlace place_;
  Dialogs& dialogs_;
  FormControls c_;
  std::string ini_path_;
  RunThread* run_ = nullptr;
  std::function<void(std::string_view)> test_pause_hook_;
  QElapsedTimer run_time_;
  QTimer* elapsed_timer_ = nullptr;  // refreshes the elapsed time once a second during a run
  bool close_pending_ = false;       // a close came during a run
  bool closed_ = false;              // the close handling has saved the set
  bool ended_ = false;               // the program is ending without saving
  // The set's file exists but could not be read when the set was loaded: the window never saves
  // over it (it would replace the file's content with what the window shows).
  bool set_unreadable_ = false;
};

}  // namespace veldra
