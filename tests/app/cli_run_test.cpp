// Runs the built VELDRA-cli over temporary trees and checks what a scheduler would see.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/cp932.h"
#include "platform/file_system.h"
#include "platform/program_version.h"
#include "platform/text_file.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CliOutcome {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

class CliRunTest : public ::testing::Test {
 protected:
  CliRunTest() {
    test::MakeFolders(program);
    std::filesystem::copy_file(std::string(VELDRA_PROGRAM_DIR) + "/VELDRA.gnr",
                               program + "VELDRA.gnr");
    WriteFile(root + "a/song.mp3", std::string(200, 'x'));
    WriteFile(root + "a/b/notes.txt", "n");
    WriteFile(root + "top.txt", "t");
  }

  // Runs the runner at program (default: the built one), after launcher (a shell prefix such as
  // "VAR=value" settings or a wrapper command) when given.
  CliOutcome Cli(const std::vector<std::string>& args, const std::string& launcher = "",
                 const std::string& program_path = VELDRA_CLI_PATH) {
    std::string command = launcher + " " + Quote(program_path);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr");
    const int raw = std::system(command.c_str());
    CliOutcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = ReadFile(dir / "stdout");
    outcome.err = ReadFile(dir / "stderr");
    return outcome;
  }
  std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), {"--program-folder", program, "--set", "demo"});
    return args;
  }

  TempDir dir;
  std::string program = dir / "program/";
  std::string root = dir / "tree/";
};

