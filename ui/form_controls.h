#pragma once
// The controls of the main window, built into their tabs and frames, each named after its control
// name and index ("Text1_5", "Command3_2") so that tests and the settings code can find them.

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace veldra {

struct FormControls {
  QTabWidget* SSTab1 = nullptr;
  QComboBox* Combo1 = nullptr;  // root folder and its history
  QComboBox* Combo2 = nullptr;  // root URL and its history
  QComboBox* Combo3 = nullptr;  // set name and the sorted set list
  std::array<QLineEdit*, 13> Text1{};
  std::array<QCheckBox*, 3> Check1{};
  QCheckBox* Check2 = nullptr;
  QCheckBox* CheckSkipSame = nullptr;  // SKIPSAME, on Option②
  // Visitors' files (FEED, PLAYLIST), on Option②.
  QCheckBox* CheckFeed = nullptr;
  QCheckBox* CheckPlaylist = nullptr;
  QPushButton* Command1 = nullptr;
  std::array<QPushButton*, 2> Command2{};
  std::array<QPushButton*, 4> Command3{};
  QListWidget* List1 = nullptr;  // hidden columns
  QListWidget* List2 = nullptr;  // output columns
  QListWidget* List3 = nullptr;  // work list of the last run
  std::array<QLabel*, 16> Label1{};
  std::array<QLabel*, 2> Label2{};
  std::array<QGroupBox*, 8> Frame1{};  // indexes 0 to 4, 6 and 7
  // What a run shows in the lower half of 処理, hidden between runs. ProcessInputs holds the
  // controls of 処理 above it, which take no input during a run.
  QWidget* ProcessInputs = nullptr;
  QWidget* RunPanel = nullptr;
  QProgressBar* RunProgress = nullptr;  // folders done of found so far, then pages gathered
  QLabel* RunFolders = nullptr;
  QLabel* RunPages = nullptr;
  QLabel* RunGathered = nullptr;
  QLabel* RunElapsed = nullptr;
  QPushButton* StopButton = nullptr;  // 中止, also Esc
  QLabel* ProgressLine = nullptr;     // the folder being worked on
  QLabel* SetFolder = nullptr;        // version tab: the folder that holds the sets
};

// Builds the tab control into form and returns the controls. Texts and lists are left empty: a
// loaded set fills them.
FormControls BuildFormControls(QWidget& form);

}  // namespace veldra
