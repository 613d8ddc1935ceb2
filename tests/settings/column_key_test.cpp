#include "settings/column_key.h"

#include <gtest/gtest.h>

namespace veldra {
namespace {

TEST(ColumnKey, CaptionsMatchWithoutRegardToCase) {
  EXPECT_EQ(ColumnCaption("FILE NAME"), "Name");
  EXPECT_EQ(ColumnCaption("file size"), "Size");
  EXPECT_EQ(ColumnCaption("Time Stamp"), "Date");
  EXPECT_EQ(ColumnCaption("id3-track"), "Tr");
  EXPECT_EQ(ColumnCaption("ＩＤ３-ＹＥＡＲ"), "");  // other characters, not other capitals
  EXPECT_EQ(ColumnCaption("ID3-TRACK "), "");
  EXPECT_EQ(ColumnCaption(""), "");
  for (std::string_view key : kColumnKeys) EXPECT_NE(ColumnCaption(key), "") << key;
}

}  // namespace
}  // namespace veldra
