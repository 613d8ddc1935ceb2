#include "ui_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace veldra::test {

void FakeDialogs::ShowMessage(QWidget* /*owner*/, const QString& text, const QString& title,
                              Icon icon) {
  messages.push_back({text, title, icon});
}

std::optional<QString> FakeDialogs::PickFolder(QWidget* /*owner*/, const QString& title,
                                               const QString& start_folder) {
  picker_titles.append(title);
  picker_starts.append(start_folder);
  if (folder_answers.empty()) return std::nullopt;
  const bool chosen = folder_answers.front().has_value();
  const QString path = folder_answers.front().value_or(QString());
  folder_answers.pop_front();
  if (!chosen) return std::nullopt;
  return path;
}

void FakeDialogs::EndProgram(int code) { exit_code = code; }

TestProgram::TestProgram() {
  if (!dir_.isValid()) qFatal("no temporary folder");
}

ProgramPlace TestProgram::place() const {
  return {QDir(dir_.path()).absolutePath().toStdString(), "VELDRA"};
}

QString TestProgram::Path(const QString& name) const { return dir_.filePath(name); }

void TestProgram::WriteIni(const QString& file_name, const QStringList& lines) const {
  WriteBytes(Path(file_name),
             (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
}

QByteArray TestProgram::Read(const QString& name) const {
  QFile file(Path(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

std::unique_ptr<MainForm> TestProgram::Open() {
  return std::make_unique<MainForm>(place(), dialogs);
}

QStringList Items(const QComboBox& combo) {
  QStringList items;
  for (int i = 0; i < combo.count(); ++i) items.append(combo.itemText(i));
  return items;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    qFatal("cannot write %s", qPrintable(path));
  }
}

}  // namespace veldra::test
