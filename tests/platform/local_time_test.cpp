#include "platform/local_time.h"

#include <gtest/gtest.h>

namespace veldra {
namespace {

// CTest runs these with TZ=Asia/Tokyo (UTC+9, no daylight saving).
TEST(LocalTime, TextsInLocalTime) {
  const int64_t t = 946749845;  // 2000-01-01 18:04:05 UTC = 2000-01-02 03:04:05 in Tokyo
  const LocalTime lt = ToLocalTime(t);
  EXPECT_EQ(lt.year, 2000);
  EXPECT_EQ(lt.month, 1);
  EXPECT_EQ(lt.day, 2);
  EXPECT_EQ(lt.hour, 3);
  EXPECT_EQ(lt.minute, 4);
  EXPECT_EQ(lt.second, 5);
  EXPECT_EQ(LocalDateTimeText(t), "2000/01/02 03:04");
  EXPECT_EQ(LocalDateText(t), "2000/01/02");
  EXPECT_EQ(LocalHourMinuteText(t), "03:04");
}

TEST(LocalTime, EdgesOfTheRange) {
  EXPECT_EQ(LocalDateTimeText(0), "1970/01/01 09:00");
  EXPECT_EQ(LocalDateTimeText(-1), "1970/01/01 08:59");          // before 1970
  EXPECT_EQ(LocalDateTimeText(4102412399), "2099/12/31 23:59");  // past 2038
  EXPECT_EQ(LocalDateTimeText(1709218800), "2024/03/01 00:00");  // after 29 February
}

TEST(SystemClock, IsNearFileTimes) {
  // After 2020 and before 2200: seconds, not milliseconds or ticks.
  const int64_t now = SystemClock().NowUtcSeconds();
  EXPECT_GT(now, 1577836800);
  EXPECT_LT(now, 7258118400);
}

}  // namespace
}  // namespace veldra
