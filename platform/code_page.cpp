#include "platform/code_page.h"

#include <unicode/ucnv.h>

#include <charconv>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/cp932.h"
#include "platform/utf8.h"

namespace veldra {
namespace {

using ConverterPtr = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

ConverterPtr OpenConverter(int code_page) {
  for (const char* prefix : {"windows-", "cp"}) {
    const std::string name = prefix + std::to_string(code_page);
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr cnv(ucnv_open(name.c_str(), &status), &ucnv_close);
    if (U_SUCCESS(status) && cnv) {
      status = U_ZERO_ERROR;
      ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                          &status);
      return cnv;
    }
  }
  return ConverterPtr(nullptr, &ucnv_close);
}

// A converter is not safe to share between threads: each thread keeps its own per code page.
UConverter* ThreadConverter(int code_page) {
  thread_local std::map<int, ConverterPtr> converters;
  auto it = converters.find(code_page);
  if (it == converters.end()) it = converters.emplace(code_page, OpenConverter(code_page)).first;
  return it->second.get();
}

bool IsKnown(int code_page) {
  static std::mutex mutex;
  static std::map<int, bool> known;
  std::lock_guard lock(mutex);
  auto it = known.find(code_page);
  if (it == known.end()) it = known.emplace(code_page, OpenConverter(code_page) != nullptr).first;
  return it->second;
}

std::string DecodeUtf8Lenient(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(bytes, i, c);
    if (len == 0) {
      AppendUtf8(out, 0xFFFD);
      ++i;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

}  // namespace

int ParseCodePage(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return 0;
  if (value == 932 || value == 65001) return value;
  return IsKnown(value) ? value : 0;
}

std::string DecodeCodePage(int code_page, std::string_view bytes) {
  if (code_page == 65001) return DecodeUtf8Lenient(bytes);
  UConverter* cnv = code_page == kDefaultCodePage ? nullptr : ThreadConverter(code_page);
  if (cnv == nullptr) return DecodeCp932(bytes, Cp932Escape::kHtml);
  if (bytes.empty()) return "";
  std::u16string units(bytes.size() * 2 + 4, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(cnv);
  const int32_t n =
      ucnv_toUChars(cnv, reinterpret_cast<UChar*>(units.data()), static_cast<int32_t>(units.size()),
                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::string(bytes.size(), '?');
  std::string out;
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    uint32_t c = units[static_cast<size_t>(i)];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && units[static_cast<size_t>(i) + 1] >= 0xDC00 &&
        units[static_cast<size_t>(i) + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[static_cast<size_t>(i) + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace veldra
