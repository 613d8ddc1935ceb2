#pragma once
// The modal dialogs the window shows, behind an interface so tests can answer them.

#include <QString>
#include <memory>
#include <optional>

class QCoreApplication;
class QFileDialog;
class QMessageBox;
class QWidget;

namespace veldra {

class Dialogs {
 public:
  enum class Icon { kNone, kInformation, kWarning };

  virtual ~Dialogs() = default;
  // A modal message box with an OK button; returns when the user has closed it.
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& title,
                           Icon icon) = 0;
  // The folder picker, modal to owner, offering folders only, opened at start_folder (or the
  // nearest folder above it that exists). The chosen path as the picker returns it (not
  // checked), or nothing when the user cancelled.
  virtual std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                            const QString& start_folder) = 0;
  // Ends the program at once with an exit code; no event of the window runs after it.
  virtual void EndProgram(int exit_code) = 0;
};

// The real dialogs: QMessageBox, QFileDialog, and a quit of the event loop.
class QtDialogs final : public Dialogs {
 public:
  void ShowMessage(QWidget* owner, const QString& text, const QString& title, Icon icon) override;
  std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                    const QString& start_folder) override;
  void EndProgram(int exit_code) override;
};

// The message box QtDialogs shows, not yet shown: wide enough for its whole title.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& title, Dialogs::Icon icon);

// The folder picker QtDialogs shows, not yet shown: Qt's own dialog (not the desktop's), so
// that it speaks the language of Qt's translations like the rest of the window.
std::unique_ptr<QFileDialog> MakeFolderPicker(QWidget* owner, const QString& title,
                                              const QString& start_folder);

// Loads Qt's own Japanese translations (standard buttons and dialogs) whatever the locale: the
// window is Japanese throughout. False when they are not installed; the texts then stay English.
bool InstallQtJapanese(QCoreApplication& app);

}  // namespace veldra
