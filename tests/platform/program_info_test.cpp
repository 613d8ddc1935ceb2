#include "platform/program_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

TEST(ProgramInfo, NamesTheRunningExecutable) {
  EXPECT_EQ(ProgramName(), "platform_tests");
  EXPECT_EQ(ProgramFolder(), std::filesystem::canonical(VELDRA_PROGRAM_DIR).string());
}

// Sets an environment variable (or unsets it) for one scope, restoring the old value after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserSettingsFolder, FollowsXdgConfigHomeElseHome) {
  ScopedEnv home("HOME", "/home/ann/");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg/x/");
    EXPECT_EQ(UserSettingsFolder(), "/cfg/x/veldra");
  }
  // Unset, empty or relative values are ignored, as the XDG rules say.
  for (const char* value : {static_cast<const char*>(nullptr), "", "rel/cfg"}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", value);
    EXPECT_EQ(UserSettingsFolder(), "/home/ann/.config/veldra") << (value ? value : "(unset)");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  ScopedEnv root_home("HOME", "/");
  EXPECT_EQ(UserSettingsFolder(), "/.config/veldra");
  // Without a usable HOME the password database names the home folder.
  ScopedEnv no_home("HOME", "relative");
  const std::string folder = UserSettingsFolder();
  EXPECT_TRUE(folder.starts_with("/")) << folder;
  EXPECT_TRUE(folder.ends_with("/.config/veldra")) << folder;
}

TEST(ChooseSettingsFolder, UsrAlwaysPerUserElsewhereWritableProgramFolder) {
  const std::string user = "/home/ann/.config/veldra";
  // Installed under /usr: the per-user folder even when writable (root).
  EXPECT_EQ(ChooseSettingsFolder("/usr/lib/veldra", true, user), user);
  EXPECT_EQ(ChooseSettingsFolder("/usr/local/lib/veldra", false, user), user);
  EXPECT_EQ(ChooseSettingsFolder("/usr", true, user), user);
  // The portable layout: sets beside the program while it may write there.
  EXPECT_EQ(ChooseSettingsFolder("/opt/veldra", true, user), "/opt/veldra");
  EXPECT_EQ(ChooseSettingsFolder("/home/ann/.local/lib/veldra", true, user),
            "/home/ann/.local/lib/veldra");
  EXPECT_EQ(ChooseSettingsFolder("/usrlocal/veldra", true, user), "/usrlocal/veldra");
  EXPECT_EQ(ChooseSettingsFolder("/opt/veldra", false, user), user);
  // No home folder at all: the program's folder is all there is.
  EXPECT_EQ(ChooseSettingsFolder("/opt/veldra", false, ""), "/opt/veldra");
}

TEST(MakeSettingsFolder, MakesMissingParentsPrivateAndKeepsExistingOnes) {
  test::TempDir dir;
  const std::string folder = dir / "config/sub/veldra";
  ASSERT_TRUE(MakeSettingsFolder(folder));
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(FolderWritable(folder));
  EXPECT_TRUE(MakeSettingsFolder(folder));  // already there

  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(MakeSettingsFolder(dir / "file"));         // a file holds the name
  EXPECT_FALSE(MakeSettingsFolder(dir / "file/veldra"));  // a file holds a parent's name
  EXPECT_FALSE(MakeSettingsFolder(""));
}

}  // namespace
}  // namespace veldra
