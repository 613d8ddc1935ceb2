#include "platform/program_info.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace veldra {
namespace {

TEST(ProgramInfo, NamesTheRunningExecutable) {
  EXPECT_EQ(ProgramName(), "platform_tests");
  EXPECT_EQ(ProgramFolder(), std::filesystem::canonical(VELDRA_PROGRAM_DIR).string());
}

}  // namespace
}  // namespace veldra
