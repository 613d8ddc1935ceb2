#include "settings/set_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::TempDir;
using test::WriteFile;

using Strings = std::vector<std::string>;

Strings Sorted(Strings names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ListEnvironmentSets, EmptyFolderListsTheProgramNameAlone) {
  TempDir dir;
  const ProgramPlace place{dir.path().substr(0, dir.path().size() - 1), "VELDRA"};
  EXPECT_EQ(ListEnvironmentSets(place), Strings{"VELDRA"});
}

TEST(ListEnvironmentSets, ListsEverySetFileOnceByItsName) {
  TempDir dir;
  const ProgramPlace place{dir.path().substr(0, dir.path().size() - 1), "VELDRA"};
  for (const char* name : {"veldra.INI", "job.ini", "a.b.ini", "x .ini", "Upper.INI",
                           "ミュージック.ini", "notes.txt", "job.ini.bak", "inifile"})
    WriteFile(dir / name, "[MAIN]\r\n");
  std::filesystem::create_directory(dir / "folder.ini");

  const Strings names = ListEnvironmentSets(place);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "VELDRA");  // as the program names itself, not as the file is spelt
  EXPECT_EQ(Sorted(names), Sorted({"VELDRA", "job", "a.b", "x", "Upper", "ミュージック"}));
}

}  // namespace
}  // namespace veldra