TEST_F(CliRunTest, PublishesTreeAndSavesTheSet) {
  const CliOutcome r = Cli(WithProgram({"--root", root, "--url", "/m/", "--quiet"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("★終わったよ★", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
  for (const char* folder : {"", "a/", "a/b/"})
    EXPECT_TRUE(FileExists(root + folder + "index.htm"));

  std::vector<std::string> page;
  ASSERT_TRUE(ReadTextLines(root + "a/index.htm", Cp932Escape::kHtml, page));
  bool links_song = false;
  for (const std::string& line : page)
    links_song |= line.find("/m/a/song.mp3") != std::string::npos;
  EXPECT_TRUE(links_song);

  std::vector<std::string> ini;
  ASSERT_TRUE(ReadTextLines(program + "demo.ini", Cp932Escape::kRoundTrip, ini));
  bool has_root = false, has_url = false;
  for (const std::string& line : ini) {
    has_root |= line == "DIR(0)=" + root;
    has_url |= line == "URL(0)=/m/";
  }
  EXPECT_TRUE(has_root && has_url) << ReadFile(program + "demo.ini");
  EXPECT_TRUE(FileExists(program + "demo-Head-htm.txt"));

  // The next scheduled run needs neither --root nor --url: the set remembers them.
  std::filesystem::remove(root + "index.htm");
  EXPECT_EQ(Cli(WithProgram({"--quiet"})).status, 0);
  EXPECT_TRUE(FileExists(root + "index.htm"));
}

// An ID3v1 block with the genre byte given and nothing else.
std::string Id3v1WithGenre(unsigned char genre) {
  std::string block = "TAG" + std::string(124, '\0');
  block += static_cast<char>(genre);
  return block;
}

// The runner installed where it may not write: its own folder is read-only (a read-only bind mount
// in a mount namespace of its own when running as root, whose rights ignore file modes).
class ReadOnlyProgramTest : public CliRunTest {
 protected:
  ReadOnlyProgramTest() {
    test::MakeFolders(installed);
    std::filesystem::copy_file(VELDRA_CLI_PATH, installed + "VELDRA-cli");
    std::filesystem::copy_file(std::string(VELDRA_PROGRAM_DIR) + "/VELDRA.gnr",
                               installed + "VELDRA.gnr");
    WriteFile(root + "a/song.mp3", std::string(200, 'x') + Id3v1WithGenre(1));
  }
  ~ReadOnlyProgramTest() override { chmod(installed.c_str(), 0755); }

  // Runs the installed copy with the per-user folder below dir; false when the folder cannot be
  // made read-only here (then the test skips).
  bool ReadOnlyRun(const std::vector<std::string>& args, CliOutcome& outcome) {
    std::string launcher = "XDG_CONFIG_HOME=" + Quote(config);
    if (geteuid() == 0) {
      const std::string probe =
          "unshare -m sh -c " +
          Quote("mount --bind " + Quote(installed) + " " + Quote(installed) +
                " && mount -o remount,bind,ro " + Quote(installed) + " && exec \"$0\" \"$@\"");
      if (std::system((probe + " true >/dev/null 2>&1").c_str()) != 0) return false;
      launcher += " " + probe;
    } else {
      chmod(installed.c_str(), 0555);
    }
    outcome = Cli(args, launcher, installed + "VELDRA-cli");
    return true;
  }

  std::string installed = dir / "installed/";
  std::string config = dir / "config";
  std::string user_folder = dir / "config/veldra/";
};

TEST_F(ReadOnlyProgramTest, SetsAndTemplatesLiveInThePerUserFolderMadeOnFirstUse) {
  CliOutcome r;
  if (!ReadOnlyRun({"--set", "demo", "--root", root, "--url", "/m/", "--quiet"}, r))
    GTEST_SKIP() << "cannot make a read-only folder here";
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  for (const char* file : {"demo.ini", "demo-Head-htm.txt", "demo-Foot-htm.txt"}) {
    EXPECT_TRUE(FileExists(user_folder + file)) << file;
    EXPECT_FALSE(FileExists(installed + file)) << file;
  }
  struct stat st {};
  ASSERT_EQ(stat(user_folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // The genre file ships beside the program and is read there.
  EXPECT_NE(ReadFile(root + "a/index.htm").find("Classic Rock"), std::string::npos);

  // A genre file of the user's own wins; the next run needs neither --root nor --url.
  WriteFile(user_folder + "VELDRA.gnr",
            EncodeCp932("ブルース\r\nクラシック\r\n", Cp932Escape::kRoundTrip));
  ASSERT_TRUE(ReadOnlyRun({"--set", "demo", "--quiet"}, r));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> page;
  ASSERT_TRUE(ReadTextLines(root + "a/index.htm", Cp932Escape::kHtml, page));
  std::string text;
  for (const std::string& line : page) text += line + "\n";
  EXPECT_NE(text.find("クラシック"), std::string::npos) << text;
  EXPECT_EQ(text.find("Classic Rock"), std::string::npos);
}

TEST_F(ReadOnlyProgramTest, ProgramFolderOptionAlwaysMeansThatFolder) {
  CliOutcome r;
  if (!ReadOnlyRun(WithProgram({"--root", root, "--url", "/m/", "--quiet"}), r))
    GTEST_SKIP() << "cannot make a read-only folder here";
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(FileExists(program + "demo.ini"));
  EXPECT_FALSE(FolderExists(dir / "config"));
}

TEST_F(CliRunTest, ProgressOnAPipeOnlyWithProgressOption) {
  for (int i = 0; i < 100; ++i) test::MakeFolders(root + "many/" + std::to_string(i));
  // Standard error is a file here, as under cron or systemd: the notice only.
  CliOutcome r = Cli(WithProgram({"--root", root, "--url", "/m/"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = Cli(WithProgram({"--progress"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("VELDRA-cli: 100 pages written"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("100 pages"), std::string::npos);
  r = Cli(WithProgram({"--progress", "--quiet"}));
  EXPECT_EQ(r.err, "");
}

TEST_F(CliRunTest, ListSetsPrintsTheSetNamesOfTheProgramFolder) {
  for (const char* file : {"zeta.ini", "Alpha.ini", "veldra.ini", "夜の 音楽.ini", "notes.txt"})
    WriteFile(program + file, "[MAIN]\r\n");
  const CliOutcome r = Cli({"--program-folder", program, "--list-sets"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The program's own set first (as the program names it), then the others sorted.
  EXPECT_EQ(r.out, "VELDRA\nAlpha\nzeta\n夜の 音楽\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(FileExists(root + "index.htm"));
}

TEST_F(CliRunTest, GathersPagesWrittenByTheRunIntoTheOutputFolder) {
  const std::string out = dir / "out/";
  test::MakeFolders(out);
  WriteFile(out + "index-notes.htm", "mine");
  WriteFile(out + "index00009.htm", "left from a bigger run");
  test::MakeFolders(root + "ソ表 x&y#");
  WriteFile(program + "demo.ini",
            EncodeCp932("[MAIN]\r\nTEXT1(5)=index.htm\r\nTEXT1(9)=" + out +
                            "\r\nTEXT1(10)=/pages/\r\nDIR(0)=" + root + "\r\nURL(0)=/m/\r\n",
                        Cp932Escape::kRoundTrip));
  const CliOutcome r = Cli(WithProgram({"--quiet"}));
  EXPECT_EQ(r.status, 0) << r.out;

  // Work list: root, a, a/b, ソ表 x&y# (folders sort before their sub-folders).
  for (const char* folder : {"", "a/", "a/b/", "ソ表 x&y#/"})
    EXPECT_FALSE(FileExists(root + folder + "index.htm")) << folder;
  for (const char* page : {"index00000.htm", "index00001.htm", "index00002.htm", "index00003.htm"})
    EXPECT_TRUE(FileExists(out + page)) << page;
  EXPECT_FALSE(FileExists(out + "index00009.htm"));
  EXPECT_EQ(ReadFile(out + "index-notes.htm"), "mine");

  const std::string gathered_root = ReadFile(out + "index00000.htm");
  EXPECT_NE(gathered_root.find("HREF=\"/pages/index00001.htm\""), std::string::npos);
  EXPECT_NE(gathered_root.find("HREF=\"/pages/index00003.htm\""), std::string::npos);
  EXPECT_EQ(gathered_root.find("AA_TAG"), std::string::npos);
  EXPECT_EQ(gathered_root.find("/m/a/index.htm"), std::string::npos);
  const std::string gathered_b = ReadFile(out + "index00002.htm");
  EXPECT_NE(gathered_b.find("HREF=\"/pages/index00000.htm\""), std::string::npos);
  EXPECT_NE(gathered_b.find("HREF=\"/pages/index00001.htm\""), std::string::npos);
  EXPECT_NE(gathered_b.find("HREF=\"/m/a/b/notes.txt\""), std::string::npos);
}

TEST_F(CliRunTest, MissingRootFolderIsAFailedRun) {
  const CliOutcome r = Cli(WithProgram({"--root", dir / "nowhere", "--url", "/m/", "--quiet"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("★終わったよ★", 0), 0u) << r.out;
  EXPECT_GT(r.out.find('\n'), 0u);  // the notice says more than the bare message
  EXPECT_TRUE(FileExists(program + "demo.ini"));
}

TEST_F(CliRunTest, RootFolderLongerThan254BytesIsPublishedWholeByTheNextRun) {
  const std::string long_root =
      dir / ("long/" + std::string(100, 'x') + "/" + std::string(200, 'y') + "/");
  ASSERT_GT(long_root.size(), 254u);
  WriteFile(long_root + "song.mp3", "x");
  // The folder the path cut to 254 bytes would name: the next run must not publish it.
  const std::string cut = long_root.substr(0, 254) + "/";
  WriteFile(cut + "decoy.txt", "d");

  ASSERT_EQ(Cli(WithProgram({"--root", long_root, "--url", "/m/", "--quiet"})).status, 0);
  std::filesystem::remove(long_root + "index.htm");
  const CliOutcome r = Cli(WithProgram({"--quiet"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(FileExists(long_root + "index.htm"));
  EXPECT_FALSE(FileExists(cut + "index.htm"));
}

TEST_F(CliRunTest, InputErrorsStopBeforeAnythingIsWritten) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {{"--root", "  ", "--url", "/m/"}, "ルートのフォルダ名を入力してください"},
           {{"--root", root, "--url", " "}, "ルートのURL名を入力してください"},
           {{"--set", "   ", "--root", root, "--url", "/m/"}, "環境セット名の省略はできません"},
           {{"--set", "../escape", "--root", root, "--url", "/m/"}, "入力エラー"},
           // Kept in the set as reference text, the next run would publish another folder.
           {{"--root", root + "new\nline/", "--url", "/m/"}, "フォルダ名やURLに改行は使えません"},
           {{"--root", root, "--url", "/m/\r"}, "フォルダ名やURLに改行は使えません"}}) {
    const CliOutcome r = Cli(WithProgram(c.args));
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find("入力エラー"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(FileExists(root + "index.htm"));
  EXPECT_FALSE(FileExists(program + "demo.ini"));
  EXPECT_FALSE(FileExists(dir / "escape.ini"));
}

// A set file that cannot be read is not taken for an empty set (which would blame an empty root
// folder, or run with the defaults and then save over the file): the run does not start.
TEST_F(CliRunTest, UnreadableSetFileStopsTheRunNamingTheFile) {
  std::filesystem::create_directory(program + "demo.ini");
  const CliOutcome r = Cli(WithProgram({"--root", root, "--url", "/m/", "--quiet"}));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "VELDRA-cli: 環境セットのファイルを読めませんでした: " + program +
                       "demo.ini (Is a directory)\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(FileExists(root + "index.htm"));
  EXPECT_TRUE(std::filesystem::is_directory(program + "demo.ini"));
}

TEST_F(CliRunTest, BadUsageAndHelp) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--frobnicate"}, {"--root"}, {"stray"}}) {
    const CliOutcome r = Cli(WithProgram(args));
    EXPECT_EQ(r.status, 64) << args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--help"), std::string::npos);
  }
  const CliOutcome help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--program-folder"), std::string::npos);
  const CliOutcome version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find(kProgramVersionText), std::string::npos);
  EXPECT_FALSE(FileExists(program + "demo.ini"));
}

// Runs VELDRA-cli paused at the first page written, sends it a signal there, releases it and
// returns its exit status. The pause point is the test-only --test-pause.
int SignalWhilePaused(const std::vector<std::string>& args, int signal_number) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], 2);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> all{VELDRA_CLI_PATH, "--test-pause", "folder-written"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, VELDRA_CLI_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  if (spawned != 0) return -1;
  // Wait for the pause line, then signal: the stop is asked for between folders.
  std::string err;
  char buffer[256];
  ssize_t got;
  while (err.find("paused at folder-written") == std::string::npos &&
         (got = read(from_child[0], buffer, sizeof buffer)) > 0)
    err.append(buffer, static_cast<size_t>(got));
  EXPECT_NE(err.find("paused at folder-written"), std::string::npos) << err;
  kill(pid, signal_number);
  // Closing its input releases this pause and every later one.
  close(to_child[1]);
  while (read(from_child[0], buffer, sizeof buffer) > 0) {
  }
  close(from_child[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status)
                           : 1000 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

TEST_F(CliRunTest, StopsOnSigtermAndSigintBetweenFolders) {
  for (int i = 0; i < 40; ++i) WriteFile(root + "many/d" + std::to_string(100 + i) + "/f.txt", "f");
  for (const auto& [signal_number, expected] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
    std::filesystem::remove_all(program + "demo.ini");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
      if (entry.path().filename() == "index.htm") std::filesystem::remove(entry.path());

    EXPECT_EQ(
        SignalWhilePaused(WithProgram({"--root", root, "--url", "/m/", "--quiet"}), signal_number),
        expected);
    // Written pages are whole, nothing temporary is left, the root's page (the last) was not
    // reached, and the set was saved.
    size_t pages = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << entry.path();
      if (name != "index.htm") continue;
      ++pages;
      EXPECT_TRUE(ReadFile(entry.path().string()).ends_with("</HTML>\r\n")) << entry.path();
    }
    EXPECT_GE(pages, 1u);
    EXPECT_FALSE(FileExists(root + "index.htm"));
    EXPECT_TRUE(FileExists(program + "demo.ini"));
  }
}

}  // namespace
}  // namespace veldra
