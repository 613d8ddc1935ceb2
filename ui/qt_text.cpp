#include "ui/qt_text.h"

namespace veldra {

QString ToQ(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQ(const QString& text) { return text.toStdString(); }

QStringList ToQList(const std::vector<std::string>& texts) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& text : texts) list.append(ToQ(text));
  return list;
}

std::vector<std::string> FromQList(const QStringList& texts) {
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(texts.size()));
  for (const QString& text : texts) list.push_back(FromQ(text));
  return list;
}

}  // namespace veldra
