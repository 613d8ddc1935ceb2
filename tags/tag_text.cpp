#include "tags/tag_text.h"

#include <charconv>
#include <cstdio>

#include "platform/code_page.h"
#include "platform/text_trim.h"
#include "platform/utf8.h"

namespace veldra {
namespace {

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The name of a genre number: the table's name, or the number itself where the table has none.
std::string GenreName(int number, const GenreTable& genres) {
  if (number >= 0 && number < static_cast<int>(genres.size())) {
    std::string name = CleanText(genres[static_cast<size_t>(number)]);
    if (!name.empty()) return name;
  }
  return std::to_string(number);
}

}  // namespace

void TagFields::FillFrom(const TagFields& other) {
  for (auto field : {&TagFields::title, &TagFields::artist, &TagFields::album, &TagFields::comment,
                     &TagFields::year, &TagFields::genre, &TagFields::track}) {
    if ((this->*field).empty()) this->*field = other.*field;
  }
}

std::string CleanText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b == 0x7F) {
      out += ' ';
    } else if (b == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += ' ';  // a C1 control character (U+0080 to U+009F)
      ++i;
    } else {
      out += static_cast<char>(b);
    }
  }
  return TrimBlanks(out);
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string out;
  for (const std::string& value : values) {
    const std::string clean = CleanText(value);
    if (clean.empty()) continue;
    if (!out.empty()) out += " / ";
    out += clean;
  }
  return out;
}

std::string YearText(std::string_view date) {
  const std::string clean = CleanText(date);
  if (clean.size() >= 4 && IsDigits(std::string_view(clean).substr(0, 4)))
    return clean.substr(0, 4);
  return clean;
}

std::string TrackNumberText(std::string_view track) {
  const std::string clean = CleanText(track);
  const std::string number = TrimBlanks(std::string_view(clean).substr(0, clean.find('/')));
  if (!IsDigits(number) || number.size() > 9) return clean;
  int value = 0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string GenreText(std::string_view tcon, const GenreTable& genres) {
  std::vector<std::string> parts;
  std::vector<std::string> numbered;  // names the references gave, to drop a repeated refinement
  std::string rest = CleanText(tcon);
  while (rest.size() >= 2 && rest[0] == '(' && rest[1] != '(') {
    const size_t close = rest.find(')');
    if (close == std::string::npos) break;
    const std::string inside = rest.substr(1, close - 1);
    std::string name;
    if (inside == "RX") {
      name = "Remix";
    } else if (inside == "CR") {
      name = "Cover";
    } else if (IsDigits(inside) && inside.size() <= 9) {
      int number = 0;
      std::from_chars(inside.data(), inside.data() + inside.size(), number);
      name = GenreName(number, genres);
    } else {
      break;  // not a reference: the whole rest is text
    }
    parts.push_back(name);
    numbered.push_back(name);
    rest = TrimBlanks(std::string_view(rest).substr(close + 1));
  }
  if (rest.size() >= 2 && rest[0] == '(' && rest[1] == '(') rest.erase(0, 1);
  if (IsDigits(rest) && rest.size() <= 9) {
    int number = 0;
    std::from_chars(rest.data(), rest.data() + rest.size(), number);
    rest = GenreName(number, genres);
  }
  bool repeated = false;
  for (const std::string& name : numbered) repeated = repeated || name == rest;
  if (!rest.empty() && !repeated) parts.push_back(rest);
  return JoinValues(parts);
}

std::string PlayTimeText(int64_t milliseconds) {
  if (milliseconds < 0) return "";
  const int64_t seconds = (milliseconds + 500) / 1000;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

std::string BitrateText(int64_t bits_per_second) {
  if (bits_per_second <= 0) return "";
  return std::to_string((bits_per_second + 500) / 1000) + "kbps";
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  const auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  if (bytes.size() % 2 != 0) AppendUtf8(out, 0xFFFD);
  return out;
}

std::string Utf8Lenient(std::string_view bytes) { return DecodeCodePage(65001, bytes); }

}  // namespace veldra
