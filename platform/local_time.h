#pragma once
// Local time texts and the clock behind "now".

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace veldra {

// Broken-down local time of a UTC instant, using the system's time zone rules.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime ToLocalTime(int64_t utc_seconds);

// "YYYY/MM/DD hh:mm" of a UTC instant in local time (seconds are not shown).
std::string LocalDateTimeText(int64_t utc_seconds);

// "YYYY/MM/DD" and "hh:mm" of a UTC instant in local time.
std::string LocalDateText(int64_t utc_seconds);
std::string LocalHourMinuteText(int64_t utc_seconds);

// The source of the current time; tests give the engine a fixed one.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowUtcSeconds() const = 0;
};

class SystemClock final : public Clock {
 public:
  int64_t NowUtcSeconds() const override;
};

}  // namespace veldra
