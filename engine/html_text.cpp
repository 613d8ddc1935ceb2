#include "engine/html_text.h"

#include <cstdint>
#include <optional>

#include "platform/cp932.h"
#include "platform/utf8.h"

namespace veldra {
namespace {

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
  }
}

void AppendPercent(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[b >> 4];
  out += kHex[b & 0x0F];
}

std::optional<int> HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// Decodes the entity at text[i] ('&'); returns its length, or 0 when it is not one we write.
size_t DecodeEntity(std::string_view text, size_t i, std::string& out) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  for (const auto& [name, c] : kNamed) {
    if (text.substr(i, name.size()) == name) {
      out += c;
      return name.size();
    }
  }
  if (text.substr(i, 2) != "&#") return 0;
  size_t k = i + 2;
  const bool hex = k < text.size() && (text[k] == 'x' || text[k] == 'X');
  if (hex) ++k;
  uint32_t cp = 0;
  const size_t digits_start = k;
  while (k < text.size() && k - digits_start < 8) {
    const auto v = hex                                  ? HexValue(text[k])
                   : (text[k] >= '0' && text[k] <= '9') ? std::optional<int>(text[k] - '0')
                                                        : std::nullopt;
    if (!v) break;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(*v);
    ++k;
  }
  if (k == digits_start || k >= text.size() || text[k] != ';') return 0;
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  AppendUtf8(out, cp);
  return k + 1 - i;
}

}  // namespace

namespace {

// The valid multi-byte character c (its UTF-8 bytes at text[i], len of them) in the given form.
void AppendCharacter(std::string& out, std::string_view text, size_t i, size_t len, uint32_t c,
                     TextForm form) {
  if (form == TextForm::kCp932) {
    AppendCp932Char(out, c);
  } else {
    out.append(text, i, len);
  }
}

// A byte that is not valid UTF-8, as the replacement character U+FFFD.
void AppendReplacement(std::string& out, TextForm form) {
  if (form == TextForm::kCp932) {
    AppendCp932Char(out, 0xFFFD);
  } else {
    out += "\xEF\xBF\xBD";
  }
}

bool NeedsEscape(unsigned char b, bool line_breaks) {
  return b == '&' || b == '<' || b == '>' || b == '"' || (line_breaks && (b == '\r' || b == '\n'));
}

void AppendEscaped(std::string& out, std::string_view text, TextForm form, bool line_breaks) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      // A run of ASCII bytes that stand for themselves is copied at once.
      size_t end = i;
      while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80 &&
             !NeedsEscape(static_cast<unsigned char>(text[end]), line_breaks))
        ++end;
      if (end > i) {
        out.append(text, i, end - i);
        i = end;
        continue;
      }
      if (b == '\r') {
        out += "&#13;";
      } else if (b == '\n') {
        out += "&#10;";
      } else {
        AppendEscaped(out, text[i]);
      }
      ++i;
      continue;
    }
    uint32_t c = 0;
    const size_t len = DecodeUtf8(text, i, c);
    if (len == 0) {
      AppendReplacement(out, form);
      ++i;
    } else {
      AppendCharacter(out, text, i, len, c, form);
      i += len;
    }
  }
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendEscaped(out, text, TextForm::kUtf8, false);
  return out;
}

void AppendEscapedText(std::string& out, std::string_view text, TextForm form) {
  AppendEscaped(out, text, form, true);
}

void AppendHrefPath(std::string& out, std::string_view path, TextForm form) {
  for (size_t i = 0; i < path.size();) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(path, i, c);
    const auto b = static_cast<unsigned char>(path[i]);
    if (len == 0) {
      AppendPercent(out, b);
      ++i;
    } else if (len > 1) {
      AppendCharacter(out, path, i, len, c, form);
      i += len;
    } else {
      // A browser reads "\" as "/", cuts blanks at the ends, and takes "#" and "?" as the start
      // of a fragment or query; "%" would start an escape.
      if (b <= 0x20 || b == 0x7F || b == '%' || b == '#' || b == '?' || b == '\\')
        AppendPercent(out, b);
      else
        AppendEscaped(out, path[i]);
      ++i;
    }
  }
}

std::string EncodeHrefPath(std::string_view path) {
  std::string out;
  out.reserve(path.size() + 8);
  AppendHrefPath(out, path, TextForm::kUtf8);
  return out;
}

std::string DecodeHrefPath(std::string_view href) {
  std::string unescaped;
  unescaped.reserve(href.size());
  for (size_t i = 0; i < href.size();) {
    if (href[i] == '&') {
      if (const size_t len = DecodeEntity(href, i, unescaped)) {
        i += len;
        continue;
      }
    }
    unescaped += href[i++];
  }
  std::string out;
  out.reserve(unescaped.size());
  for (size_t i = 0; i < unescaped.size(); ++i) {
    if (unescaped[i] == '%' && i + 2 < unescaped.size()) {
      const auto hi = HexValue(unescaped[i + 1]);
      const auto lo = HexValue(unescaped[i + 2]);
      if (hi && lo) {
        out += static_cast<char>(*hi * 16 + *lo);
        i += 2;
        continue;
      }
    }
    out += unescaped[i];
  }
  return out;
}

}  // namespace veldra
