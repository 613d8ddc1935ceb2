#pragma once
// Conversions between the engine's UTF-8 std::string and QString.

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

QString ToQ(std::string_view utf8);
std::string FromQ(const QString& text);

QStringList ToQList(const std::vector<std::string>& texts);
std::vector<std::string> FromQList(const QStringList& texts);

}  // namespace veldra
