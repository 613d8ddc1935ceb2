// The batch runner's progress: which style where, and what the bar and the lines say.

#include "app/cli_progress.h"

#include <gtest/gtest.h>

namespace veldra {
namespace {

TEST(ProgressStyle, BarOnATerminalLinesOnlyWhenAskedNothingWhenQuiet) {
  EXPECT_EQ(ChooseProgressStyle(false, false, true), ProgressStyle::kBar);
  EXPECT_EQ(ChooseProgressStyle(false, true, true), ProgressStyle::kBar);
  EXPECT_EQ(ChooseProgressStyle(false, false, false), ProgressStyle::kNone);  // cron, journal
  EXPECT_EQ(ChooseProgressStyle(false, true, false), ProgressStyle::kLines);
  EXPECT_EQ(ChooseProgressStyle(true, true, true), ProgressStyle::kNone);
  EXPECT_EQ(ChooseProgressStyle(true, false, false), ProgressStyle::kNone);
}

TEST(ProgressBar, ShowsFoldersPagesRateAndElapsedTime) {
  EXPECT_EQ(FormatProgressBar({25, 100, 20}, 4.0, 200),
            "[#####---------------] 25/100 folders  20 pages  5.0 pages/s  0:04");
  EXPECT_EQ(FormatProgressBar({100, 100, 100}, 3725.5, 200),
            "[####################] 100/100 folders  100 pages  0.0 pages/s  62:05");
  // Just started: no rate yet, and never a bar past its end when the counts cross.
  EXPECT_EQ(FormatProgressBar({1, 1, 0}, 0.0, 200),
            "[####################] 1/1 folders  0 pages  - pages/s  0:00");
  EXPECT_EQ(FormatProgressBar({7, 5, 0}, 1.0, 200).substr(0, 29), "[####################] 7/7 fo");
  EXPECT_EQ(FormatProgressBar({0, 0, 0}, 0.0, 200).substr(0, 22), "[--------------------]");
}

TEST(ProgressBar, IsCutToLeaveTheLastColumnFree) {
  const std::string line = FormatProgressBar({123456, 654321, 123456}, 10.0, 40);
  EXPECT_EQ(line.size(), 39u);
  EXPECT_EQ(line, FormatProgressBar({123456, 654321, 123456}, 10.0, 200).substr(0, 39));
}

TEST(ProgressLine, SaysPagesFoldersAndTime) {
  EXPECT_EQ(FormatProgressLine({120, 450, 100}, 61.9),
            "VELDRA-cli: 100 pages written, 120 of 450 folders listed, 1:01");
}

}  // namespace
}  // namespace veldra
