#pragma once
// What the window tests share: a dialog double, a temporary program folder, finding controls.

#include <QComboBox>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "settings/set_file.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"

namespace veldra::test {

// Records every message and answers the folder picker from a queue (cancel when it is empty).
class FakeDialogs final : public Dialogs {
 public:
  struct Message {
    QString text;
    QString title;
    Icon icon;
  };

  void ShowMessage(QWidget* owner, const QString& text, const QString& title, Icon icon) override;
  std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                    const QString& start_folder) override;
  void EndProgram(int exit_code) override;

  std::vector<Message> messages;
  std::deque<std::optional<QString>> folder_answers;
  QStringList picker_titles;
  QStringList picker_starts;
  std::optional<int> exit_code;
};

// A program folder in a temporary folder, with the program name "VELDRA".
class TestProgram {
 public:
  TestProgram();
  ProgramPlace place() const;
  // Path below the program folder.
  QString Path(const QString& name) const;
  // Writes an INI file (ASCII lines, CR LF) into the program folder.
  void WriteIni(const QString& file_name, const QStringList& lines) const;
  // Bytes of a file below the program folder ("" when missing).
  QByteArray Read(const QString& name) const;
  // A new window on this folder, with the fake dialogs.
  std::unique_ptr<MainForm> Open();

  FakeDialogs dialogs;

 private:
  QTemporaryDir dir_;
};

// The control of a window with an object name; fails the process when there is none.
template <typename W>
W* Control(const QWidget& form, const char* name) {
  W* widget = form.findChild<W*>(QString::fromLatin1(name));
  if (widget == nullptr) qFatal("no control %s", name);
  return widget;
}

QStringList Items(const QComboBox& combo);

// Writes a file with bytes, making parent folders.
void WriteBytes(const QString& path, const QByteArray& bytes);

}  // namespace veldra::test
