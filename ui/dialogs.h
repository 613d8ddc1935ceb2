#pragma once
// The modal dialogs the window shows, behind an interface so tests can answer them.

#include <QString>
#include <optional>

class QWidget;

namespace veldra {

class Dialogs {
 public:
  enum class Icon { kNone, kInformation };

  virtual ~Dialogs() = default;
  // A modal message box with an OK button; returns when the user has closed it.
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& title,
                           Icon icon) = 0;
  // The folder picker, modal to owner, offering folders only. The chosen path as the picker
  // returns it (not checked), or nothing when the user cancelled.
  virtual std::optional<QString> PickFolder(QWidget* owner, const QString& title) = 0;
  // Ends the program at once with an exit code; no event of the window runs after it.
  virtual void EndProgram(int exit_code) = 0;
};

// The real dialogs: QMessageBox, QFileDialog, and a quit of the event loop.
class QtDialogs final : public Dialogs {
 public:
  void ShowMessage(QWidget* owner, const QString& text, const QString& title, Icon icon) override;
  std::optional<QString> PickFolder(QWidget* owner, const QString& title) override;
  void EndProgram(int exit_code) override;
};

}  // namespace veldra
