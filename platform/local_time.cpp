#include "platform/local_time.h"

#include <time.h>

namespace veldra {
namespace {

void AppendDigits(std::string& out, int value, int width) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  char digits[12];
  int len = 0;
  do {
    digits[len++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = len; i < width; ++i) out += '0';
  while (len > 0) out += digits[--len];
}

void AppendDate(std::string& out, const LocalTime& t) {
  AppendDigits(out, t.year, 4);
  out += '/';
  AppendDigits(out, t.month, 2);
  out += '/';
  AppendDigits(out, t.day, 2);
}

void AppendHourMinute(std::string& out, const LocalTime& t) {
  AppendDigits(out, t.hour, 2);
  out += ':';
  AppendDigits(out, t.minute, 2);
}

}  // namespace

LocalTime ToLocalTime(int64_t utc_seconds) {
  // localtime_r need not read TZ itself; tzset once makes it use the zone the process started in.
  static const bool zone_read = [] {
    tzset();
    return true;
  }();
  (void)zone_read;
  const time_t t = static_cast<time_t>(utc_seconds);
  struct tm tm;
  if (localtime_r(&t, &tm) == nullptr) return LocalTime{};
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string LocalDateTimeText(int64_t utc_seconds) {
  const LocalTime t = ToLocalTime(utc_seconds);
  std::string out;
  out.reserve(16);
  AppendDate(out, t);
  out += ' ';
  AppendHourMinute(out, t);
  return out;
}

std::string LocalDateText(int64_t utc_seconds) {
  std::string out;
  AppendDate(out, ToLocalTime(utc_seconds));
  return out;
}

std::string LocalHourMinuteText(int64_t utc_seconds) {
  std::string out;
  AppendHourMinute(out, ToLocalTime(utc_seconds));
  return out;
}

int64_t SystemClock::NowUtcSeconds() const {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec);
}

}  // namespace veldra
